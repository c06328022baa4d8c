#pragma once
// The Map window of the interactive mode: the QRST integral map of the last
// measured selection (mean, standard deviation, one beat or all beats and,
// once a reference group is chosen, the departure of its mean map). It
// is no unit of the program: the program never reads from it or writes to
// it, and it never becomes the program's active window.

#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cohort/study.h"
#include "map/lead_kinds.h"
#include "map/page.h"
#include "platform/map_drawing.h"
#include "results/beat.h"

class QComboBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QMainWindow;
class QMdiArea;
class QSpinBox;

namespace ba {

class MapCanvas;

class MapWindow : public QMdiSubWindow {
 public:
  MapWindow();

  // A new selection: shows its mean map, the beat selector at beat 1.
  void show_beats(const std::vector<ResultBeat>& beats);
  // The per-lead measures of the next selection shown, for the maps of the
  // other kinds (QRS, ST-T, AT, RT, ARI), as `map --kind` draws them.
  void show_leads(const std::vector<BeatLeads>& leads) { leads_ = leads; }
  LeadKind lead_kind() const;
  // The page as shown; nothing before any beat is measured.
  std::optional<MapPage> page() const;
  // A line above the map saying why it shows what it shows; none when empty.
  void show_note(const QString& note);
  QString note() const;
  // The view chosen, as a file name takes it: "mean", "sd", "beat3", "sheet",
  // "departure".
  QString view_name() const;
  // The group the selection's mean map is measured against: adds the
  // Departure view and the line under the map.
  void set_group(const ReferenceGroup& group);
  // Shows the Departure view once a group is set.
  void show_departure();
  // The line under the map: "NDI 0.123   max |z| 3.4 at lead 17", the leads
  // without a z named after it; empty without a group or beats.
  QString group_line() const;
  // Why the map area shows no map; empty while it shows one.
  QString blank_reason() const;

  // Whether a key typed while the focus is in this window is for one of its
  // fields: only once the person has clicked into the field, and never Enter
  // or a letter, which belong to the program's question.
  bool takes_key(const QKeyEvent& key) const;

  QComboBox& kind_choice() { return *kind_choice_; }
  QComboBox& lead_kind_choice() { return *lead_kind_choice_; }
  QSpinBox& beat_choice() { return *beat_choice_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void fill_choices();
  void keep_focus_on_map();
  void lay_out();
  void connect_choices();
  void choice_changed();
  void describe_departure();
  // The page of the kind chosen other than QRST, or why there is none.
  std::variant<MapPage, std::string> lead_kind_page(MapRequest request) const;
  // The field `watched` belongs to, or nothing.
  QWidget* field_of(const QObject* watched) const;

  std::vector<ResultBeat> beats_;
  std::vector<BeatLeads> leads_;  // of beats_, in the same order
  std::optional<ReferenceGroup> group_;
  std::optional<Departure> departure_;  // of the mean map, with a group and beats
  QComboBox* kind_choice_;
  QComboBox* lead_kind_choice_;
  QSpinBox* beat_choice_;
  QLabel* note_;
  MapCanvas* canvas_;
  QLabel* group_line_;
  QWidget* clicked_ = nullptr;  // the field clicked into, while it holds the focus
};

// View -> "QRST map" (Ctrl+M), View -> "Choose reference group..." and
// File -> "Export map..." in a main window's menu bar, and the Map window
// they open in its MDI area.
class MapWindowHook : public QObject {
 public:
  // Adds File > Export map..., View > QRST map (Ctrl+M) and View > Choose
  // reference group...
  // Exported maps are written and groups read through `files`.
  MapWindowHook(QMainWindow& main, QMdiArea& area, QMenu& file_menu, QMenu& view_menu,
                FileOps& files);

  // The selection of the last c or v; shown at once when the window is open.
  void show_beats(const std::vector<ResultBeat>& beats);
  // Its per-lead measures; given before show_beats.
  void show_leads(const std::vector<BeatLeads>& leads);
  // The recording the selection was measured on, and the note the Map
  // window shows with it (empty for none).
  void describe_selection(const QString& recording_name, const QString& note);
  // Where File > Export map... starts: the data folder (the working folder
  // before one is known).
  void set_data_folder(const QString& folder) { data_folder_ = folder; }
  // The file the export dialog offers: the recording's name and the view
  // shown, in the data folder ("/data/demo_mean.png").
  QString suggested_export_path() const;
  // Opens the window (or brings it forward) with the last selection.
  MapWindow& open();
  MapWindow* window() const { return window_.data(); }
  // Writes the map as shown (800 x 600) to a PNG, SVG or PDF file. Returns
  // an error text on failure.
  std::optional<std::string> export_to(const std::string& host_path) const;
  // Reads a reference group (GROUP.ref.json) over the window's leads and
  // shows the selection's departure from it in the Map window, opened at
  // its Departure view. A group that cannot be read or does not fit those
  // leads changes nothing: the reader's message is returned.
  std::optional<std::string> choose_group(const std::string& host_path);

 private:
  void export_with_dialog();
  void choose_group_with_dialog();

  QMainWindow& main_;
  QMdiArea& area_;
  FileOps& files_;
  QPointer<MapWindow> window_;
  std::vector<ResultBeat> beats_;
  std::vector<BeatLeads> leads_;  // of beats_, in the same order
  std::optional<ReferenceGroup> group_;
  QString recording_name_;
  QString note_;
  QString data_folder_;
};

}  // namespace ba

#pragma once
// The Map window of the interactive mode: the QRST integral map of the last
// measured selection (mean, standard deviation, one beat or all beats). It
// is no unit of the program: the program never reads from it or writes to
// it, and it never becomes the program's active window.

#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <optional>
#include <string>
#include <vector>

#include "map/page.h"
#include "platform/map_drawing.h"
#include "results/beat.h"

class QComboBox;
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
  // The page as shown; nothing before any beat is measured.
  std::optional<MapPage> page() const;
  // A line above the map saying why it shows what it shows; none when empty.
  void show_note(const QString& note);
  QString note() const;
  // The view chosen, as a file name takes it: "mean", "sd", "beat3", "sheet".
  QString view_name() const;

  QComboBox& kind_choice() { return *kind_choice_; }
  QSpinBox& beat_choice() { return *beat_choice_; }

 private:
  void choice_changed();

  std::vector<ResultBeat> beats_;
  QComboBox* kind_choice_;
  QSpinBox* beat_choice_;
  QLabel* note_;
  MapCanvas* canvas_;
};

// View -> "QRST map" (Ctrl+M) and File -> "Export map..." in a main window's
// menu bar (menus of those names are used when they exist), and the Map
// window they open in its MDI area.
class MapWindowHook : public QObject {
 public:
  // Adds File > Export map... and View > QRST map (Ctrl+M).
  MapWindowHook(QMainWindow& main, QMdiArea& area, QMenu& file_menu, QMenu& view_menu);

  // The selection of the last c or v; shown at once when the window is open.
  void show_beats(const std::vector<ResultBeat>& beats);
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

 private:
  void export_with_dialog();

  QMainWindow& main_;
  QMdiArea& area_;
  QPointer<MapWindow> window_;
  std::vector<ResultBeat> beats_;
  QString recording_name_;
  QString note_;
  QString data_folder_;
};

}  // namespace ba

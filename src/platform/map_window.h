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

  QComboBox& kind_choice() { return *kind_choice_; }
  QSpinBox& beat_choice() { return *beat_choice_; }

 private:
  void choice_changed();

  std::vector<ResultBeat> beats_;
  QComboBox* kind_choice_;
  QSpinBox* beat_choice_;
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
};

}  // namespace ba

#pragma once
// The platform of the interactive mode: a main window with the console as a
// panel and one child window per window unit, each showing its surface. The
// program stays single-threaded: a read or a mouse wait runs a nested event
// loop until the person has answered, and only then returns.

#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/main_window.h"
#include "platform/map_window.h"
#include "platform/surface_pane.h"
#include "platform/surface_platform.h"
#include "platform/surface_view.h"

class QEventLoop;
class QObject;

namespace ba {

class WindowPlatform : public SurfacePlatform {
 public:
  // Needs a QApplication. Shows the main window with the console panel.
  WindowPlatform();
  ~WindowPlatform() override;

  // Both waits throw StopRequested when the main window is closed.
  std::string get_line(int unit) override;
  MouseEvent wait_mouse_event(int event_set) override;
  void set_crosshair_cursor() override;
  void show_error(const std::string& message) override;

  MainWindow& main_window() { return *main_window_; }
  MapWindowHook& map_hook() { return *map_hook_; }
  // A window's child; nothing for the console or once the window is closed.
  ChildWindow* child(int unit);
  // The pane and view of the console or of an open window.
  SurfacePane& pane(int unit);
  SurfaceView& view(int unit) { return pane(unit).view(); }
  // Repaints every view whose surface has changed.
  void refresh();

  // Called each time a wait begins, once the reading window is ready; tests
  // use it to type and click.
  void set_wait_observer(std::function<void()> observer) { wait_observer_ = std::move(observer); }
  // Replaces the message box of the error report.
  void set_error_presenter(std::function<void(const std::string&)> presenter) {
    error_presenter_ = std::move(presenter);
  }

 protected:
  void window_opened(int unit) override;
  void window_closed(int unit) override;
  void window_activated(int unit) override;
  void line_shown(int unit, const std::string& utf8_line) override;
  void measured_beats_changed() override;

 public:
  void selection_described(const std::string& recording_name, bool points_marked) override;
  void selection_saved(SaveOutcome outcome, int beats, const std::string& result_path) override;
  // A child's caption: what it shows, then its unit ("Print page 1 (unit 14)").
  static QString child_caption(int unit);

 private:
  ChildWindow& add_child(int unit, const QString& caption);
  void place_child(ChildWindow& child, int slot);
  void lay_out();
  void bring_forward(int unit);
  QString caption(int unit);
  // Hands a key typed anywhere in the main window, outside its own
  // controls, to the line being read.
  bool route_key(QObject* receiver, QEvent* event);
  // Runs the event loop until `answered_` or a stop request.
  void wait();
  // The last line written to a unit, the question a read from it answers.
  QString last_line(int unit) const;

  std::unique_ptr<MainWindow> main_window_;
  SurfacePane* console_ = nullptr;
  std::unique_ptr<MapWindowHook> map_hook_;
  std::map<int, QPointer<ChildWindow>> children_;
  int children_opened_ = 0;
  std::map<int, std::string> last_lines_;
  int reading_unit_ = -1;  // the unit whose line is being read, -1 for none
  bool routing_ = false;
  std::unique_ptr<QObject> key_router_;
  QEventLoop* loop_ = nullptr;
  bool answered_ = false;
  bool stop_requested_ = false;
  std::function<void()> wait_observer_;
  std::function<void(const std::string&)> error_presenter_;
};

}  // namespace ba

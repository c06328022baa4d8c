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

#include "marking/marking.h"
#include "marking/proposal_overlay.h"
#include "platform/main_window.h"
#include "platform/map_window.h"
#include "platform/surface_pane.h"
#include "platform/surface_platform.h"
#include "platform/surface_view.h"

class QAction;
class QEventLoop;
class QObject;

namespace ba {

class WindowPlatform : public SurfacePlatform, public MarkingListener {
 public:
  // Needs a QApplication. Shows the main window with the console panel.
  // The windows' own files (exported maps, reference groups) go through
  // `files`.
  explicit WindowPlatform(FileOps& files);
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

  // Marking on the enlarged beat: the proposal drawn dashed over it while
  // the three points are clicked, taken with Marking > Take the proposed
  // points (P); the J point clicked after them when Marking > Mark the J
  // point is checked.
  MarkingListener* marking_listener() override { return this; }
  void fiducial_pass_started(const MarkingContext& context) override;
  void fiducial_pass_ended() override;
  std::optional<float> j_point_click(const MarkingContext& context) override;
  void j_point_refused() override;
  QAction& take_proposal_action() { return *take_proposal_; }
  QAction& mark_j_action() { return *mark_j_; }
  QAction& show_proposal_action() { return *show_proposal_; }
  // The proposal of the pass under way (empty when none could be made) and
  // why none could be made.
  const ProposalOverlay& offered() const { return offer_; }
  const QString& proposal_failure() const { return proposal_failure_; }

 private:
  ChildWindow& add_child(int unit, const QString& caption);
  void place_child(ChildWindow& child, int slot);
  void lay_out();
  void bring_forward(int unit);
  void add_marking_menu();
  // Answers the click awaited (and the rest of the pass) with the proposal.
  void take_proposal();
  // The click on the enlarged beat that marks offered mark `k`.
  MouseEvent proposed_click(std::size_t k) const;
  void show_offer(const ProposalOverlay& overlay);
  QString click_request(int unit);
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
  QAction* take_proposal_ = nullptr;
  QAction* mark_j_ = nullptr;
  QAction* show_proposal_ = nullptr;
  ProposalOverlay offer_;  // PQ, Q start, T end, J of the pass under way
  QString proposal_failure_;
  QString note_before_pass_;            // the status bar's note a doubtful proposal stands in for
  bool in_pass_ = false;                // between the start and the end of a marking pass
  std::size_t pass_clicks_ = 0;         // clicks of the pass answered so far
  bool taking_ = false;                 // the rest of the pass answers with the proposal
  bool j_waiting_ = false;              // the click awaited is the J point's
  std::optional<MouseEvent> injected_;  // answer to the click awaited
  std::function<void(const std::string&)> error_presenter_;
};

}  // namespace ba

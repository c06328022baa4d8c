#include "platform/window_platform.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QStringList>
#include <QStyle>
#include <QTextEdit>
#include <algorithm>
#include <stdexcept>

#include "proposal/proposal.h"
#include "recording/recording.h"
#include "runtime/errors.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Row of the one-beat display a taken proposal clicks at: its zero line.
constexpr int proposal_click_row = 150;

// Beat-window index of a point given in ms (samples) from R.
std::int32_t beat_index(std::int32_t ms_from_r) { return r_peak_index + ms_from_r; }

// The proposal over the recording's beats alike, for the leads the window
// shows; the reason when none can be made.
std::variant<Proposal, std::string> propose_for(const MarkingContext& c) {
  ProposalOptions options;
  options.leads = {c.conditions.first_lead - lead_channel_offset,
                   c.conditions.second_lead - lead_channel_offset,
                   c.conditions.third_lead - lead_channel_offset};
  options.ratio = c.conditions.r_ratio;
  return propose(c.recording.sample_matrix, options);
}

// Pixels between the top left corners of successive child windows, so that
// the caption of every earlier child stays in sight.
constexpr int cascade_step = 24;
constexpr int cascade_slots = 3;

// Room the desktop's own frame around the main window takes, pixels (its
// title bar included).
const QSize desktop_frame_allowance(16, 48);

// Share of the main window's height the console panel starts with, and the
// fewest console lines it shows.
constexpr double console_share = 0.22;
constexpr int console_lines = 6;
// The narrowest console panel beside the child area, pixels: the start-up
// dialogue's lines fit.
constexpr int console_side_width = 420;
// Pixels a child's caption and frame take from its height (estimated before
// the first child exists).
constexpr int child_caption_allowance = 32;

// Passes every event of the application to `filter` first.
class EventFilter : public QObject {
 public:
  explicit EventFilter(std::function<bool(QObject*, QEvent*)> filter)
      : filter_(std::move(filter)) {}
  bool eventFilter(QObject* receiver, QEvent* event) override { return filter_(receiver, event); }

 private:
  std::function<bool(QObject*, QEvent*)> filter_;
};

// Keys that edit or end a typed line; shortcuts (with Ctrl or Alt) and
// navigation keys keep their usual meaning.
bool edits_a_line(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
      return true;
    default:
      return !key.text().isEmpty() && key.text().front().isPrint();
  }
}

// Whether `widget` is, or lies in, a control of the window's own that takes
// typed keys itself (the Map window's fields, an edit or a button of a panel):
// keys typed there are meant for it, not for the program's question.
bool in_own_control(const QWidget* widget, const QWidget* main) {
  for (const QWidget* up = widget; up && up != main; up = up->parentWidget()) {
    if (qobject_cast<const QMdiSubWindow*>(up) && !qobject_cast<const ChildWindow*>(up))
      return true;
    if (qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QLineEdit*>(up) ||
        qobject_cast<const QComboBox*>(up) || qobject_cast<const QAbstractButton*>(up) ||
        qobject_cast<const QTextEdit*>(up) || qobject_cast<const QPlainTextEdit*>(up))
      return true;
  }
  return false;
}

}  // namespace

WindowPlatform::WindowPlatform(FileOps& files)
    : main_window_(std::make_unique<MainWindow>([this] {
        stop_requested_ = true;
        if (loop_) loop_->quit();
      })) {
  // The program, not the last closed window, decides when the run ends.
  QApplication::setQuitOnLastWindowClosed(false);
  console_ = new SurfacePane(new SurfaceView(surface(console_unit)));
  main_window_->set_console(console_);
  key_router_ = std::make_unique<EventFilter>(
      [this](QObject* receiver, QEvent* event) { return route_key(receiver, event); });
  qApp->installEventFilter(key_router_.get());
  lay_out();
  map_hook_ =
      std::make_unique<MapWindowHook>(*main_window_, main_window_->mdi_area(),
                                      main_window_->file_menu(), main_window_->view_menu(), files);
  // Exported maps start out in the data folder.
  QObject::connect(main_window_.get(), &MainWindow::data_folder_changed, map_hook_.get(),
                   [this](const QString& folder) { map_hook_->set_data_folder(folder); });
  add_marking_menu();
  main_window_->show();
  main_window_->activateWindow();
  bring_forward(console_unit);
}

WindowPlatform::~WindowPlatform() {
  qApp->removeEventFilter(key_router_.get());
  console_->view().stop_input();
  for (auto& [unit, child] : children_)
    if (child) child->view().stop_input();
  main_window_->close_at_end();
}

// The whole screen, with the console panel beside the child area when the
// screen is wide enough for both (a 4:3 surface leaves room on wide screens)
// and under it otherwise: the window the program waits on and the console
// are both in sight without the person arranging anything.
void WindowPlatform::lay_out() {
  QSize wanted(Surface::width + 2 * cascade_step, Surface::height);
  if (QScreen* screen = main_window_->screen())
    wanted = screen->availableGeometry().size() - desktop_frame_allowance;
  main_window_->resize(wanted);
  QDockWidget& console = main_window_->console_dock();
  int area_height = wanted.height() - main_window_->menuBar()->sizeHint().height() -
                    main_window_->statusBar()->sizeHint().height();
  int view_height = area_height - (cascade_slots - 1) * cascade_step - child_caption_allowance;
  int child_width = view_height * Surface::width / Surface::height +
                    (cascade_slots - 1) * cascade_step + child_caption_allowance;
  if (wanted.width() - child_width >= console_side_width) {
    main_window_->addDockWidget(Qt::RightDockWidgetArea, &console);
    main_window_->resizeDocks({&console}, {wanted.width() - child_width}, Qt::Horizontal);
    return;
  }
  int lines = console_lines * surface(console_unit).line_height() + 2 * SurfaceView::margin;
  int console_height = std::max(lines, static_cast<int>(wanted.height() * console_share));
  main_window_->resizeDocks({&console}, {console_height}, Qt::Vertical);
}

ChildWindow* WindowPlatform::child(int unit) {
  auto found = children_.find(unit);
  return found == children_.end() ? nullptr : found->second.data();
}

SurfacePane& WindowPlatform::pane(int unit) {
  if (unit == console_unit) return *console_;
  ChildWindow* found = child(unit);
  if (!found) throw std::logic_error("unit " + std::to_string(unit) + " has no window");
  return found->pane();
}

QString WindowPlatform::caption(int unit) {
  return unit == console_unit ? main_window_->console_dock().windowTitle()
                              : pane(unit).parentWidget()->windowTitle();
}

QString WindowPlatform::child_caption(int unit) {
  if (unit == graphics_unit)
    return QCoreApplication::translate("WindowPlatform", "Overview and enlarged beat (unit %1)")
        .arg(unit);
  if (unit >= first_print_unit)
    return QCoreApplication::translate("WindowPlatform", "Print page %1 (unit %2)")
        .arg(unit - first_print_unit + 1)
        .arg(unit);
  return QCoreApplication::translate("WindowPlatform", "Window (unit %1)").arg(unit);
}

ChildWindow& WindowPlatform::add_child(int unit, const QString& caption) {
  auto* child = new ChildWindow(new SurfacePane(new SurfaceView(surface(unit))), caption);
  main_window_->mdi_area().addSubWindow(child);
  child->show();
  children_[unit] = child;
  return *child;
}

// Every child is as large as the area allows with room for the cascade, and
// no wider than its scaled surface needs, so the window in front shows its
// whole surface large and the edges of the ones behind stay in sight to be
// clicked.
void WindowPlatform::place_child(ChildWindow& child, int slot) {
  QPoint corner(slot * cascade_step, slot * cascade_step);
  QSize room = main_window_->mdi_area().viewport()->size() -
               (cascade_slots - 1) * QSize(cascade_step, cascade_step);
  QSize frame = child.size() - child.widget()->size();
  int view_height = room.height() - frame.height() - 2 * SurfaceView::margin;
  int fitted_width = view_height * Surface::width / Surface::height + 2 * SurfaceView::margin;
  // Too low for the smallest zoom: the surface scrolls up and down, as wide
  // as that zoom shows it beside the scroll bar.
  if (view_height < Surface::height * SurfaceView::smallest_scale)
    fitted_width = static_cast<int>(Surface::width * SurfaceView::smallest_scale) +
                   2 * SurfaceView::margin + child.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  room.setWidth(std::min(room.width(), fitted_width + frame.width()));
  child.setGeometry(QRect(corner, room.expandedTo(QSize(200, 150))));
}

void WindowPlatform::bring_forward(int unit) {
  if (unit == console_unit) {
    main_window_->console_dock().show();
    console_->view().setFocus();
    return;
  }
  ChildWindow* shown = child(unit);
  if (!shown) throw std::logic_error("unit " + std::to_string(unit) + " has no window");
  shown->bring_to_front();
}

void WindowPlatform::refresh() {
  console_->view().sync();
  for (auto& [unit, child] : children_)
    if (child) child->view().sync();
}

void WindowPlatform::window_opened(int unit) {
  if (ChildWindow* old = child(unit)) old->close_by_program();
  last_lines_.erase(unit);
  ChildWindow& opened = add_child(unit, child_caption(unit));
  place_child(opened, children_opened_++ % cascade_slots);
  bring_forward(unit);
}

void WindowPlatform::window_closed(int unit) {
  if (ChildWindow* closed = child(unit)) closed->close_by_program();
  children_.erase(unit);
}

void WindowPlatform::window_activated(int unit) { bring_forward(unit); }

void WindowPlatform::line_shown(int unit, const std::string& utf8_line) {
  Surface& shown = surface(unit);
  pane(unit).show_surface_area(QRect(QPoint(0, shown.text_position().y() - shown.line_height()),
                                     QSize(1, shown.line_height())));
  last_lines_[unit] = utf8_line;
}

QString WindowPlatform::last_line(int unit) const {
  auto found = last_lines_.find(unit);
  return found == last_lines_.end() ? QString() : QString::fromStdString(found->second);
}

void WindowPlatform::selection_described(const std::string& recording_name, bool points_marked) {
  const QString note =
      points_marked ? QString()
                    : QCoreApplication::translate(
                          "WindowPlatform", "The fiducial points are not marked: every area is 0");
  main_window_->show_note(note);
  map_hook_->describe_selection(QString::fromStdString(recording_name), note);
}

// The count stays in the status bar: the program's own lines about it are
// gone with the next redraw.
void WindowPlatform::measured_beats_changed() {
  const auto beats = static_cast<int>(measured_beats().size());
  main_window_->show_selection(
      beats == 1 ? QCoreApplication::translate("WindowPlatform", "1 beat accepted")
                 : QCoreApplication::translate("WindowPlatform", "%1 beats accepted").arg(beats));
  main_window_->set_results_saved(false);
  map_hook_->show_leads(measured_leads());
  map_hook_->show_beats(measured_beats());
}

void WindowPlatform::selection_saved(SaveOutcome outcome, int beats,
                                     const std::string& result_path) {
  const QString file = QString::fromStdString(result_path);
  switch (outcome) {
    case SaveOutcome::saved:
      main_window_->show_selection(
          beats == 1 ? QCoreApplication::translate("WindowPlatform", "1 beat saved to %1").arg(file)
                     : QCoreApplication::translate("WindowPlatform", "%1 beats saved to %2")
                           .arg(QString::number(beats), file));
      main_window_->set_results_saved(true);
      break;
    case SaveOutcome::declined:
      main_window_->show_selection(
          QCoreApplication::translate("WindowPlatform", "Not saved: the selection is emptied"));
      break;
    case SaveOutcome::failed:
      main_window_->show_selection(
          QCoreApplication::translate("WindowPlatform", "Not saved: the selection is kept"));
      break;
  }
}

void WindowPlatform::add_marking_menu() {
  QMenu& menu = main_window_->marking_menu();
  show_proposal_ =
      menu.addAction(QCoreApplication::translate("WindowPlatform", "&Show the proposed points"));
  show_proposal_->setCheckable(true);
  show_proposal_->setChecked(true);
  QObject::connect(show_proposal_, &QAction::toggled, main_window_.get(), [this](bool shown) {
    if (in_pass_ || j_waiting_) view(active_unit()).set_overlay(shown ? offer_ : ProposalOverlay{});
  });
  // A plain key: the entry is enabled only while a point is to be clicked,
  // so the key never takes a letter from a typed answer.
  take_proposal_ =
      menu.addAction(QCoreApplication::translate("WindowPlatform", "&Take the proposed points"));
  take_proposal_->setShortcut(QKeySequence(Qt::Key_P));
  take_proposal_->setEnabled(false);
  QObject::connect(take_proposal_, &QAction::triggered, main_window_.get(),
                   [this] { take_proposal(); });
  menu.addSeparator();
  mark_j_ = menu.addAction(
      QCoreApplication::translate("WindowPlatform", "Mark the &J point after T end"));
  mark_j_->setCheckable(true);
}

void WindowPlatform::show_offer(const ProposalOverlay& overlay) {
  view(active_unit()).set_overlay(show_proposal_->isChecked() ? overlay : ProposalOverlay{});
}

void WindowPlatform::fiducial_pass_started(const MarkingContext& c) {
  in_pass_ = true;
  pass_clicks_ = 0;
  taking_ = false;
  offer_ = {};
  proposal_failure_.clear();
  auto proposed = propose_for(c);
  if (const auto* failure = std::get_if<std::string>(&proposed)) {
    proposal_failure_ = QString::fromStdString(*failure);
  } else {
    const auto& p = std::get<Proposal>(proposed);
    // A doubtful proposal says why while its points are offered.
    note_before_pass_ = main_window_->note_text();
    if (p.doubtful) {
      QStringList reasons;
      for (const std::string& reason : p.reasons) reasons << QString::fromStdString(reason);
      main_window_->show_note(QCoreApplication::translate("WindowPlatform", "Proposal doubtful: %1")
                                  .arg(reasons.join(QStringLiteral("; "))));
    }
    offer_ = compose_proposal_overlay(
        c.marking, c.geometry,
        {beat_index(p.pq_ms), beat_index(p.q_ms), beat_index(p.t_end_ms), beat_index(p.j_ms)});
  }
  take_proposal_->setEnabled(offer_.marks.size() >= 3);
  show_offer(offer_);
}

void WindowPlatform::fiducial_pass_ended() {
  if (in_pass_ && !offer_.marks.empty()) main_window_->show_note(note_before_pass_);
  in_pass_ = false;
  taking_ = false;
  take_proposal_->setEnabled(false);
  show_offer({});
}

std::optional<float> WindowPlatform::j_point_click(const MarkingContext& /*context*/) {
  if (!mark_j_->isChecked()) return std::nullopt;
  ProposalOverlay j_only;
  for (const ProposedMark& mark : offer_.marks)
    if (mark.label == "J") j_only.marks.push_back(mark);
  j_waiting_ = true;
  take_proposal_->setEnabled(!j_only.marks.empty());
  show_offer(j_only);
  MouseEvent clicked;
  try {
    clicked = wait_mouse_event(mouse_left_down | mouse_right_down);
  } catch (...) {
    j_waiting_ = false;
    throw;
  }
  j_waiting_ = false;
  take_proposal_->setEnabled(false);
  show_offer({});
  // A right click leaves the J point to be proposed from the leads.
  if (clicked.event != mouse_left_down) return std::nullopt;
  return static_cast<float>(clicked.x / 1000.0);
}

// Said until the next measurement, which proposes the J point itself.
void WindowPlatform::j_point_refused() {
  main_window_->show_note(QCoreApplication::translate(
      "WindowPlatform", "J point outside Q start..T end: it is proposed from the leads"));
}

MouseEvent WindowPlatform::proposed_click(std::size_t k) const {
  MouseEvent click;
  click.event = mouse_left_down;
  click.key_state = key_left_button;
  click.x = offer_.marks.at(k).column;
  click.y = proposal_click_row;
  return click;
}

void WindowPlatform::take_proposal() {
  std::size_t k = 0;
  if (j_waiting_) {
    for (; k < offer_.marks.size() && offer_.marks[k].label != "J"; ++k) {
    }
    if (k == offer_.marks.size()) return;
  } else if (in_pass_ && pass_clicks_ < 3 && offer_.marks.size() >= 3) {
    k = pass_clicks_;
    taking_ = true;
  } else {
    return;
  }
  SurfaceView& waiting = view(active_unit());
  if (!loop_ || !waiting.waiting_click()) return;
  injected_ = proposed_click(k);
  waiting.stop_input();
  answered_ = true;
  loop_->quit();
}

QString WindowPlatform::click_request(int unit) {
  const QString window = caption(unit);
  if (j_waiting_)
    return QCoreApplication::translate("WindowPlatform", "Click the J point in %1").arg(window);
  if (in_pass_ && !offer_.marks.empty() && show_proposal_->isChecked())
    return QCoreApplication::translate(
               "WindowPlatform", "Click in %1, or press P to take the proposed points (dashed)")
        .arg(window);
  if (in_pass_ && !proposal_failure_.isEmpty())
    return QCoreApplication::translate("WindowPlatform", "Click in %1 (no proposal: %2)")
        .arg(window, proposal_failure_);
  return QCoreApplication::translate("WindowPlatform", "Click in %1").arg(window);
}

bool WindowPlatform::route_key(QObject* receiver, QEvent* event) {
  if (event->type() != QEvent::KeyPress || reading_unit_ < 0 || routing_) return false;
  auto* widget = qobject_cast<QWidget*>(receiver);
  SurfaceView& reading = view(reading_unit_);
  if (!widget || widget == &reading || widget->window() != main_window_.get()) return false;
  const auto& key = *static_cast<QKeyEvent*>(event);
  MapWindow* map = map_hook_->window();
  if (map && (widget == map || map->isAncestorOf(widget))) {
    // The Map window is looked at while the question waits: its fields have
    // only the keys they use, once clicked into; the rest are the answer's,
    // and none may change the map unasked.
    if (map->takes_key(key)) return false;
    if (!edits_a_line(key)) return true;
  } else if (in_own_control(widget, main_window_.get()) ||
             in_own_control(main_window_->focusWidget(), main_window_.get())) {
    // A key a control leaves unused goes on to the widgets around it: it was
    // still typed into the control, where the focus is.
    return false;
  } else if (!edits_a_line(key)) {
    return false;
  }
  // Shown where it is read: the echo must be in sight.
  if (!reading.hasFocus()) bring_forward(reading_unit_);
  routing_ = true;
  QCoreApplication::sendEvent(&reading, event);
  routing_ = false;
  return true;
}

void WindowPlatform::wait() {
  refresh();
  if (wait_observer_ && !stop_requested_) wait_observer_();
  QEventLoop loop;
  loop_ = &loop;
  while (!answered_ && !stop_requested_) loop.exec();
  loop_ = nullptr;
  reading_unit_ = -1;
  main_window_->show_waiting(QCoreApplication::translate("WindowPlatform", "Working"));
  main_window_->show_question(QString());
  if (!answered_) {
    console_->view().stop_input();
    for (auto& [unit, child] : children_)
      if (child) child->view().stop_input();
    throw StopRequested();
  }
}

std::string WindowPlatform::get_line(int unit) {
  SurfacePane& reading = pane(unit);
  std::string line;
  answered_ = false;
  reading.view().read_line([this, &line](const QString& typed) {
    line = typed.toStdString();
    answered_ = true;
    if (loop_) loop_->quit();
  });
  reading_unit_ = unit;
  bring_forward(unit);
  reading.show_surface_area(surface(unit).input_caret(QString()));
  main_window_->show_waiting(
      QCoreApplication::translate("WindowPlatform", "Type an answer in %1, then Enter")
          .arg(caption(unit)));
  main_window_->show_question(last_line(unit));
  wait();
  return line;
}

MouseEvent WindowPlatform::wait_mouse_event(int event_set) {
  int unit = active_unit();
  SurfaceView& waiting = view(unit);
  if (taking_ && in_pass_ && pass_clicks_ < 3) {
    refresh();
    return proposed_click(pass_clicks_++);
  }
  MouseEvent pressed;
  answered_ = false;
  waiting.wait_click(event_set, [this, &pressed](const MouseEvent& event) {
    pressed = event;
    answered_ = true;
    if (loop_) loop_->quit();
  });
  bring_forward(unit);
  main_window_->show_waiting(click_request(unit));
  // The J point's click answers no question of the program's: the line
  // says what it is instead.
  if (j_waiting_)
    main_window_->show_instruction(QCoreApplication::translate(
        "WindowPlatform",
        "J point (end of QRS): P takes the proposed one (dashed), a right click leaves it to the "
        "proposal"));
  else
    main_window_->show_question(last_line(unit));
  wait();
  if (injected_) pressed = *injected_;
  injected_.reset();
  if (in_pass_) ++pass_clicks_;
  return pressed;
}

void WindowPlatform::set_crosshair_cursor() {
  SurfacePlatform::set_crosshair_cursor();
  view(active_unit()).setCursor(Qt::CrossCursor);
}

void WindowPlatform::show_error(const std::string& message) {
  refresh();
  if (error_presenter_) {
    error_presenter_(message);
    return;
  }
  QMessageBox::critical(main_window_.get(), QStringLiteral("beat analyser"),
                        QString::fromStdString(message));
}

}  // namespace ba

#include "platform/window_platform.h"

#include <QApplication>
#include <QEventLoop>
#include <QMdiArea>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <stdexcept>

#include "runtime/errors.h"

namespace ba {

namespace {

// Pixels between the top left corners of successive child windows, so that
// the caption of every earlier child stays in sight.
constexpr int cascade_step = 24;
constexpr int cascade_slots = 8;

// Room the desktop's own frame around the main window takes, pixels (its
// title bar included).
const QSize desktop_frame_allowance(16, 48);

}  // namespace

WindowPlatform::WindowPlatform()
    : main_window_(std::make_unique<MainWindow>([this] {
        stop_requested_ = true;
        if (loop_) loop_->quit();
      })) {
  // The program, not the last closed window, decides when the run ends.
  QApplication::setQuitOnLastWindowClosed(false);
  map_hook_ = std::make_unique<MapWindowHook>(*main_window_, main_window_->mdi_area());
  main_window_->show();
  ChildWindow& console = add_child(console_unit, QStringLiteral("Console"));
  // Large enough to show the whole surface of a window in the usual places
  // (after the console and the first print page), as far as the screen
  // allows; below that the children scroll.
  QSize child_frame = console.size() - console.widget()->size();
  QSize central_frame = main_window_->size() - main_window_->mdi_area().viewport()->size();
  // Room for a vertical scroll bar too: on a screen too low for the whole
  // surface the child scrolls up and down only, never sideways.
  int scroll_bar = main_window_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  QSize wanted = QSize(Surface::width + scroll_bar, Surface::height) + child_frame + central_frame +
                 2 * QSize(cascade_step, cascade_step);
  if (QScreen* screen = main_window_->screen())
    wanted = wanted.boundedTo(screen->availableGeometry().size() - desktop_frame_allowance);
  main_window_->resize(wanted);
  main_window_->activateWindow();
  place_child(console, 0);
  bring_forward(console_unit);
}

WindowPlatform::~WindowPlatform() {
  for (auto& [unit, child] : children_)
    if (child) child->view().stop_input();
  main_window_->close_at_end();
}

ChildWindow* WindowPlatform::child(int unit) {
  auto found = children_.find(unit);
  return found == children_.end() ? nullptr : found->second.data();
}

ChildWindow& WindowPlatform::add_child(int unit, const QString& caption) {
  auto* child = new ChildWindow(new SurfaceView(surface(unit)), caption);
  child->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowMinMaxButtonsHint);
  main_window_->mdi_area().addSubWindow(child);
  child->show();
  children_[unit] = child;
  return *child;
}

void WindowPlatform::place_child(ChildWindow& child, int slot) {
  QPoint corner(slot * cascade_step, slot * cascade_step);
  QSize frame = child.size() - child.widget()->size();
  QSize whole = QSize(Surface::width, Surface::height) + frame;
  QSize room = main_window_->mdi_area().viewport()->size() - QSize(corner.x(), corner.y());
  // Too low for the whole surface: leave room for the vertical scroll bar.
  if (room.height() < whole.height())
    whole.rwidth() += child.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  child.setGeometry(QRect(corner, whole.boundedTo(room.expandedTo(QSize(200, 150)))));
}

void WindowPlatform::bring_forward(int unit) {
  ChildWindow& shown = open_child(unit);
  shown.raise();
  main_window_->mdi_area().setActiveSubWindow(&shown);
  shown.view().setFocus();
}

ChildWindow& WindowPlatform::open_child(int unit) {
  ChildWindow* found = child(unit);
  if (!found) throw std::logic_error("unit " + std::to_string(unit) + " has no window");
  return *found;
}

void WindowPlatform::refresh() {
  for (auto& [unit, child] : children_)
    if (child) child->view().sync();
}

void WindowPlatform::window_opened(int unit) {
  if (ChildWindow* old = child(unit)) old->close_by_program();
  ChildWindow& opened = add_child(unit, QStringLiteral("Unit %1").arg(unit));
  place_child(opened, 1 + children_opened_++ % cascade_slots);
  bring_forward(unit);
}

void WindowPlatform::window_closed(int unit) {
  if (ChildWindow* closed = child(unit)) closed->close_by_program();
  children_.erase(unit);
}

void WindowPlatform::window_activated(int unit) { bring_forward(unit); }

void WindowPlatform::line_shown(int unit, const std::string& /*utf8_line*/) {
  Surface& shown = surface(unit);
  open_child(unit).show_area(QRect(QPoint(0, shown.text_position().y() - shown.line_height()),
                                   QSize(1, shown.line_height())));
}

void WindowPlatform::wait() {
  refresh();
  if (wait_observer_ && !stop_requested_) wait_observer_();
  QEventLoop loop;
  loop_ = &loop;
  while (!answered_ && !stop_requested_) loop.exec();
  loop_ = nullptr;
  if (!answered_) {
    for (auto& [unit, child] : children_)
      if (child) child->view().stop_input();
    throw StopRequested();
  }
}

std::string WindowPlatform::get_line(int unit) {
  ChildWindow& reading = open_child(unit);
  std::string line;
  answered_ = false;
  reading.view().read_line([this, &line](const QString& typed) {
    line = typed.toStdString();
    answered_ = true;
    if (loop_) loop_->quit();
  });
  bring_forward(unit);
  reading.show_area(reading.view().caret());
  wait();
  return line;
}

MouseEvent WindowPlatform::wait_mouse_event(int event_set) {
  int unit = active_unit();
  ChildWindow& waiting = open_child(unit);
  MouseEvent pressed;
  answered_ = false;
  waiting.view().wait_click(event_set, [this, &pressed](const MouseEvent& event) {
    pressed = event;
    answered_ = true;
    if (loop_) loop_->quit();
  });
  bring_forward(unit);
  wait();
  return pressed;
}

void WindowPlatform::set_crosshair_cursor() {
  SurfacePlatform::set_crosshair_cursor();
  open_child(active_unit()).view().setCursor(Qt::CrossCursor);
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

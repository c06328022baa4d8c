#include "platform/surface_view.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "platform/surface_platform.h"

namespace ba {

SurfaceView::SurfaceView(Surface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
  setFixedSize(Surface::width, Surface::height);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_InputMethodEnabled);
  setFocusPolicy(Qt::StrongFocus);
  shown_generation_ = surface_.generation();
}

void SurfaceView::sync() {
  if (surface_.generation() == shown_generation_) return;
  shown_generation_ = surface_.generation();
  update();
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.drawImage(event->rect(), surface_.image(), event->rect());
  if (reading() && hasFocus()) painter.fillRect(caret(), to_qcolor(0xFFFFFF));
}

QRect SurfaceView::caret() const { return surface_.input_caret(typed_ + preedit_); }

void SurfaceView::read_line(std::function<void(const QString&)> done) {
  line_done_ = std::move(done);
  typed_.clear();
  preedit_.clear();
  surface_.begin_input();
  QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImCursorRectangle);
  sync();
}

void SurfaceView::wait_click(int event_set, std::function<void(const MouseEvent&)> done) {
  event_set_ = event_set;
  click_done_ = std::move(done);
}

void SurfaceView::stop_input() {
  line_done_ = nullptr;
  click_done_ = nullptr;
}

void SurfaceView::echo() {
  surface_.show_input(typed_ + preedit_);
  QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
  sync();
}

void SurfaceView::finish_line() {
  auto done = std::move(line_done_);
  line_done_ = nullptr;
  QString line = typed_;
  typed_.clear();
  preedit_.clear();
  surface_.end_input(line);
  sync();
  done(line);
}

void SurfaceView::keyPressEvent(QKeyEvent* event) {
  if (!reading()) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    finish_line();
  } else if (event->key() == Qt::Key_Backspace) {
    // A character outside the basic plane is two UTF-16 units.
    int units = typed_.size() >= 2 && typed_.back().isLowSurrogate() ? 2 : 1;
    typed_.chop(units);
    echo();
  } else if (!event->text().isEmpty() && event->text().front().isPrint()) {
    typed_ += event->text();
    echo();
  } else {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

void SurfaceView::inputMethodEvent(QInputMethodEvent* event) {
  if (!reading()) {
    event->ignore();
    return;
  }
  typed_ += event->commitString();
  preedit_ = event->preeditString();
  echo();
  event->accept();
}

QVariant SurfaceView::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return reading();
    case Qt::ImCursorRectangle:
      return caret();
    case Qt::ImSurroundingText:
      return typed_;
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
      return static_cast<int>(typed_.size());
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
  int bit = event->button() == Qt::LeftButton    ? mouse_left_down
            : event->button() == Qt::RightButton ? mouse_right_down
                                                 : 0;
  if (!waiting_click() || !(bit & event_set_)) {
    QWidget::mousePressEvent(event);
    return;
  }
  // The view is as large as the surface, so its coordinates are drawing
  // coordinates wherever the scroll area has scrolled it to.
  QPoint at = event->position().toPoint();
  int keys = bit == mouse_left_down ? key_left_button : key_right_button;
  auto done = std::move(click_done_);
  click_done_ = nullptr;
  event->accept();
  done(MouseEvent{bit, keys, at.x(), at.y()});
}

}  // namespace ba

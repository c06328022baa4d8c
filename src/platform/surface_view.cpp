#include "platform/surface_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

#include "platform/surface_platform.h"

namespace ba {

namespace {

// The surface pixel under the centre of each of `shown` view pixels along one
// axis of `length` surface pixels.
std::vector<int> centres(int shown, int length, double scale) {
  std::vector<int> at(static_cast<std::size_t>(shown));
  for (int p = 0; p < shown; ++p)
    at[static_cast<std::size_t>(p)] = std::min(length - 1, static_cast<int>((p + 0.5) / scale));
  return at;
}

// The surface pixels whose centres fall within view pixel `p` along one
// axis, [first, last]: when shrinking, every surface pixel belongs to exactly
// one view pixel, so a one-pixel line is shown once, never twice or not at all.
std::pair<int, int> footprint(int p, int length, double scale) {
  int first = std::clamp(static_cast<int>(std::ceil(p / scale - 0.5)), 0, length - 1);
  int last = static_cast<int>(std::ceil((p + 1) / scale - 0.5)) - 1;
  return {first, std::clamp(last, first, length - 1)};
}

}  // namespace

SurfaceView::SurfaceView(Surface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_InputMethodEnabled);
  setFocusPolicy(Qt::StrongFocus);
  setBackgroundRole(QPalette::Dark);
  shown_generation_ = surface_.generation();
  int flash = QApplication::cursorFlashTime();  // milliseconds per on-off cycle; 0 = steady
  caret_timer_.setInterval(flash > 0 ? flash / 2 : 0);
  connect(&caret_timer_, &QTimer::timeout, this, [this] {
    caret_on_ = !caret_on_;
    update(caret());
  });
  set_scale(1.0);
}

void SurfaceView::sync() {
  if (surface_.generation() == shown_generation_) return;
  shown_generation_ = surface_.generation();
  update();
}

void SurfaceView::set_fit() {
  fit_ = true;
  setMinimumSize(minimumSizeHint());
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  rescale();
}

void SurfaceView::set_scale(double scale) {
  fit_ = false;
  scale_ = std::max(scale, smallest_scale);
  scaled_valid_ = false;
  setFixedSize(sizeHint());
  update();
}

QSize SurfaceView::sizeHint() const {
  return QSize(static_cast<int>(Surface::width * scale_) + 2 * margin,
               static_cast<int>(Surface::height * scale_) + 2 * margin);
}

QSize SurfaceView::minimumSizeHint() const {
  if (!fit_) return sizeHint();
  return QSize(static_cast<int>(Surface::width * smallest_scale) + 2 * margin,
               static_cast<int>(Surface::height * smallest_scale) + 2 * margin);
}

void SurfaceView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (fit_) rescale();
}

void SurfaceView::rescale() {
  QSize room = size() - QSize(2 * margin, 2 * margin);
  double fitted = std::min(static_cast<double>(room.width()) / Surface::width,
                           static_cast<double>(room.height()) / Surface::height);
  fitted = std::max(fitted, smallest_scale);
  if (fitted == scale_) return;
  scale_ = fitted;
  scaled_valid_ = false;
  update();
}

// Shrinking keeps one-pixel lines: a view pixel whose centre falls on
// background shows instead the first drawn pixel it covers, so traces,
// markers and zero lines never fall between two view pixels.
const QImage& SurfaceView::shown_image() {
  if (scaled_valid_ && scaled_generation_ == surface_.generation()) return scaled_;
  const QImage& image = surface_.image();
  const int width = std::max(1, static_cast<int>(Surface::width * scale_));
  const int height = std::max(1, static_cast<int>(Surface::height * scale_));
  const std::vector<int> columns = centres(width, Surface::width, scale_);
  const std::vector<int> rows = centres(height, Surface::height, scale_);
  const QRgb background = to_qcolor(surface_.background_rgb()).rgb();
  const bool shrinking = scale_ < 1.0;
  scaled_ = QImage(width, height, QImage::Format_RGB32);
  source_.assign(shrinking ? static_cast<std::size_t>(width) * height : 0, QPoint());
  for (int y = 0; y < height; ++y) {
    auto* out = reinterpret_cast<QRgb*>(scaled_.scanLine(y));
    auto [top, bottom] = footprint(y, Surface::height, scale_);
    for (int x = 0; x < width; ++x) {
      QPoint from(columns[static_cast<std::size_t>(x)], rows[static_cast<std::size_t>(y)]);
      if (shrinking) {
        auto [left, right] = footprint(x, Surface::width, scale_);
        auto pixel = [&](QPoint at) {
          return reinterpret_cast<const QRgb*>(image.constScanLine(at.y()))[at.x()];
        };
        for (int sy = top; sy <= bottom && pixel(from) == background; ++sy)
          for (int sx = left; sx <= right; ++sx)
            if (pixel(QPoint(sx, sy)) != background) {
              from = QPoint(sx, sy);
              break;
            }
        source_[static_cast<std::size_t>(y) * width + x] = from;
      }
      out[x] = reinterpret_cast<const QRgb*>(image.constScanLine(from.y()))[from.x()];
    }
  }
  scaled_generation_ = surface_.generation();
  scaled_valid_ = true;
  return scaled_;
}

QPoint SurfaceView::surface_pixel(QPoint at) {
  shown_image();  // the pixels the person sees now
  const QPoint shown = at - QPoint(margin, margin);
  const int width = std::max(1, static_cast<int>(Surface::width * scale_));
  const int height = std::max(1, static_cast<int>(Surface::height * scale_));
  if (shown.x() < 0 || shown.y() < 0 || shown.x() >= width || shown.y() >= height)
    return QPoint(-1, -1);
  if (scale_ < 1.0) return source_[static_cast<std::size_t>(shown.y()) * width + shown.x()];
  return QPoint(std::min(Surface::width - 1, static_cast<int>((shown.x() + 0.5) / scale_)),
                std::min(Surface::height - 1, static_cast<int>((shown.y() + 0.5) / scale_)));
}

QRect SurfaceView::view_rect(const QRect& surface_area) const {
  QPoint corner(margin + static_cast<int>(surface_area.x() * scale_),
                margin + static_cast<int>(surface_area.y() * scale_));
  QSize size(std::max(1, static_cast<int>(std::ceil(surface_area.width() * scale_))),
             std::max(1, static_cast<int>(std::ceil(surface_area.height() * scale_))));
  return QRect(corner, size);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), palette().color(QPalette::Dark));
  painter.drawImage(QPoint(margin, margin), shown_image());
  paint_overlay(painter);
  if (reading() && hasFocus() && caret_on_) {
    // Inverting keeps the caret visible on every background colour.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(caret(), Qt::white);
  }
}

void SurfaceView::set_overlay(ProposalOverlay overlay) {
  overlay_ = std::move(overlay);
  update();
}

// Dashed lines two pixels wide at any zoom, each labelled at its top, in a
// colour the program's own traces and markers never use.
void SurfaceView::paint_overlay(QPainter& painter) {
  if (overlay_.marks.empty()) return;
  const QColor colour(overlay_.colour & 0xff, (overlay_.colour >> 8) & 0xff,
                      (overlay_.colour >> 16) & 0xff);
  QPen pen(colour, 2);
  pen.setDashPattern({static_cast<qreal>(overlay_.dash_pixels) * scale_ / 2,
                      static_cast<qreal>(overlay_.dash_pixels) * scale_ / 2});
  painter.save();
  painter.setPen(pen);
  // Labels inside the trace area beside the lines' tops, alternating between
  // two rows: PQ and Q lie close together. Below the area they would lie
  // under a scroll bar; above it, over the program's text.
  const int label_step = painter.fontMetrics().ascent() + 2;
  bool first_row = true;
  for (const ProposedMark& mark : overlay_.marks) {
    const QRect line =
        view_rect(QRect(QPoint(mark.column, mark.top_row), QPoint(mark.column, mark.bottom_row)));
    painter.drawLine(line.topLeft(), line.bottomLeft());
    const QPoint at = line.topLeft() + QPoint(3, first_row ? label_step : 2 * label_step);
    painter.drawText(at, QString::fromStdString(mark.label));
    first_row = !first_row;
  }
  painter.restore();
}

// Two pixels wide at any zoom, so that it stays visible when shrunk.
QRect SurfaceView::caret() const {
  QRect shown = view_rect(surface_.input_caret(typed_ + preedit_));
  shown.setWidth(2);
  return shown;
}

void SurfaceView::restart_caret() {
  caret_on_ = true;
  if (reading() && caret_timer_.interval() > 0)
    caret_timer_.start();
  else
    caret_timer_.stop();
}

void SurfaceView::read_line(std::function<void(const QString&)> done) {
  line_done_ = std::move(done);
  typed_.clear();
  preedit_.clear();
  surface_.begin_input();
  QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImCursorRectangle);
  restart_caret();
  sync();
}

void SurfaceView::wait_click(int event_set, std::function<void(const MouseEvent&)> done) {
  event_set_ = event_set;
  click_done_ = std::move(done);
}

void SurfaceView::stop_input() {
  line_done_ = nullptr;
  click_done_ = nullptr;
  restart_caret();
}

void SurfaceView::echo() {
  update(caret());
  surface_.show_input(typed_ + preedit_);
  QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
  restart_caret();
  sync();
}

void SurfaceView::finish_line() {
  auto done = std::move(line_done_);
  line_done_ = nullptr;
  QString line = typed_;
  typed_.clear();
  preedit_.clear();
  surface_.end_input(line);
  restart_caret();
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

// Whether this view's child window was the one in front of its area before
// the focus came here; a view outside the area (the console) always is.
bool SurfaceView::in_front() const {
  for (QWidget* up = parentWidget(); up; up = up->parentWidget())
    if (auto* child = qobject_cast<QMdiSubWindow*>(up))
      return child->mdiArea() == nullptr || child->mdiArea()->activeSubWindow() == child;
  return true;
}

// The focus arrives before the press that brought it: a press that moves the
// focus here from another child of the area only brings this one forward.
void SurfaceView::focusInEvent(QFocusEvent* event) {
  press_raises_ = event->reason() == Qt::MouseFocusReason && !in_front();
  restart_caret();
  QWidget::focusInEvent(event);
}

void SurfaceView::answer_click(QMouseEvent* event, int bit) {
  bool raising = press_raises_;
  press_raises_ = false;
  QPoint at = surface_pixel(event->position().toPoint());
  if (raising || !waiting_click() || !(bit & event_set_) || at.x() < 0) {
    event->ignore();
    return;
  }
  bool left = event->button() == Qt::LeftButton;
  auto done = std::move(click_done_);
  click_done_ = nullptr;
  event->accept();
  done(MouseEvent{bit, left ? key_left_button : key_right_button, at.x(), at.y()});
}

void SurfaceView::mousePressEvent(QMouseEvent* event) {
  int bit = event->button() == Qt::LeftButton    ? mouse_left_down
            : event->button() == Qt::RightButton ? mouse_right_down
                                                 : 0;
  answer_click(event, bit);
}

// The second press of a double click comes as this event of its own; it is
// an answer only to a wait for double clicks, never a second press.
void SurfaceView::mouseDoubleClickEvent(QMouseEvent* event) {
  int bit = event->button() == Qt::LeftButton    ? mouse_left_double
            : event->button() == Qt::RightButton ? mouse_right_double
                                                 : 0;
  answer_click(event, bit);
}

}  // namespace ba

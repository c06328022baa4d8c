#pragma once
// A widget that shows one surface and collects what the person types or
// clicks in it. It paints the surface's image, with at most an overlay of
// marks over it, so a repaint, a resize, a zoom or an overlay never changes
// what the program sees.

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "marking/proposal_overlay.h"
#include "platform/surface.h"
#include "runtime/platform.h"

class QPainter;

namespace ba {

class SurfaceView : public QWidget {
  Q_OBJECT

 public:
  // Pixels of the view's own background around the surface, so that text at
  // the surface's left edge and the caret there stand clear of the border.
  static constexpr int margin = 4;
  // The smallest zoom, view pixels per surface pixel: text lines stay about
  // 11 pixels high, still readable. A view given less room than that scrolls.
  static constexpr double smallest_scale = 0.67;

  explicit SurfaceView(Surface& surface, QWidget* parent = nullptr);

  Surface& surface() { return surface_; }
  // Repaints when the surface has changed since it was last shown.
  void sync();

  // Zoom: with `fit` the surface is scaled (aspect kept) to whatever size the
  // view is given, down to `smallest_scale`; otherwise it is shown `scale`
  // times its size (never less than `smallest_scale`) and the view asks for
  // exactly that room.
  void set_fit();
  void set_scale(double scale);
  bool fitting() const { return fit_; }
  double scale() const { return scale_; }
  // The surface pixel shown at a view position, or (-1, -1) for the margin
  // and the room beyond the surface.
  QPoint surface_pixel(QPoint at);
  // A rectangle of surface pixels in view coordinates.
  QRect view_rect(const QRect& surface_area) const;

  // Takes one typed line: echo at the text position, Backspace edits, Enter
  // ends it and hands it to `done` (the echo stays as a text line).
  void read_line(std::function<void(const QString&)> done);
  // Takes one button event of `event_set` (presses, and double clicks when
  // the set has them) and hands it to `done` in drawing coordinates.
  void wait_click(int event_set, std::function<void(const MouseEvent&)> done);
  // Marks painted over the surface, never into it: what the program sees and
  // saves stays as it drew it. An empty overlay shows nothing.
  void set_overlay(ProposalOverlay overlay);
  const ProposalOverlay& overlay() const { return overlay_; }

  // Ends any reading or waiting without an answer.
  void stop_input();

  bool reading() const { return static_cast<bool>(line_done_); }
  bool waiting_click() const { return static_cast<bool>(click_done_); }
  const QString& typed() const { return typed_; }
  // Where the next typed character goes, in this widget's coordinates.
  QRect caret() const;
  bool caret_shown() const { return caret_on_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void echo();
  void finish_line();
  void restart_caret();
  void rescale();
  void paint_overlay(QPainter& painter);
  void answer_click(QMouseEvent* event, int bit);
  bool in_front() const;
  const QImage& shown_image();

  Surface& surface_;
  ProposalOverlay overlay_;
  std::uint64_t shown_generation_ = 0;
  std::function<void(const QString&)> line_done_;
  std::function<void(const MouseEvent&)> click_done_;
  int event_set_ = 0;
  QString typed_;    // committed characters of the line being typed
  QString preedit_;  // characters the input method is still composing

  bool fit_ = false;
  double scale_ = 1.0;  // view pixels per surface pixel
  // The surface as shown at `scale_`, and for every pixel of it the surface
  // pixel it shows (row-major), so that a click answers with exactly the
  // pixel the person sees under the pointer.
  QImage scaled_;
  std::vector<QPoint> source_;
  std::uint64_t scaled_generation_ = 0;
  bool scaled_valid_ = false;

  QTimer caret_timer_;
  bool caret_on_ = true;
  // The press that gave this view the focus brought its window to the front:
  // it is no answer.
  bool press_raises_ = false;
};

}  // namespace ba

#pragma once
// A widget that shows one surface and collects what the person types or
// clicks in it. It paints only from the surface's image, so a repaint or a
// resize never changes what the program sees.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/surface.h"
#include "runtime/platform.h"

namespace ba {

class SurfaceView : public QWidget {
 public:
  explicit SurfaceView(Surface& surface, QWidget* parent = nullptr);

  Surface& surface() { return surface_; }
  // Repaints when the surface has changed since it was last shown.
  void sync();

  // Takes one typed line: echo at the text position, Backspace edits, Enter
  // ends it and hands it to `done` (the echo stays as a text line).
  void read_line(std::function<void(const QString&)> done);
  // Takes one button press of `event_set` (left and right button down are
  // the presses there are) and hands it to `done` in drawing coordinates.
  void wait_click(int event_set, std::function<void(const MouseEvent&)> done);
  // Ends any reading or waiting without an answer.
  void stop_input();

  bool reading() const { return static_cast<bool>(line_done_); }
  bool waiting_click() const { return static_cast<bool>(click_done_); }
  const QString& typed() const { return typed_; }
  // Where the next typed character goes, in this widget's coordinates.
  QRect caret() const;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void echo();
  void finish_line();

  Surface& surface_;
  std::uint64_t shown_generation_ = 0;
  std::function<void(const QString&)> line_done_;
  std::function<void(const MouseEvent&)> click_done_;
  int event_set_ = 0;
  QString typed_;    // committed characters of the line being typed
  QString preedit_;  // characters the input method is still composing
};

}  // namespace ba

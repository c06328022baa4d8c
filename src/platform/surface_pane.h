#pragma once
// A scrollable, zoomable view of one surface: what a child window and the
// console panel hold. The zoom changes only what the person sees; the
// surface and every click's drawing coordinates stay the same.

#include <QScrollArea>

#include "platform/surface_view.h"

namespace ba {

class SurfacePane : public QScrollArea {
  Q_OBJECT

 public:
  explicit SurfacePane(SurfaceView* view, QWidget* parent = nullptr);
  SurfaceView& view() { return *view_; }

  // Zoom steps; "fit" scales the whole surface into the pane.
  void zoom_to_fit();
  void actual_size();
  void zoom_in();
  void zoom_out();
  // Scrolls so that a rectangle of surface pixels is visible.
  void show_surface_area(const QRect& area);

 private:
  void zoom_to(double scale);

  SurfaceView* view_;
};

}  // namespace ba

#include "platform/surface_pane.h"

#include <algorithm>
#include <array>

namespace ba {

namespace {

// View pixels per surface pixel, from the smallest readable one. Steps above
// 2 would cost more memory per view than they show (a 4x surface is 12
// million pixels).
constexpr std::array<double, 4> zoom_steps = {SurfaceView::smallest_scale, 0.75, 1.0, 2.0};

}  // namespace

SurfacePane::SurfacePane(SurfaceView* view, QWidget* parent) : QScrollArea(parent), view_(view) {
  setWidget(view);
  setFrameShape(QFrame::NoFrame);
  setBackgroundRole(QPalette::Dark);
  setFocusProxy(view);
  actual_size();
}

void SurfacePane::zoom_to_fit() {
  setWidgetResizable(true);
  view_->set_fit();
}

void SurfacePane::actual_size() { zoom_to(1.0); }

void SurfacePane::zoom_to(double scale) {
  setWidgetResizable(false);
  view_->set_scale(scale);
}

void SurfacePane::zoom_in() {
  double now = view_->scale();
  auto next = std::upper_bound(zoom_steps.begin(), zoom_steps.end(), now + 1e-9);
  zoom_to(next == zoom_steps.end() ? zoom_steps.back() : *next);
}

void SurfacePane::zoom_out() {
  double now = view_->scale();
  auto below = std::lower_bound(zoom_steps.begin(), zoom_steps.end(), now - 1e-9);
  zoom_to(below == zoom_steps.begin() ? zoom_steps.front() : *std::prev(below));
}

void SurfacePane::show_surface_area(const QRect& area) {
  QRect shown = view_->view_rect(area);
  ensureVisible(shown.center().x(), shown.center().y(), shown.width() / 2 + 8,
                shown.height() / 2 + 4);
}

}  // namespace ba

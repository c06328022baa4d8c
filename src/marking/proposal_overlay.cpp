#include "marking/proposal_overlay.h"

#include <cmath>
#include <cstdlib>

namespace ba {

namespace {

constexpr const char* mark_labels[4] = {"PQ", "Q", "T end", "J"};

}  // namespace

std::int16_t click_column(std::int32_t index, float plot_x0, float x_scale) {
  // Columns around the exact one, since the click's quotient is truncated.
  const double exact =
      1000.0 * (static_cast<double>(plot_x0) + index * static_cast<double>(x_scale));
  const int centre = static_cast<int>(std::lround(exact));
  int best = centre;
  std::int64_t best_distance = -1;
  for (int column = centre - 2; column <= centre + 2; ++column) {
    const auto x = static_cast<float>(column / 1000.0);  // as a click gives it
    const std::int64_t distance =
        std::llabs(std::int64_t{click_sample(x, plot_x0, x_scale)} - index);
    if (best_distance < 0 || distance < best_distance) {
      best_distance = distance;
      best = column;
    }
  }
  return static_cast<std::int16_t>(best);
}

ProposalOverlay compose_proposal_overlay(const MarkingState& marking,
                                         const DisplayGeometry& geometry,
                                         const std::array<std::int32_t, 4>& indices) {
  ProposalOverlay overlay;
  for (std::size_t k = 0; k < indices.size(); ++k) {
    const std::int32_t index = indices[k];
    if (index < 1 || index > beat_window_len) continue;
    overlay.marks.push_back({mark_labels[k], index,
                             click_column(index, geometry.plot_x0, marking.beat_x_scale),
                             pixel_row(geometry.plot_y0), pixel_row(geometry.plot_y1)});
  }
  return overlay;
}

}  // namespace ba

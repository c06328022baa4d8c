#pragma once
// The proposed fiducial points as drawn over the enlarged beat: dashed
// vertical lines in a colour of their own, which the window mode paints over
// the window's picture without changing it, and the click that takes each.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "display/plot.h"
#include "marking/marking.h"
#include "runtime/platform.h"

namespace ba {

inline constexpr std::uint32_t proposal_colour = rgb(255, 140, 0);  // orange
inline constexpr int proposal_dash_pixels = 4;                      // dash and gap, surface pixels

struct ProposedMark {
  std::string label;    // "PQ", "Q", "T end", "J"
  std::int32_t index;   // beat-window index (200 = R)
  std::int16_t column;  // surface pixel whose click marks it (see click_column)
  std::int16_t top_row;
  std::int16_t bottom_row;
};

struct ProposalOverlay {
  std::vector<ProposedMark> marks;  // PQ, Q start, T end, then J
  std::uint32_t colour = proposal_colour;
  int dash_pixels = proposal_dash_pixels;
};

// The marks of the proposed points (beat-window indices PQ, Q start, T end,
// J) on the enlarged beat as `marking` and `geometry` draw it; a point
// outside the one-beat display is left out.
ProposalOverlay compose_proposal_overlay(const MarkingState& marking,
                                         const DisplayGeometry& geometry,
                                         const std::array<std::int32_t, 4>& indices);

// The pixel column whose click on the one-beat display marks the index
// nearest to `index`: a column covers 1 / (1000 x_scale) samples, so not
// every index can be clicked (at the usual 0.6 pixel per sample the nearest
// is at most one sample away).
std::int16_t click_column(std::int32_t index, float plot_x0, float x_scale);

}  // namespace ba

#pragma once
// The map's continuous field: the lead values interpolated over the layout,
// sampled on a lattice of points. Outside the convex hull of the usable
// electrodes nothing is known, and the lattice holds NaN there.

#include <vector>

#include "map/geometry.h"
#include "map/layout.h"
#include "map/values.h"

namespace ba {

// The rectangle around the usable electrodes, layout units.
struct MapBounds {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
  double width() const { return right - left; }
  double height() const { return bottom - top; }
};
MapBounds usable_bounds(const LeadLayout& layout);
std::vector<MapPoint> usable_hull(const LeadLayout& layout);

// Values at lattice points (i, j), i = 0..columns-1 left to right, j =
// 0..rows-1 top to bottom; point (i, j) lies at x = left + i * dx,
// y = top + j * dy, so the outer points lie on the bounds.
struct SampledField {
  int columns = 0;
  int rows = 0;
  double left = 0;
  double top = 0;
  double dx = 0;
  double dy = 0;
  std::vector<float> values;  // row after row; NaN outside the hull

  float at(int i, int j) const { return values[static_cast<std::size_t>(j) * columns + i]; }
  MapPoint point(double i, double j) const { return {left + i * dx, top + j * dy}; }
};

// Interpolates `values` over the usable leads (bicubic on the default grid,
// a thin-plate spline otherwise) at columns x rows lattice points (each at
// least 2) spanning the usable bounds.
SampledField sample_field(const LeadLayout& layout, const LeadValues& values, int columns,
                          int rows);

}  // namespace ba

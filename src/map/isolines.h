#pragma once
// Isolines of a sampled field by marching squares, joined into polylines.

#include <vector>

#include "map/field.h"
#include "map/geometry.h"

namespace ba {

struct Isoline {
  double level = 0;
  std::vector<MapPoint> points;  // layout units
  bool closed = false;           // the last point joins the first
};

// Every line where the field crosses `level`. Cells with a corner outside
// the hull are left out, so lines end at the hull's border. A corner exactly
// at the level counts as above it.
std::vector<Isoline> trace_isolines(const SampledField& field, double level);

}  // namespace ba

#include "map/field.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ba {

MapBounds usable_bounds(const LeadLayout& layout) {
  MapBounds b;
  bool first = true;
  for (int n = 1; n <= lead_point_count; ++n) {
    const Electrode& e = layout.leads(n);
    if (!e.usable()) continue;
    if (first) {
      b = {e.x, e.y, e.x, e.y};
      first = false;
    }
    b.left = std::min(b.left, e.x);
    b.right = std::max(b.right, e.x);
    b.top = std::min(b.top, e.y);
    b.bottom = std::max(b.bottom, e.y);
  }
  return b;
}

std::vector<MapPoint> usable_hull(const LeadLayout& layout) {
  std::vector<MapPoint> points;
  for (int n = 1; n <= lead_point_count; ++n)
    if (layout.leads(n).usable()) points.push_back({layout.leads(n).x, layout.leads(n).y});
  return convex_hull(points);
}

namespace {

// Catmull-Rom weights of the four neighbours for a fraction t in [0, 1]:
// the interpolating cubic convolution (a = -1/2), which passes through every
// electrode value and reproduces linear fields exactly.
std::array<double, 4> cubic_weights(double t) {
  const double t2 = t * t;
  const double t3 = t2 * t;
  return {(-t3 + 2 * t2 - t) / 2, (3 * t3 - 5 * t2 + 2) / 2, (-3 * t3 + 4 * t2 + t) / 2,
          (t3 - t2) / 2};
}

// Values on a lattice of unit spacing with one ring of extrapolated points
// around it (linear continuation, 2 f(0) - f(1)), so that the edge cells
// need no special case and a linear field stays linear up to the border.
class CubicLattice {
 public:
  // `at(column, row)` for column 0..columns-1, row 0..rows-1 (each >= 2).
  template <typename Source>
  CubicLattice(int columns, int rows, Source at)
      : columns_(columns), rows_(rows), cells_(static_cast<std::size_t>(columns + 2) * (rows + 2)) {
    for (int column = 0; column < columns; ++column)
      for (int row = 0; row < rows; ++row) set(column, row, at(column, row));
    for (int row = 0; row < rows; ++row) {
      set(-1, row, 2 * get(0, row) - get(1, row));
      set(columns, row, 2 * get(columns - 1, row) - get(columns - 2, row));
    }
    for (int column = -1; column <= columns; ++column) {
      set(column, -1, 2 * get(column, 0) - get(column, 1));
      set(column, rows, 2 * get(column, rows - 1) - get(column, rows - 2));
    }
  }

  // x in 0..columns-1, y in 0..rows-1, lattice units.
  double value(double x, double y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return std::numeric_limits<double>::quiet_NaN();
    const int column = std::clamp(static_cast<int>(std::floor(x)), 0, columns_ - 2);
    const int row = std::clamp(static_cast<int>(std::floor(y)), 0, rows_ - 2);
    const auto wx = cubic_weights(x - column);
    const auto wy = cubic_weights(y - row);
    double sum = 0;
    for (int b = 0; b < 4; ++b) {
      double across = 0;
      for (int a = 0; a < 4; ++a) across += wx[a] * get(column - 1 + a, row - 1 + b);
      sum += wy[b] * across;
    }
    return sum;
  }

 private:
  std::size_t offset(int column, int row) const {
    return static_cast<std::size_t>(row + 1) * (columns_ + 2) + (column + 1);
  }
  double get(int column, int row) const { return cells_[offset(column, row)]; }
  void set(int column, int row, double v) { cells_[offset(column, row)] = v; }

  int columns_;
  int rows_;
  std::vector<double> cells_;
};

// f(p) = a0 + a1 x + a2 y + sum_k w_k U(|p - p_k|), U(r) = r^2 log r: the
// smoothest surface through the usable electrodes. Coordinates are first
// scaled to a unit box so that the linear system stays well conditioned.
class ThinPlateSpline {
 public:
  ThinPlateSpline(const LeadLayout& layout, const LeadValues& values, const MapBounds& bounds)
      : left_(bounds.left), top_(bounds.top), unit_(std::max(bounds.width(), bounds.height())) {
    for (int n = 1; n <= lead_point_count; ++n)
      if (layout.leads(n).usable()) {
        centres_.push_back(scaled({layout.leads(n).x, layout.leads(n).y}));
        targets_.push_back(values(n));
      }
    const int count = static_cast<int>(centres_.size());
    Eigen::MatrixXd system = Eigen::MatrixXd::Zero(count + 3, count + 3);
    Eigen::VectorXd right = Eigen::VectorXd::Zero(count + 3);
    for (int i = 0; i < count; ++i) {
      for (int k = 0; k < count; ++k) system(i, k) = kernel(centres_[i], centres_[k]);
      const double row[3] = {1, centres_[i].x, centres_[i].y};
      for (int c = 0; c < 3; ++c) system(i, count + c) = system(count + c, i) = row[c];
      right(i) = targets_[i];
    }
    const Eigen::VectorXd solution = system.fullPivLu().solve(right);
    weights_.assign(solution.data(), solution.data() + count);
    for (int c = 0; c < 3; ++c) affine_[c] = solution(count + c);
  }

  double value(MapPoint p) const {
    const MapPoint q = scaled(p);
    double sum = affine_[0] + affine_[1] * q.x + affine_[2] * q.y;
    for (std::size_t k = 0; k < centres_.size(); ++k) sum += weights_[k] * kernel(q, centres_[k]);
    return sum;
  }

 private:
  MapPoint scaled(MapPoint p) const { return {(p.x - left_) / unit_, (p.y - top_) / unit_}; }
  // r^2 log r = r^2 log(r^2) / 2. The logarithm in single precision (7
  // digits, far below what a colour or an isoline shows) costs a third of
  // the double one, and a map takes one per electrode and lattice point.
  static double kernel(MapPoint a, MapPoint b) {
    const double r2 = (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
    return r2 > 0 ? 0.5 * r2 * std::log(static_cast<float>(r2)) : 0.0;
  }

  double left_, top_, unit_;
  std::vector<MapPoint> centres_;
  std::vector<double> targets_;
  std::vector<double> weights_;
  std::array<double, 3> affine_{};
};

// Points per side of the lattice the spline is evaluated on; finer samples
// come from it by cubic interpolation. The spline bends smoothly, so 48
// points lose nothing visible and keep a map fast (each spline value costs
// one logarithm per electrode).
constexpr int spline_lattice = 48;

// The default grid interpolates its own values; any other layout samples
// its thin-plate spline over the whole bounds first.
CubicLattice interpolant(const LeadLayout& layout, const LeadValues& values,
                         const MapBounds& bounds) {
  if (layout.regular_grid)
    return CubicLattice(grid_side, grid_side,
                        [&](int column, int row) { return values(column * grid_side + row + 1); });
  const ThinPlateSpline spline(layout, values, bounds);
  const double dx = bounds.width() / (spline_lattice - 1);
  const double dy = bounds.height() / (spline_lattice - 1);
  return CubicLattice(spline_lattice, spline_lattice, [&](int column, int row) {
    return spline.value({bounds.left + column * dx, bounds.top + row * dy});
  });
}

}  // namespace

SampledField sample_field(const LeadLayout& layout, const LeadValues& values, int columns,
                          int rows) {
  SampledField field;
  const MapBounds bounds = usable_bounds(layout);
  field.columns = std::max(columns, 2);
  field.rows = std::max(rows, 2);
  field.left = bounds.left;
  field.top = bounds.top;
  field.dx = bounds.width() / (field.columns - 1);
  field.dy = bounds.height() / (field.rows - 1);
  field.values.assign(static_cast<std::size_t>(field.columns) * field.rows,
                      std::numeric_limits<float>::quiet_NaN());
  const std::vector<MapPoint> hull = usable_hull(layout);
  // Points on the border count as inside despite rounding.
  const double slack = 1e-9 * std::max(bounds.width(), bounds.height());
  const CubicLattice lattice = interpolant(layout, values, bounds);
  // Lattice units of the interpolant per layout unit.
  const double per_unit_x = layout.regular_grid ? 1.0 : (spline_lattice - 1) / bounds.width();
  const double per_unit_y = layout.regular_grid ? 1.0 : (spline_lattice - 1) / bounds.height();
  for (int j = 0; j < field.rows; ++j)
    for (int i = 0; i < field.columns; ++i) {
      const MapPoint p = field.point(i, j);
      if (!inside_hull(hull, p, slack)) continue;
      const double v =
          lattice.value((p.x - bounds.left) * per_unit_x, (p.y - bounds.top) * per_unit_y);
      field.values[static_cast<std::size_t>(j) * field.columns + i] = static_cast<float>(v);
    }
  return field;
}

}  // namespace ba

// The interpolated field and its isolines on fields whose shape is known
// beforehand: a pure dipole and a single-lead spike, on the default grid
// (bicubic) and on the same positions given as a layout file (thin-plate
// spline).

#include "map/field.h"

#include <gtest/gtest.h>

#include <cmath>

#include "map/isolines.h"

namespace ba {
namespace {

LeadLayout grid_as_file() {
  LeadLayout layout = default_layout();
  layout.regular_grid = false;
  return layout;
}

struct Interpolation {
  const char* label;
  LeadLayout layout;
  // How far the field may stray from an electrode's own value, as a share
  // of the values' range: the spline is sampled on a lattice that need not
  // meet the electrodes, and cubic steps between its points.
  double at_electrode;
};

std::vector<Interpolation> both_interpolations() {
  return {{"bicubic", default_layout(), 1e-5}, {"thin-plate spline", grid_as_file(), 0.01}};
}

// Area = 2 x + y about the middle of the grid (x, y in electrode spacings):
// -10.5 at lead 1 (top left), +10.5 at lead 64 (bottom right).
LeadValues dipole() {
  LeadValues values;
  for (int n = 1; n <= lead_point_count; ++n)
    values(n) = 2 * ((n - 1) / grid_side - 3.5) + ((n - 1) % grid_side - 3.5);
  return values;
}

double distance_to_segment(MapPoint p, MapPoint a, MapPoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double t =
      std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

bool on_square_border(MapPoint p) {
  constexpr double eps = 1e-9;
  return std::abs(p.x) < eps || std::abs(p.x - 7) < eps || std::abs(p.y) < eps ||
         std::abs(p.y - 7) < eps;
}

// Even-odd rule.
bool encloses(const std::vector<MapPoint>& ring, MapPoint p) {
  bool inside = false;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
    if ((ring[i].y > p.y) != (ring[j].y > p.y) &&
        p.x < (ring[j].x - ring[i].x) * (p.y - ring[i].y) / (ring[j].y - ring[i].y) + ring[i].x)
      inside = !inside;
  return inside;
}

TEST(Dipole, StraightParallelEvenlySpacedIsolines) {
  for (const Interpolation& row : both_interpolations()) {
    SCOPED_TRACE(row.label);
    const SampledField field = sample_field(row.layout, dipole(), 71, 71);
    ASSERT_NEAR(field.dx, 0.1, 1e-12);
    // Levels -10, -8, ... 10: each one line across the whole square, every
    // point on 2 (x - 3.5) + (y - 3.5) = level, so the lines are straight,
    // parallel and a step apart.
    for (int level = -10; level <= 10; level += 2) {
      SCOPED_TRACE(level);
      const auto lines = trace_isolines(field, level);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_FALSE(lines[0].closed);
      for (const MapPoint& p : lines[0].points)
        ASSERT_NEAR(2 * (p.x - 3.5) + (p.y - 3.5), level, 1e-4) << p.x << ", " << p.y;
      EXPECT_TRUE(on_square_border(lines[0].points.front()));
      EXPECT_TRUE(on_square_border(lines[0].points.back()));
    }
    const auto zero = trace_isolines(field, 0);
    double nearest = 1e9;
    for (std::size_t k = 0; k + 1 < zero[0].points.size(); ++k)
      nearest = std::min(nearest,
                         distance_to_segment({3.5, 3.5}, zero[0].points[k], zero[0].points[k + 1]));
    EXPECT_LT(nearest, 1e-6) << "the zero line passes through the centre";
    const LeadExtremes found = lead_extremes(row.layout, dipole());
    EXPECT_EQ(found.max_lead, 64);
    EXPECT_EQ(found.min_lead, 1);
    EXPECT_NEAR(field.at(70, 70), 10.5, 1e-4);
    EXPECT_NEAR(field.at(0, 0), -10.5, 1e-4);
  }
}

TEST(Spike, OneClosedIsolineAroundTheLead) {
  LeadValues values;
  values(28) = 100;  // column 3, row 3
  for (const Interpolation& row : both_interpolations()) {
    SCOPED_TRACE(row.label);
    const SampledField field = sample_field(row.layout, values, 71, 71);
    EXPECT_NEAR(field.at(30, 30), 100, 100 * row.at_electrode)
        << "the field passes through the electrode value";
    const auto lines = trace_isolines(field, 50);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_TRUE(lines[0].closed);
    for (int n = 1; n <= lead_point_count; ++n) {
      const Electrode& e = row.layout.leads(n);
      EXPECT_EQ(encloses(lines[0].points, {e.x, e.y}), n == 28) << "lead " << n;
    }
    for (const MapPoint& p : lines[0].points) EXPECT_LT(std::hypot(p.x - 3, p.y - 3), 1.0);
  }
}

TEST(Field, NothingOutsideTheHullOfUsableLeads) {
  LeadLayout layout;
  const double places[][2] = {{0, 0}, {4, 0}, {0, 4}, {1, 1}, {4, 4}};
  for (int n = 1; n <= 5; ++n) {
    layout.leads(n).x = places[n - 1][0];
    layout.leads(n).y = places[n - 1][1];
    layout.leads(n).listed = true;
  }
  layout.leads(5).bad = true;  // the triangle's far corner is left out
  LeadValues values;
  values(1) = 1;
  values(2) = 2;
  values(3) = 3;
  values(4) = 1.5;
  values(5) = 1000;
  const SampledField field = sample_field(layout, values, 5, 5);
  EXPECT_NEAR(field.at(0, 0), 1, 1e-9);
  EXPECT_NEAR(field.at(4, 0), 2, 1e-9);
  EXPECT_FALSE(std::isnan(field.at(2, 2))) << "on the hull's border, between leads 2 and 3";
  EXPECT_TRUE(std::isnan(field.at(4, 4)));
  EXPECT_TRUE(std::isnan(field.at(3, 2)));
}

// A point just beyond any one edge is outside, the closing edge included
// (from the last corner back to the first).
TEST(Hull, EveryEdgeBoundsTheInside) {
  // An irregular quadrilateral, y downward.
  const std::vector<MapPoint> hull = convex_hull({{0, 0}, {6, 1}, {5, 5}, {1, 4}});
  ASSERT_EQ(hull.size(), 4u);
  struct Row {
    const char* label;
    MapPoint p;
    bool inside;
  };
  const Row rows[] = {
      {"middle", {3, 2.5}, true},
      {"beyond the top edge", {3, 0.2}, false},
      {"beyond the right edge", {5.8, 3}, false},
      {"beyond the bottom edge", {3, 4.8}, false},
      {"beyond the left edge", {0.2, 2.5}, false},
      {"on a corner", {6, 1}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(inside_hull(hull, row.p, 1e-9), row.inside);
  }
  // Whichever edge the hull closes with, each must count.
  for (std::size_t start = 0; start < hull.size(); ++start) {
    std::vector<MapPoint> turned(hull.begin() + start, hull.end());
    turned.insert(turned.end(), hull.begin(), hull.begin() + start);
    for (const Row& row : rows) EXPECT_EQ(inside_hull(turned, row.p, 1e-9), row.inside);
  }
}

// One cell with the high corners on a diagonal: the cell's mean decides
// which corners the two line pieces cut off.
TEST(Isolines, SaddleCellJoinsTheEndsTheMeanChooses) {
  struct Row {
    const char* label;
    float top_left, top_right, bottom_right, bottom_left;
    // The corners cut off, each by one piece: (x, y) of the corner.
    MapPoint cut[2];
  };
  const Row rows[] = {
      {"mean above: the low corners are cut off", 3, -1, 3, -1, {{1, 0}, {0, 1}}},
      {"mean below: the high corners are cut off", 1, -3, 1, -3, {{0, 0}, {1, 1}}},
      {"other diagonal, mean above", -1, 3, -1, 3, {{0, 0}, {1, 1}}},
      {"one strong corner lifts the mean", 5, -1, 1, -1, {{1, 0}, {0, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SampledField field;
    field.columns = field.rows = 2;
    field.dx = field.dy = 1;
    field.values = {row.top_left, row.top_right, row.bottom_left, row.bottom_right};
    const std::vector<Isoline> lines = trace_isolines(field, 0);
    ASSERT_EQ(lines.size(), 2u);
    for (const Isoline& line : lines) {
      ASSERT_EQ(line.points.size(), 2u);
      // Both ends of a piece lie half a cell from the corner it cuts off.
      const MapPoint middle{(line.points[0].x + line.points[1].x) / 2,
                            (line.points[0].y + line.points[1].y) / 2};
      const bool near_one = std::hypot(middle.x - row.cut[0].x, middle.y - row.cut[0].y) < 0.5 ||
                            std::hypot(middle.x - row.cut[1].x, middle.y - row.cut[1].y) < 0.5;
      EXPECT_TRUE(near_one) << "piece from " << line.points[0].x << "," << line.points[0].y
                            << " to " << line.points[1].x << "," << line.points[1].y;
    }
  }
}

}  // namespace
}  // namespace ba

#pragma once
// Plane geometry of the map, in layout units.

#include <vector>

namespace ba {

struct MapPoint {
  double x = 0;
  double y = 0;
  bool operator==(const MapPoint&) const = default;
};

// The convex hull, counter-clockwise in a y-up sense, without collinear
// points; fewer than 3 points when the points lie on one line.
std::vector<MapPoint> convex_hull(std::vector<MapPoint> points);
double hull_area(const std::vector<MapPoint>& hull);
// Inside or on the border, with a tolerance of `slack` layout units.
bool inside_hull(const std::vector<MapPoint>& hull, MapPoint p, double slack);

}  // namespace ba

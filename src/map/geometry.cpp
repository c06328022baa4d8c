#include "map/geometry.h"

#include <algorithm>
#include <cmath>

namespace ba {

namespace {

double cross(MapPoint o, MapPoint a, MapPoint b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

}  // namespace

// Andrew's monotone chain.
std::vector<MapPoint> convex_hull(std::vector<MapPoint> points) {
  std::sort(points.begin(), points.end(),
            [](MapPoint a, MapPoint b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (points.size() < 3) return points;
  std::vector<MapPoint> hull(2 * points.size());
  std::size_t k = 0;
  for (const MapPoint& p : points) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], p) <= 0) --k;
    hull[k++] = p;
  }
  for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return hull;
}

double hull_area(const std::vector<MapPoint>& hull) {
  if (hull.size() < 3) return 0;
  double twice = 0;
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const MapPoint& a = hull[i];
    const MapPoint& b = hull[(i + 1) % hull.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return std::abs(twice) / 2;
}

bool inside_hull(const std::vector<MapPoint>& hull, MapPoint p, double slack) {
  if (hull.size() < 3) return false;
  for (std::size_t i = 0; i < hull.size(); ++i) {
    const MapPoint& a = hull[i];
    const MapPoint& b = hull[(i + 1) % hull.size()];
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    // Distance to the left of the edge a -> b; the inside lies to the left.
    if (cross(a, b, p) / length < -slack) return false;
  }
  return true;
}

}  // namespace ba

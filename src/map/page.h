#pragma once
// What one map picture shows: its title, the maps (one, or a sheet of one
// per beat), and the colour scale and isoline step they share.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "map/layout.h"
#include "map/values.h"

namespace ba {

enum class MapKind { mean, sd, beat, sheet };

struct MapFrame {
  std::string caption;  // above a small map of the sheet; empty for a single map
  LeadValues values;
};

struct MapPage {
  std::string title;
  std::string unit;  // named in the colour bar
  LeadLayout layout;
  std::vector<MapFrame> frames;
  bool sheet = false;          // small maps side by side, each with its caption
  double limit = 1;            // the colour scale runs from -limit to +limit
  std::optional<double> step;  // isoline step; nothing when every value is equal
};

struct MapRequest {
  MapKind kind = MapKind::mean;
  int beat = 1;      // 1-based, for MapKind::beat
  double scale = 1;  // every value is multiplied by it
  std::string unit = "AQRST";
};

// The page for the beats of a result file; `beats` must not be empty and,
// for one beat, hold request.beat.
MapPage make_page(const std::vector<ResultBeat>& beats, const LeadLayout& layout,
                  const MapRequest& request);

// A value as the map labels it: as many decimals as the isoline step needs.
std::string format_value(double value, std::optional<double> step);

// The diverging colour scale: blue below zero, near white at zero, red above;
// `value` is clamped to -limit..limit. Red in the lowest byte (runtime rgb()).
std::uint32_t scale_colour(double value, double limit);

}  // namespace ba

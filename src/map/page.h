#pragma once
// What one map picture shows: its title, the maps (one, or a sheet of one
// per beat), and the colour scale and isoline step they share.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "map/layout.h"
#include "map/values.h"

namespace ba {

enum class MapKind { mean, sd, beat, sheet, departure, difference };

// Diverging: -limit..+limit around a white zero. Sequential: 0..limit, for
// values that cannot be negative (a standard deviation).
enum class ColourScale { diverging, sequential };

// The words of a picture in the reader's language: given an English phrase
// (with %1, %2... where values go), its translation. Empty: English.
using Wording = std::function<std::string(const char* english)>;
// `phrase` through `wording`, then %1, %2... replaced by `values`.
std::string worded(const Wording& wording, const char* phrase,
                   const std::vector<std::string>& values = {});

struct MapFrame {
  std::string caption;  // above a small map of the sheet; empty for a single map
  LeadValues values;
};

struct MapPage {
  MapKind kind = MapKind::mean;
  std::string title;
  std::string unit;  // named in the colour bar
  LeadLayout layout;
  std::vector<MapFrame> frames;
  bool sheet = false;  // small maps side by side, each with its caption
  ColourScale scale = ColourScale::diverging;
  double limit = 1;                        // the far end(s) of the colour scale
  std::optional<double> bottom;            // a sequential scale's low end when not 0 (times in ms)
  std::optional<double> step;              // isoline step; nothing when every value is equal
  std::vector<double> heavy_levels = {0};  // isolines drawn heavier
};

struct MapRequest {
  MapKind kind = MapKind::mean;  // mean, sd, beat or sheet
  int beat = 1;                  // 1-based in R-time order, for MapKind::beat
  double scale = 1;              // every value is multiplied by it
  std::string unit = "AQRST";
  // The sheet shows at most this many beats, the earliest (0: every beat).
  std::size_t most_frames = 0;
};

// The page for the beats of a result file, taken in the order of their R
// times. `beats` must not be empty and, for one beat, hold request.beat. A
// standard deviation of one beat has no frame: its title says it needs two.
MapPage make_page(const std::vector<ResultBeat>& beats, const LeadLayout& layout,
                  const MapRequest& request, const Wording& wording = {});

// The mean map of `beats` less that of `other`, named by the two files.
MapPage make_difference_page(const std::vector<ResultBeat>& beats,
                             const std::vector<ResultBeat>& other, const std::string& name,
                             const std::string& other_name, const LeadLayout& layout,
                             const MapRequest& request, const Wording& wording = {});

// Per lead the departure of a map from a reference group in standard
// deviations (z); a lead without one is left out of the map and drawn hollow.
using LeadDepartures = Array1<std::optional<double>, lead_point_count>;
inline constexpr double departure_reach = 4;  // the scale spans -4..+4 SD
// The departure map on a fixed scale, isolines every 1 SD, the +-2 SD lines
// heavier. Refused (the reason returned) when fewer than 4 leads that do not
// lie on one line have a value.
std::variant<MapPage, std::string> make_departure_page(const LeadDepartures& z,
                                                       const LeadLayout& layout,
                                                       const Wording& wording = {});

// The isoline step and colour limit for values within low..high: the step
// from isoline_step, the limit the smallest whole number of steps that
// reaches the larger magnitude (a sequential scale starts at 0).
struct MapScale {
  double limit = 1;
  std::optional<double> step;
};
MapScale fitted_scale(double low, double high, ColourScale scale);

// A value as the map labels it: as many decimals as the isoline step needs.
std::string format_value(double value, std::optional<double> step);

// The diverging colour scale: blue below zero, near white at zero, red above;
// `value` is clamped to -limit..limit. Red in the lowest byte (runtime rgb()).
std::uint32_t scale_colour(double value, double limit);
// The sequential scale: near white at 0 deepening to dark red at `limit`.
std::uint32_t sequential_colour(double value, double limit);
// The colour of `value` on the page's own scale.
std::uint32_t page_colour(const MapPage& page, double value);
// The value at the bottom of the page's colour scale.
double scale_bottom(const MapPage& page);

}  // namespace ba

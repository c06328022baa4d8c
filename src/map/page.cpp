#include "map/page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "runtime/platform.h"

namespace ba {

namespace {

std::string seconds(std::int32_t r_ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", r_ms / 1000.0);
  return text;
}

std::string beats_phrase(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " beat" : " beats");
}

std::vector<MapFrame> frames_for(const std::vector<ResultBeat>& beats, const MapRequest& request) {
  switch (request.kind) {
    case MapKind::mean:
      return {{"", mean_values(beats, request.scale)}};
    case MapKind::sd:
      return {{"", sd_values(beats, request.scale)}};
    case MapKind::beat:
      return {{"", beat_values(beats.at(request.beat - 1), request.scale)}};
    case MapKind::sheet:
      break;
  }
  std::vector<MapFrame> frames;
  for (std::size_t b = 0; b < beats.size(); ++b)
    frames.push_back({std::to_string(b + 1) + "  " + seconds(beats[b].r_ms),
                      beat_values(beats[b], request.scale)});
  return frames;
}

std::string title_for(const std::vector<ResultBeat>& beats, const MapRequest& request) {
  switch (request.kind) {
    case MapKind::mean:
      return "QRST integral map: mean of " + beats_phrase(beats.size());
    case MapKind::sd:
      return "QRST integral map: standard deviation over " + beats_phrase(beats.size());
    case MapKind::beat:
      return "QRST integral map: beat " + std::to_string(request.beat) + " of " +
             std::to_string(beats.size()) + ", R at " + seconds(beats.at(request.beat - 1).r_ms);
    case MapKind::sheet:
      break;
  }
  return "QRST integral maps of " + beats_phrase(beats.size()) + " in time order";
}

}  // namespace

MapPage make_page(const std::vector<ResultBeat>& beats, const LeadLayout& layout,
                  const MapRequest& request) {
  MapPage page;
  page.title = title_for(beats, request);
  page.unit = request.unit;
  page.layout = layout;
  page.frames = frames_for(beats, request);
  page.sheet = request.kind == MapKind::sheet;
  double low = 0, high = 0;
  bool first = true;
  for (const MapFrame& frame : page.frames)
    for (int n = 1; n <= lead_point_count; ++n) {
      if (!layout.leads(n).usable()) continue;
      const double v = frame.values(n);
      low = first ? v : std::min(low, v);
      high = first ? v : std::max(high, v);
      first = false;
    }
  page.step = isoline_step(low, high);
  const double reach = std::max(std::abs(low), std::abs(high));
  // The scale ends on a whole number of steps so that its labels are round.
  if (page.step)
    page.limit = std::max(1.0, std::ceil(reach / *page.step - 1e-9)) * *page.step;
  else
    page.limit = reach > 0 ? reach : 1;
  return page;
}

std::string format_value(double value, std::optional<double> step) {
  int decimals = 0;
  if (step && *step < 1) decimals = static_cast<int>(std::ceil(-std::log10(*step) - 1e-9));
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;  // no "-0"
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::uint32_t scale_colour(double value, double limit) {
  // A diverging ramp from dark blue through near white to dark red, stops
  // evenly spaced over -1..1; lightness falls evenly on both sides.
  static constexpr std::array<std::array<int, 3>, 11> stops = {{{5, 48, 97},
                                                                {33, 102, 172},
                                                                {67, 147, 195},
                                                                {146, 197, 222},
                                                                {209, 229, 240},
                                                                {247, 247, 247},
                                                                {253, 219, 199},
                                                                {244, 165, 130},
                                                                {214, 96, 77},
                                                                {178, 24, 43},
                                                                {103, 0, 31}}};
  double t = limit > 0 ? value / limit : 0;
  if (!(t >= -1)) t = -1;  // NaN too
  if (t > 1) t = 1;
  const double position = (t + 1) / 2 * (stops.size() - 1);
  const std::size_t below =
      std::min<std::size_t>(static_cast<std::size_t>(position), stops.size() - 2);
  const double f = position - below;
  int c[3];
  for (int k = 0; k < 3; ++k)
    c[k] = static_cast<int>(
        std::lround(stops[below][k] + f * (stops[below + 1][k] - stops[below][k])));
  return rgb(c[0], c[1], c[2]);
}

}  // namespace ba

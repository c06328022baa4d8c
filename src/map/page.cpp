#include "map/page.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "map/field.h"
#include "runtime/platform.h"

namespace ba {

std::string worded(const Wording& wording, const char* phrase,
                   const std::vector<std::string>& values) {
  std::string text = wording ? wording(phrase) : std::string(phrase);
  // From the highest number down, so that %1 never eats the start of %10.
  for (std::size_t k = values.size(); k-- > 0;) {
    const std::string mark = "%" + std::to_string(k + 1);
    for (std::size_t at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + values[k].size()))
      text.replace(at, mark.size(), values[k]);
  }
  return text;
}

namespace {

// The beats in the order of their R times (the file's order among equals).
std::vector<ResultBeat> in_time_order(const std::vector<ResultBeat>& beats) {
  std::vector<ResultBeat> sorted = beats;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const ResultBeat& a, const ResultBeat& b) { return a.r_ms < b.r_ms; });
  return sorted;
}

std::string count_text(std::size_t count) { return std::to_string(count); }

std::vector<MapFrame> sheet_frames(const std::vector<ResultBeat>& sorted, const MapRequest& request,
                                   const Wording& wording) {
  std::size_t shown = sorted.size();
  if (request.most_frames > 0) shown = std::min(shown, request.most_frames);
  std::vector<MapFrame> frames;
  frames.reserve(shown);
  for (std::size_t b = 0; b < shown; ++b)
    frames.push_back(
        {worded(wording, "%1  R %2 ms", {std::to_string(b + 1), std::to_string(sorted[b].r_ms)}),
         beat_values(sorted[b], request.scale)});
  return frames;
}

std::string sheet_title(std::size_t shown, std::size_t count, const Wording& wording) {
  if (shown < count)
    return worded(wording, "QRST integral maps of the first %1 of %2 beats in time order",
                  {count_text(shown), count_text(count)});
  return worded(wording, "QRST integral maps of %1 beats in time order", {count_text(count)});
}

// The isoline step and the colour limit from the values of the usable leads
// of every frame: the limit ends on a whole number of steps, so that the
// scale's labels are round, and never below the largest value.
void fit_scale(MapPage& page) {
  double low = 0, high = 0;
  bool first = true;
  for (const MapFrame& frame : page.frames)
    for (int n = 1; n <= lead_point_count; ++n) {
      if (!page.layout.leads(n).usable()) continue;
      const double v = frame.values(n);
      low = first ? v : std::min(low, v);
      high = first ? v : std::max(high, v);
      first = false;
    }
  const MapScale fitted = fitted_scale(low, high, page.scale);
  page.step = fitted.step;
  page.limit = fitted.limit;
}

}  // namespace

MapScale fitted_scale(double low, double high, ColourScale scale) {
  if (scale == ColourScale::sequential) low = 0;
  MapScale fitted;
  fitted.step = isoline_step(low, high);
  const double reach = std::max(std::abs(low), std::abs(high));
  if (fitted.step)
    fitted.limit = std::max(1.0, std::ceil(reach / *fitted.step - 1e-9)) * *fitted.step;
  else
    fitted.limit = reach > 0 ? reach : 1;
  return fitted;
}

MapPage make_page(const std::vector<ResultBeat>& beats, const LeadLayout& layout,
                  const MapRequest& request, const Wording& wording) {
  MapPage page;
  page.kind = request.kind;
  page.unit = request.unit;
  page.layout = layout;
  const std::string count = count_text(beats.size());
  switch (request.kind) {
    case MapKind::sd:
      page.scale = ColourScale::sequential;
      page.heavy_levels.clear();
      if (beats.size() < 2) {
        page.title =
            worded(wording, "QRST integral map: a standard deviation needs at least two beats");
        return page;
      }
      page.title = worded(wording, "QRST integral map: standard deviation over %1 beats", {count});
      page.frames = {{"", sd_values(beats, request.scale)}};
      break;
    case MapKind::beat: {
      const std::vector<ResultBeat> sorted = in_time_order(beats);
      const ResultBeat& beat = sorted.at(request.beat - 1);
      page.title = worded(wording, "QRST integral map: beat %1 of %2, R %3 ms",
                          {std::to_string(request.beat), count, std::to_string(beat.r_ms)});
      page.frames = {{"", beat_values(beat, request.scale)}};
      break;
    }
    case MapKind::sheet:
      page.sheet = true;
      page.frames = sheet_frames(in_time_order(beats), request, wording);
      page.title = sheet_title(page.frames.size(), beats.size(), wording);
      break;
    default:
      page.kind = MapKind::mean;
      page.title = beats.size() == 1
                       ? worded(wording, "QRST integral map: mean of 1 beat")
                       : worded(wording, "QRST integral map: mean of %1 beats", {count});
      page.frames = {{"", mean_values(beats, request.scale)}};
      break;
  }
  fit_scale(page);
  return page;
}

MapPage make_difference_page(const std::vector<ResultBeat>& beats,
                             const std::vector<ResultBeat>& other, const std::string& name,
                             const std::string& other_name, const LeadLayout& layout,
                             const MapRequest& request, const Wording& wording) {
  MapPage page;
  page.kind = MapKind::difference;
  page.unit = request.unit;
  page.layout = layout;
  page.title = worded(wording, "QRST integral map: mean of %1 less mean of %2", {name, other_name});
  const LeadValues minuend = mean_values(beats, request.scale);
  const LeadValues subtrahend = mean_values(other, request.scale);
  LeadValues difference;
  for (int n = 1; n <= lead_point_count; ++n) difference(n) = minuend(n) - subtrahend(n);
  page.frames = {{"", difference}};
  fit_scale(page);
  return page;
}

std::variant<MapPage, std::string> make_departure_page(const LeadDepartures& z,
                                                       const LeadLayout& layout,
                                                       const Wording& wording) {
  MapPage page;
  page.kind = MapKind::departure;
  page.unit = "SD";
  page.layout = layout;
  LeadValues values;
  int usable = 0;
  for (int n = 1; n <= lead_point_count; ++n) {
    Electrode& e = page.layout.leads(n);
    if (!z(n) || !std::isfinite(*z(n))) {
      // Left out and drawn hollow; the bicubic grid would read it as z = 0.
      if (e.usable()) page.layout.regular_grid = false;
      e.bad = true;
    } else
      values(n) = *z(n);
    usable += e.usable();
  }
  if (usable < 4 || hull_area(usable_hull(page.layout)) <= 0)
    return std::string(
        "a departure map needs at least 4 leads with a value that do not lie on "
        "one line");
  page.title = worded(wording, "QRST integral map: departure from the reference group");
  page.frames = {{"", values}};
  page.limit = departure_reach;
  page.step = 1;
  page.heavy_levels = {-2, 2};
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

namespace {

using Stop = std::array<int, 3>;

// A diverging ramp from dark blue through near white to dark red, stops
// evenly spaced over -1..1; lightness falls evenly on both sides.
constexpr std::array<Stop, 11> diverging_stops = {{{5, 48, 97},
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

// `t` in 0..1 along `stops`, linear between neighbours.
template <std::size_t N>
std::uint32_t along(const std::array<Stop, N>& stops, double t) {
  const double position = t * (N - 1);
  const std::size_t below = std::min<std::size_t>(static_cast<std::size_t>(position), N - 2);
  const double f = position - below;
  int c[3];
  for (int k = 0; k < 3; ++k)
    c[k] = static_cast<int>(
        std::lround(stops[below][k] + f * (stops[below + 1][k] - stops[below][k])));
  return rgb(c[0], c[1], c[2]);
}

// -1..1, NaN to -1.
double clamped(double t) {
  if (!(t >= -1)) return -1;
  return std::min(t, 1.0);
}

}  // namespace

std::uint32_t scale_colour(double value, double limit) {
  const double t = clamped(limit > 0 ? value / limit : 0);
  return along(diverging_stops, (t + 1) / 2);
}

std::uint32_t sequential_colour(double value, double limit) {
  // The red half of the diverging ramp: the same white at 0.
  static constexpr std::array<Stop, 6> stops = {{diverging_stops[5], diverging_stops[6],
                                                 diverging_stops[7], diverging_stops[8],
                                                 diverging_stops[9], diverging_stops[10]}};
  const double t = std::max(0.0, clamped(limit > 0 ? value / limit : 0));
  return along(stops, t);
}

std::uint32_t page_colour(const MapPage& page, double value) {
  const double bottom = page.bottom.value_or(0);
  return page.scale == ColourScale::sequential
             ? sequential_colour(value - bottom, page.limit - bottom)
             : scale_colour(value, page.limit);
}

double scale_bottom(const MapPage& page) {
  return page.scale == ColourScale::sequential ? page.bottom.value_or(0) : -page.limit;
}

}  // namespace ba

#include "display/plot.h"

#include <cmath>
#include <limits>

#include "runtime/platform.h"

namespace ba {

namespace {

constexpr double columns_per_unit = 1000.0;  // pixels per window unit across
constexpr double rows_per_unit = 300.0;      // pixels per window unit down
constexpr double wave_units_per_row = 32.0;  // recorder units per strip pixel
constexpr int wave_segments = 100;
constexpr float clip_low = 0.001f;   // window units, just below the top edge
constexpr float clip_high = 0.999f;  // just above the bottom edge

constexpr std::uint32_t gpl_colour = rgb(0, 0, 240);        // blue
constexpr std::uint32_t gpl2_colour = rgb(0, 255, 255);     // cyan
constexpr std::uint32_t gpl3_colour = rgb(255, 0, 0);       // red
constexpr std::uint32_t wavewrite_colour = rgb(0, 0, 208);  // dark blue

// Truncates toward zero and takes the result as a 16-bit pixel, wrapping
// like a 16-bit store; values beyond the 32-bit range (never produced by
// the program) saturate first so the conversion is always defined.
std::int16_t to_pixel(double scaled) {
  if (std::isnan(scaled)) return 0;
  constexpr double low = std::numeric_limits<std::int32_t>::min();
  constexpr double high = std::numeric_limits<std::int32_t>::max();
  const double truncated = std::trunc(std::fmin(std::fmax(scaled, low), high));
  return static_cast<std::int16_t>(static_cast<std::int32_t>(truncated));
}

void polyline(Platform& platform, std::uint32_t colour, std::int16_t n, const float* x,
              const float* y) {
  platform.set_colour_rgb(colour);
  if (n < 1) return;
  // x and y are the first n entries of 1-based point buffers.
  platform.move_to(pixel_column(x[0]), pixel_row(y[0]));
  for (int j = 1; j <= n; ++j) platform.line_to(pixel_column(x[j - 1]), pixel_row(y[j - 1]));
}

}  // namespace

void set_display_geometry(std::int32_t span_len, float amp_max, DisplayGeometry& g) {
  g.plot_x0 = 0.0f;
  g.plot_y0 = 0.1f;
  g.plot_x1 = 0.6f;
  g.plot_y1 = 0.9f;
  g.plot_ymid = static_cast<float>((static_cast<double>(g.plot_y1) + g.plot_y0) / 2.0);
  g.marker_y(1) = g.plot_y0;
  g.marker_y(2) = g.plot_y1;
  g.x_scale = static_cast<float>((static_cast<double>(g.plot_x1) - g.plot_x0) / span_len);
  g.y_scale = static_cast<float>((static_cast<double>(g.plot_y1) - g.plot_y0) /
                                 (static_cast<double>(amp_max) * 2.0));
  g.marker_n = 2;
  g.beat_trace_n = beat_trace_points;
}

float trace_y(const DisplayGeometry& g, float value) {
  float y = static_cast<float>(static_cast<double>(g.y_scale) * value + g.plot_ymid);
  if (y <= 0.0f) y = clip_low;
  if (y >= 1.0f) y = clip_high;
  return y;
}

// The product is formed in double: in single precision 300 x 0.9 would round
// up to 270 instead of landing on row 269.
std::int16_t pixel_column(float x) { return to_pixel(columns_per_unit * x); }
std::int16_t pixel_row(float y) { return to_pixel(rows_per_unit * y); }

void GPL(Platform& platform, std::int16_t n, const float* x, const float* y) {
  polyline(platform, gpl_colour, n, x, y);
}

void GPL2(Platform& platform, std::int16_t n, const float* x, const float* y) {
  polyline(platform, gpl2_colour, n, x, y);
}

void GPL3(Platform& platform, std::int16_t n, const float* x, const float* y) {
  polyline(platform, gpl3_colour, n, x, y);
}

void WAVEWRITE(Platform& platform, std::int16_t x0, std::int16_t y0, const std::int16_t* w,
               std::int16_t dx) {
  platform.set_colour_rgb(wavewrite_colour);
  PABS(platform, x0, y0);
  // w holds the strip's samples 1..100 as its first 100 entries.
  for (int j = 1; j <= wave_segments; ++j) {
    const auto column = static_cast<std::int16_t>(x0 + dx * j);
    const auto row = static_cast<std::int16_t>(y0 + to_pixel(-w[j - 1] / wave_units_per_row));
    PABSD(platform, column, row);
  }
}

void PABS(Platform& platform, std::int16_t x, std::int16_t y) { platform.move_to(x, y); }

void PABSD(Platform& platform, std::int16_t x, std::int16_t y) { platform.line_to(x, y); }

void draw_marker(Platform& platform, DisplayGeometry& geometry, float x, bool red) {
  geometry.marker_x(1) = x;
  geometry.marker_x(2) = x;
  if (red)
    GPL3(platform, geometry.marker_n, geometry.marker_x.data(), geometry.marker_y.data());
  else
    GPL2(platform, geometry.marker_n, geometry.marker_x.data(), geometry.marker_y.data());
}

}  // namespace ba

#pragma once
// Trace plotting. Callers work in window units, a pair of single-precision
// reals: column = trunc(1000 x), row = trunc(300 y), each taken as a signed
// 16-bit pixel value. The trace area spans x 0..0.6 and y 0.1..0.9 with the
// zero line at 0.5; positive sample values are drawn below it.

#include <cstdint>

#include "runtime/one_based.h"

namespace ba {

class Platform;

inline constexpr int plot_point_room = 4000;
inline constexpr int beat_trace_points = 1000;

struct DisplayGeometry {
  float plot_x0 = 0.0f;       // left edge of the trace area (column 0)
  float plot_y0 = 0.1f;       // upper limit line (row 30)
  float plot_x1 = 0.6f;       // right edge of the trace area (column 600)
  float plot_y1 = 0.9f;       // lower limit line (row 269)
  float plot_ymid = 0.5f;     // zero line of every trace (row 150)
  Array1<float, 2> marker_y;  // (plot_y0, plot_y1)
  float x_scale = 0.0f;       // window units per preview sample
  float y_scale = 0.0f;       // window units per recorder unit
  std::int16_t marker_n = 2;
  std::int16_t beat_trace_n = beat_trace_points;
  Array1<float, plot_point_room> plot_x;  // window units
  Array1<float, plot_point_room> plot_y;
  Array1<float, 2> marker_x;
  float marker_pos = 0.0f;
};

// Sets the geometry after the preview: x_scale from span_len (4,000), y_scale
// from amp_max.
void set_display_geometry(std::int32_t span_len, float amp_max, DisplayGeometry& geometry);

// Window-unit y of a sample value: y_scale per unit below the zero line
// plot_ymid, kept inside the window (at or below 0.0 it becomes 0.001, then at
// or above 1.0 it becomes 0.999), so a large deflection runs flat along an edge.
float trace_y(const DisplayGeometry& geometry, float value);

// Pixel of a window-unit coordinate.
std::int16_t pixel_column(float x);
std::int16_t pixel_row(float y);

// Polylines through n points (window units): blue, cyan, red.
void GPL(Platform& platform, std::int16_t n, const float* x, const float* y);
void GPL2(Platform& platform, std::int16_t n, const float* x, const float* y);
void GPL3(Platform& platform, std::int16_t n, const float* x, const float* y);
// 100 segments from (x0, y0): column x0 + dx j, row y0 + trunc(-w(j) / 32.0);
// dark blue. Positive samples go up.
void WAVEWRITE(Platform& platform, std::int16_t x0, std::int16_t y0, const std::int16_t* w,
               std::int16_t dx);
void PABS(Platform& platform, std::int16_t x, std::int16_t y);
void PABSD(Platform& platform, std::int16_t x, std::int16_t y);

// Draws a vertical marker line at window-unit x with GPL2 (cyan) or GPL3 (red).
void draw_marker(Platform& platform, DisplayGeometry& geometry, float x, bool red = false);

}  // namespace ba

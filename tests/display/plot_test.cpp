// Trace plotting: pixels of window units, colours of the plotters, the
// strip drawer and the marker lines.
#include "display/plot.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/fake_platform.h"

namespace ba {
namespace {

using test::FakePlatform;
using test::Segment;

constexpr std::uint32_t blue = rgb(0, 0, 240);
constexpr std::uint32_t cyan = rgb(0, 255, 255);
constexpr std::uint32_t red = rgb(255, 0, 0);
constexpr std::uint32_t dark_blue = rgb(0, 0, 208);

// The ends of a segment: x1, y1, x2, y2 in pixels.
std::array<int, 4> ends(const Segment& s) { return {s.x1, s.y1, s.x2, s.y2}; }

TEST(Pixels, OfWindowUnits) {
  struct Row {
    const char* label;
    std::int16_t (*pixel)(float);
    float units;
    int pixel_value;
  };
  const Row rows[] = {
      {"row: 0.9 lies just below its decimal value in single precision", pixel_row, 0.9f, 269},
      {"row of the upper limit line", pixel_row, 0.1f, 30},
      {"row of the zero line", pixel_row, 0.5f, 150},
      {"row of the upper clip", pixel_row, 0.001f, 0},
      {"row of the lower clip", pixel_row, 0.999f, 299},
      {"row 0", pixel_row, 0.0f, 0},
      {"column of the trace area's right edge", pixel_column, 0.6f, 600},
      {"column 0", pixel_column, 0.0f, 0},
      {"column 300", pixel_column, 0.3f, 300},
      {"column: 0.12 lies just below its decimal value, like 0.9", pixel_column, 0.12f, 119},
      {"column truncated toward zero", pixel_column, -0.0015f, -1},
      // Far outside the window the pixel stays defined.
      {"largest 16-bit column", pixel_column, 32.7675f, 32767},
      {"wraps like a 16-bit store", pixel_column, 32.768f, -32768},
      {"saturated, then taken as 16 bits", pixel_column, 1.0e12f, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(row.pixel(row.units), row.pixel_value);
  }
}

TEST(Geometry, PreviewScaleAndMarkerColumns) {
  DisplayGeometry g;
  set_display_geometry(4000, 960.0f, g);
  EXPECT_EQ(g.plot_ymid, 0.5f);
  EXPECT_EQ(g.marker_y(1), 0.1f);
  EXPECT_EQ(g.marker_y(2), 0.9f);
  EXPECT_FLOAT_EQ(g.x_scale, 0.6f / 4000);
  EXPECT_FLOAT_EQ(g.y_scale, 0.8f / 1920);
  // A marker for sample p sits at p x x_scale: sample 4,000 is column 600.
  const auto column_of = [&](int p) {
    return pixel_column(static_cast<float>(static_cast<double>(p) * g.x_scale + g.plot_x0));
  };
  EXPECT_EQ(column_of(4000), 600);
  EXPECT_EQ(column_of(100), 15);
  EXPECT_EQ(column_of(3900), 585);
  EXPECT_EQ(column_of(31900), 4785);  // the rightmost marker after v or c
}

TEST(Plotters, EachDrawsItsPolylineInItsColour) {
  const float x[] = {0.1f, 0.2f, 0.3f};
  const float y[] = {0.5f, 0.9f, 0.1f};
  struct Row {
    const char* label;
    void (*plot)(Platform&, std::int16_t, const float*, const float*);
    std::uint32_t colour;
    std::int16_t n;
    std::vector<std::array<int, 4>> segments;
  };
  // The first segment has zero length: move to point 1, then line to it.
  const std::vector<std::array<int, 4>> three = {
      {100, 150, 100, 150}, {100, 150, 200, 269}, {200, 269, 300, 30}};
  const Row rows[] = {
      {"GPL blue", GPL, blue, 3, three},
      {"GPL2 cyan", GPL2, cyan, 3, three},
      {"GPL3 red", GPL3, red, 3, three},
      {"one point is one zero-length line", GPL, blue, 1, {{100, 150, 100, 150}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    FakePlatform platform;
    row.plot(platform, row.n, x, y);
    std::vector<std::array<int, 4>> drawn;
    for (const Segment& s : platform.segments) {
      EXPECT_EQ(s.colour, row.colour);
      drawn.push_back(ends(s));
    }
    EXPECT_EQ(drawn, row.segments);
  }
}

TEST(Plotters, ColourStaysAfterwards) {
  FakePlatform platform;
  const float x[] = {0.1f, 0.1f}, y[] = {0.1f, 0.9f};
  GPL3(platform, 2, x, y);
  PABS(platform, 5, 6);
  PABSD(platform, 7, 8);
  EXPECT_EQ(platform.segments.back().colour, red);
  EXPECT_EQ(ends(platform.segments.back()), (std::array<int, 4>{5, 6, 7, 8}));
}

TEST(Wavewrite, StripOf100StepsRisingForPositiveSamples) {
  FakePlatform platform;
  std::vector<std::int16_t> w(100, 0);
  w[0] = -1800;
  w[1] = 1800;
  w[2] = 31;   // less than one pixel
  w[3] = -33;  // truncated toward zero: one pixel down
  w[99] = 64;
  WAVEWRITE(platform, 50, 80, w.data(), 1);
  ASSERT_EQ(platform.segments.size(), 100u);
  EXPECT_EQ(ends(platform.segments[0]), (std::array<int, 4>{50, 80, 51, 136}));
  EXPECT_EQ(platform.segments[1].y2, 80 - 56);
  EXPECT_EQ(platform.segments[2].y2, 80);
  EXPECT_EQ(platform.segments[3].y2, 81);
  EXPECT_EQ(platform.segments[99].x2, 150);
  EXPECT_EQ(platform.segments[99].y2, 78);
  for (const Segment& s : platform.segments) EXPECT_EQ(s.colour, dark_blue);
}

TEST(Markers, VerticalLineAcrossTheTraceArea) {
  FakePlatform platform;
  DisplayGeometry g;
  set_display_geometry(4000, 100.0f, g);
  draw_marker(platform, g, 0.125f);
  draw_marker(platform, g, 0.3f, true);
  ASSERT_EQ(platform.segments.size(), 4u);
  const Segment& cyan_line = platform.segments[1];
  EXPECT_EQ(cyan_line.colour, cyan);
  EXPECT_EQ(ends(cyan_line), (std::array<int, 4>{125, 30, 125, 269}));
  EXPECT_EQ(platform.segments[3].colour, red);
  EXPECT_EQ(platform.segments[3].x2, 300);
  EXPECT_EQ(g.marker_x(1), 0.3f);
  EXPECT_EQ(g.marker_x(2), 0.3f);
}

}  // namespace
}  // namespace ba

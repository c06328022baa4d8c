// Trace plotting: pixels of window units, colours of the plotters, the
// strip drawer and the marker lines.
#include <gtest/gtest.h>

#include <vector>

#include "display/plot.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

using test::FakePlatform;
using test::Segment;

constexpr std::uint32_t blue = rgb(0, 0, 240);
constexpr std::uint32_t cyan = rgb(0, 255, 255);
constexpr std::uint32_t red = rgb(255, 0, 0);
constexpr std::uint32_t dark_blue = rgb(0, 0, 208);

TEST(Pixels, OfWindowUnits) {
  struct Row {
    float y;
    int row;
  };
  // 0.9 is just below its decimal value in single precision: row 269.
  const Row rows[] = {{0.9f, 269}, {0.1f, 30}, {0.5f, 150}, {0.001f, 0}, {0.999f, 299}, {0.0f, 0}};
  for (const Row& r : rows) EXPECT_EQ(pixel_row(r.y), r.row) << r.y;
  EXPECT_EQ(pixel_column(0.6f), 600);
  EXPECT_EQ(pixel_column(0.0f), 0);
  EXPECT_EQ(pixel_column(0.3f), 300);
  // 0.12 lies just below its decimal value in single precision, like 0.9.
  EXPECT_EQ(pixel_column(0.12f), 119);
  EXPECT_EQ(pixel_column(-0.0015f), -1);  // truncated toward zero
}

TEST(Pixels, FarOutsideTheWindowStayDefined) {
  EXPECT_EQ(pixel_column(32.7675f), 32767);
  EXPECT_EQ(pixel_column(32.768f), -32768);                         // wraps like a 16-bit store
  EXPECT_EQ(pixel_column(1.0e12f), static_cast<std::int16_t>(-1));  // saturated, then 16 bits
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
  const std::vector<float> x = {0.1f, 0.2f, 0.3f};
  const std::vector<float> y = {0.5f, 0.9f, 0.1f};
  struct Row {
    void (*plot)(Platform&, std::int16_t, const float*, const float*);
    std::uint32_t colour;
  };
  for (const Row& row : {Row{GPL, blue}, Row{GPL2, cyan}, Row{GPL3, red}}) {
    FakePlatform platform;
    row.plot(platform, 3, x.data(), y.data());
    // The first segment has zero length: move to point 1, then line to it.
    const std::vector<Segment> expected = {{0, row.colour, 100, 150, 100, 150},
                                           {0, row.colour, 100, 150, 200, 269},
                                           {0, row.colour, 200, 269, 300, 30}};
    ASSERT_EQ(platform.segments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Segment& s = platform.segments[i];
      EXPECT_EQ(s.colour, expected[i].colour);
      EXPECT_EQ((std::vector<int>{s.x1, s.y1, s.x2, s.y2}),
                (std::vector<int>{expected[i].x1, expected[i].y1, expected[i].x2, expected[i].y2}));
    }
  }
}

TEST(Plotters, OnePointIsOneZeroLengthLine) {
  FakePlatform platform;
  const float x = 0.25f, y = 0.5f;
  GPL(platform, 1, &x, &y);
  ASSERT_EQ(platform.segments.size(), 1u);
  EXPECT_EQ(platform.segments[0].x1, 250);
  EXPECT_EQ(platform.segments[0].x2, 250);
  EXPECT_EQ(platform.segments[0].y2, 150);
}

TEST(Plotters, ColourStaysAfterwards) {
  FakePlatform platform;
  const float x[] = {0.1f, 0.1f}, y[] = {0.1f, 0.9f};
  GPL3(platform, 2, x, y);
  PABS(platform, 5, 6);
  PABSD(platform, 7, 8);
  const Segment& s = platform.segments.back();
  EXPECT_EQ(s.colour, red);
  EXPECT_EQ((std::vector<int>{s.x1, s.y1, s.x2, s.y2}), (std::vector<int>{5, 6, 7, 8}));
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
  const Segment& first = platform.segments[0];
  EXPECT_EQ((std::vector<int>{first.x1, first.y1, first.x2, first.y2}),
            (std::vector<int>{50, 80, 51, 136}));
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
  EXPECT_EQ((std::vector<int>{cyan_line.x1, cyan_line.y1, cyan_line.x2, cyan_line.y2}),
            (std::vector<int>{125, 30, 125, 269}));
  EXPECT_EQ(platform.segments[3].colour, red);
  EXPECT_EQ(platform.segments[3].x2, 300);
  EXPECT_EQ(g.marker_x(1), 0.3f);
  EXPECT_EQ(g.marker_x(2), 0.3f);
}

}  // namespace
}  // namespace ba

// Per-lead values, extremes, the isoline step and the colour scale, against
// values worked out by hand.

#include "map/values.h"

#include <gtest/gtest.h>

#include <cmath>

#include "map/page.h"
#include "runtime/platform.h"

namespace ba {
namespace {

ResultBeat beat_with(std::int32_t r_ms, std::int32_t lead5) {
  ResultBeat beat;
  beat.r_ms = r_ms;
  for (int n = 1; n <= lead_point_count; ++n) beat.areas(n) = 100 * n;
  beat.areas(5) = lead5;
  return beat;
}

TEST(LeadValues, MeanAndSampleDeviation) {
  const std::vector<ResultBeat> beats = {beat_with(100, 1), beat_with(900, 2), beat_with(1700, 3),
                                         beat_with(2500, 4)};
  EXPECT_DOUBLE_EQ(mean_values(beats, 1)(5), 2.5);
  EXPECT_DOUBLE_EQ(mean_values(beats, 0.5)(7), 350);
  // Squared deviations 2.25 + 0.25 + 0.25 + 2.25 = 5, over n - 1 = 3.
  EXPECT_NEAR(sd_values(beats, 1)(5), 1.2909944, 1e-6);
  EXPECT_NEAR(sd_values(beats, -2)(5), 2.5819889, 1e-6);
  EXPECT_EQ(sd_values(beats, 1)(7), 0) << "identical beats spread nothing";
  EXPECT_EQ(sd_values({beats[0]}, 1)(5), 0) << "one beat";
  EXPECT_EQ(beat_values(beats[3], 2)(5), 8);
}

TEST(LeadValues, ExtremesOnlyAmongUsableLeads) {
  LeadLayout layout = default_layout();
  LeadValues values;
  for (int n = 1; n <= lead_point_count; ++n) values(n) = n;
  values(10) = -5;
  layout.leads(64).bad = true;
  layout.leads(63).listed = false;
  const LeadExtremes found = lead_extremes(layout, values);
  EXPECT_EQ(found.max_lead, 62);
  EXPECT_EQ(found.max_value, 62);
  EXPECT_EQ(found.min_lead, 10);
  EXPECT_EQ(found.min_value, -5);
}

TEST(IsolineStep, OneTwoFiveGivingEightToFifteenLevels) {
  struct Row {
    const char* label;
    double low, high;
    double step;
    std::size_t levels;
  };
  const Row rows[] = {
      {"symmetric dipole", -10.5, 10.5, 2, 11},  // -10..10
      {"unit range", 0, 1, 0.1, 11},             // 0, 0.1, ... 1
      {"15 levels fit before 8", 0, 0.7, 0.05, 15},
      {"hundreds", -3, 1000, 100, 11},            // 0..1000
      {"none fits: nearest count", 0, 32, 5, 7},  // 0..30; step 2 would give 17
      {"small negative", -0.0042, -0.0001, 0.0005, 8},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto step = isoline_step(row.low, row.high);
    ASSERT_TRUE(step);
    EXPECT_NEAR(*step, row.step, row.step * 1e-9);
    EXPECT_EQ(isoline_levels(row.low, row.high, *step).size(), row.levels);
  }
  EXPECT_FALSE(isoline_step(3, 3)) << "a flat map has no isolines";
}

TEST(ColourScale, DivergesFromNearWhiteAtZero) {
  struct Row {
    const char* label;
    double value, limit;
    std::uint32_t colour;
  };
  const Row rows[] = {
      {"zero", 0, 10, rgb(247, 247, 247)},
      {"top", 10, 10, rgb(103, 0, 31)},
      {"bottom", -10, 10, rgb(5, 48, 97)},
      {"above the top", 25, 10, rgb(103, 0, 31)},
      {"halfway up: between the 8th and 9th stop", 5, 10, rgb(229, 131, 104)},
      {"a fifth down: the 5th stop", -2, 10, rgb(209, 229, 240)},
      {"no range", 3, 0, rgb(247, 247, 247)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(scale_colour(row.value, row.limit), row.colour);
  }
}

TEST(ValueText, DecimalsFollowTheStep) {
  EXPECT_EQ(format_value(1234.4, 200), "1234");
  EXPECT_EQ(format_value(-0.04, 0.1), "0.0");
  EXPECT_EQ(format_value(0.0123, 0.005), "0.012");
  EXPECT_EQ(format_value(-7.6, std::nullopt), "-8");
}

TEST(MapPage, SheetSharesOneScaleEndingOnAStep) {
  const std::vector<ResultBeat> beats = {beat_with(1500, -900), beat_with(2300, 0)};
  MapRequest request;
  request.kind = MapKind::sheet;
  const MapPage page = make_page(beats, default_layout(), request);
  EXPECT_TRUE(page.sheet);
  ASSERT_EQ(page.frames.size(), 2u);
  EXPECT_EQ(page.frames[0].caption, "1  1.500 s");
  EXPECT_EQ(page.title, "QRST integral maps of 2 beats in time order");
  // Values -900..6400: step 500 gives 14 levels (-500..6000); the scale
  // reaches 6400 rounded up to 6500.
  EXPECT_EQ(page.step, 500);
  EXPECT_EQ(page.limit, 6500);
  request.kind = MapKind::beat;
  request.beat = 2;
  EXPECT_EQ(make_page(beats, default_layout(), request).title,
            "QRST integral map: beat 2 of 2, R at 2.300 s");
}

}  // namespace
}  // namespace ba

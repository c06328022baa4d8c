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
  EXPECT_DOUBLE_EQ(mean_values(beats, 1)(1), 100) << "the first lead divided too";
  EXPECT_DOUBLE_EQ(mean_values(beats, 1)(64), 6400) << "the last lead divided too";
  // Squared deviations 2.25 + 0.25 + 0.25 + 2.25 = 5, over n - 1 = 3.
  EXPECT_NEAR(sd_values(beats, 1)(5), 1.2909944, 1e-6);
  EXPECT_NEAR(sd_values(beats, -2)(5), 2.5819889, 1e-6);
  EXPECT_EQ(sd_values(beats, 1)(7), 0) << "identical beats spread nothing";
  EXPECT_EQ(sd_values({beats[0]}, 1)(5), 0) << "one beat";
  // Two beats 1 and 2: squared deviations 0.25 + 0.25 over n - 1 = 1.
  EXPECT_NEAR(sd_values({beats[0], beats[1]}, 1)(5), 0.7071068, 1e-6) << "two beats";
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
  EXPECT_EQ(found.max, 62);
  EXPECT_EQ(found.min_lead, 10);
  EXPECT_EQ(found.min, -5);
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
  EXPECT_EQ(page.frames[0].caption, "1  R 1500 ms");
  EXPECT_EQ(page.title, "QRST integral maps of 2 beats in time order");
  // Values -900..6400: step 500 gives 14 levels (-500..6000); the scale
  // reaches 6400 rounded up to 6500.
  EXPECT_EQ(page.step, 500);
  EXPECT_EQ(page.limit, 6500);
}

// Beats given out of time order: lead 5 holds each beat's place in time.
TEST(MapPage, BeatsCountedInTheOrderOfTheirRTimes) {
  const std::vector<ResultBeat> beats = {beat_with(3000, 3), beat_with(1000, 1),
                                         beat_with(2000, 2)};
  MapRequest request;
  request.kind = MapKind::beat;
  request.beat = 1;
  const MapPage first = make_page(beats, default_layout(), request);
  EXPECT_EQ(first.title, "QRST integral map: beat 1 of 3, R 1000 ms");
  EXPECT_EQ(first.frames.at(0).values(5), 1);
  request.kind = MapKind::sheet;
  request.most_frames = 2;
  const MapPage sheet = make_page(beats, default_layout(), request);
  EXPECT_EQ(sheet.title, "QRST integral maps of the first 2 of 3 beats in time order");
  ASSERT_EQ(sheet.frames.size(), 2u);
  EXPECT_EQ(sheet.frames[0].values(5), 1);
  EXPECT_EQ(sheet.frames[1].values(5), 2);
  EXPECT_EQ(sheet.frames[1].caption, "2  R 2000 ms");
}

TEST(MapPage, ColourScaleOfEachKind) {
  // Leads n * 100 except lead 5; lead 64 (6400) reaches farthest.
  LeadLayout outlier_bad = default_layout();
  outlier_bad.leads(5).bad = true;
  const std::vector<ResultBeat> one = {beat_with(500, -1000000)};
  const std::vector<ResultBeat> two = {beat_with(500, 10), beat_with(900, 30)};
  struct Row {
    const char* label;
    std::vector<ResultBeat> beats;
    LeadLayout layout;
    MapKind kind;
    ColourScale scale;
    double bottom, limit;
  };
  const Row rows[] = {
      // -1e6..6400 gives a step of 100000: the scale ends at 1e6.
      {"an outlier widens the scale", one, default_layout(), MapKind::mean, ColourScale::diverging,
       -1000000, 1000000},
      // 100..6400: step 500, 6400 rounded up.
      {"a bad lead's outlier does not", one, outlier_bad, MapKind::mean, ColourScale::diverging,
       -6500, 6500},
      // Only lead 5 varies: SD 14.142; from 0, step 1 gives 15 levels.
      {"a spread from 0", two, default_layout(), MapKind::sd, ColourScale::sequential, 0, 15},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MapRequest request;
    request.kind = row.kind;
    const MapPage page = make_page(row.beats, row.layout, request);
    EXPECT_EQ(page.scale, row.scale);
    EXPECT_EQ(scale_bottom(page), row.bottom);
    EXPECT_EQ(page.limit, row.limit);
  }
  MapRequest sd;
  sd.kind = MapKind::sd;
  const MapPage lone = make_page(one, default_layout(), sd);
  EXPECT_TRUE(lone.frames.empty());
  EXPECT_EQ(lone.title, "QRST integral map: a standard deviation needs at least two beats");
}

TEST(MapPage, ColourLimitNeverBelowTheLargestValue) {
  // Largest values a hair above a step and just below one.
  for (const std::int32_t top : {6401, 6499, 6500, 7001}) {
    SCOPED_TRACE(top);
    ResultBeat beat = beat_with(100, 0);
    beat.areas(64) = top;
    const MapPage page = make_page({beat}, default_layout(), MapRequest{});
    EXPECT_GE(page.limit, top);
    EXPECT_LT(page.limit, top + *page.step);
  }
}

TEST(MapPage, DifferenceOfTheTwoMeans) {
  const std::vector<ResultBeat> before = {beat_with(100, 10), beat_with(900, 30)};
  const std::vector<ResultBeat> after = {beat_with(100, -40)};
  const MapPage page =
      make_difference_page(before, after, "a.txt", "b.txt", default_layout(), MapRequest{});
  EXPECT_EQ(page.title, "QRST integral map: mean of a.txt less mean of b.txt");
  EXPECT_EQ(page.frames.at(0).values(5), 60);  // 20 - (-40)
  EXPECT_EQ(page.frames.at(0).values(1), 0);
  EXPECT_EQ(page.scale, ColourScale::diverging);
}

TEST(MapPage, DepartureOnAFixedScale) {
  LeadDepartures z;
  for (int n = 1; n <= lead_point_count; ++n) z(n) = (n % 9) - 4.0;
  z(7) = std::nullopt;
  z(8) = 11;  // far beyond the scale: it stays -4..4
  const auto made = make_departure_page(z, default_layout());
  ASSERT_TRUE(std::holds_alternative<MapPage>(made));
  const MapPage& page = std::get<MapPage>(made);
  EXPECT_EQ(page.limit, 4);
  EXPECT_EQ(scale_bottom(page), -4);
  EXPECT_EQ(page.step, 1);
  EXPECT_EQ(page.heavy_levels, (std::vector<double>{-2, 2}));
  EXPECT_TRUE(page.layout.leads(7).listed && page.layout.leads(7).bad) << "drawn hollow";
  EXPECT_EQ(page.frames.at(0).values(8), 11);

  LeadDepartures three, in_a_line;
  for (int n : {1, 2, 9}) three(n) = 1;
  for (int n : {1, 2, 3, 4}) in_a_line(n) = 1;
  EXPECT_TRUE(std::holds_alternative<std::string>(make_departure_page(three, default_layout())));
  EXPECT_TRUE(
      std::holds_alternative<std::string>(make_departure_page(in_a_line, default_layout())));
}

TEST(MapPage, WordsGoThroughTheTranslation) {
  const Wording shouting = [](const char* english) {
    return english == std::string("QRST integral map: mean of %1 beats")
               ? std::string("%1 beats, averaged")
               : std::string(english);
  };
  const std::vector<ResultBeat> beats = {beat_with(1, 0), beat_with(2, 0)};
  EXPECT_EQ(make_page(beats, default_layout(), MapRequest{}, shouting).title, "2 beats, averaged");
  EXPECT_EQ(worded({}, "%2 of %1", {"a", "b"}), "b of a");
}

}  // namespace
}  // namespace ba

// Beat detection: the picking order, its stopping test, blanking and limits,
// on hand-made signals and on the demonstration recording.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "detection/detection.h"
#include "dialogue/conditions.h"
#include "tools/demo_model.h"

namespace ba {
namespace {

struct Detection : ::testing::Test {
  std::unique_ptr<SampleMatrix> matrix = std::make_unique<SampleMatrix>();
  std::unique_ptr<DetectionState> d = std::make_unique<DetectionState>();
  AnalysisConditions conditions;

  // A one-sample spike of `value` on the first displayed lead.
  void spike(int position, std::int16_t value) {
    (*matrix)(conditions.first_lead, position) = value;
  }

  void preview() { detect(*matrix, conditions, preview_span, preview_reference_end, true, *d); }
  void whole(std::int32_t reference_end) {
    detect(*matrix, conditions, max_span, reference_end, false, *d);
  }

  std::vector<int> picks() const {
    std::vector<int> found;
    for (int k = 1; k <= candidate_slots && d->r_positions(k) != 0; ++k)
      found.push_back(d->r_positions(k));
    return found;
  }
};

TEST_F(Detection, WorkedExampleOfOneSpike) {
  spike(1000, 100);
  preview();
  EXPECT_EQ(d->lead_power(1000), 10000.0f);
  EXPECT_EQ(d->amp_max, 100.0f);
  EXPECT_EQ(d->slope_min, -20000.0f);
  // The second pass finds only zeros and picks the earliest; the next test fails.
  EXPECT_EQ(picks(), (std::vector<int>{1001, 100}));
  EXPECT_EQ(d->r_positions(3), 0);
  // Blanked 901..1,201 after the first pick; the rest of the difference stays.
  EXPECT_EQ(d->power_slope(998), 0.0f);
  EXPECT_EQ(d->power_slope(1001), 0.0f);
  sort_candidates(*d);
  EXPECT_EQ(d->beat_positions(1), 1001);
  EXPECT_EQ(d->beat_positions(2), 100);
  EXPECT_EQ(d->beat_positions(3), 0);
  count_candidates(*d);
  EXPECT_EQ(d->n_candidates, 2);
}

TEST_F(Detection, FiveSampleDifferenceBeforeBlanking) {
  spike(1000, 100);
  conditions.r_ratio = 1.0f;  // no pass, so the difference stays as computed
  preview();
  const float expected[] = {10000, 20000, 0, -20000, -10000};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(d->power_slope(998 + i), expected[i]) << 998 + i;
  EXPECT_EQ(d->power_slope(997), 0.0f);
  EXPECT_EQ(d->power_slope(1003), 0.0f);
  EXPECT_TRUE(picks().empty());
}

TEST_F(Detection, PowerSumsTheThreeDisplayedLeads) {
  (*matrix)(conditions.first_lead, 500) = 3;
  (*matrix)(conditions.second_lead, 500) = -4;
  (*matrix)(conditions.third_lead, 500) = 12;
  (*matrix)(1, 500) = 1000;  // not a displayed lead
  preview();
  EXPECT_EQ(d->lead_power(500), 169.0f);
  EXPECT_EQ(d->lead_traces(500, 2), -4.0f);
  EXPECT_EQ(d->time_axis(500), 500.0f);
}

TEST_F(Detection, RatioOneGivesNoCandidateAndRatioZeroGoesOnWhileNegative) {
  spike(1000, 100);
  spike(2000, 50);
  conditions.r_ratio = 1.0f;
  preview();
  EXPECT_TRUE(picks().empty());

  conditions.r_ratio = 0.0f;
  preview();
  EXPECT_EQ(picks(), (std::vector<int>{1001, 2001, 100}));
}

TEST_F(Detection, EqualFallsArePickedEarliestFirst) {
  spike(3000, 80);
  spike(1500, 80);
  preview();
  EXPECT_EQ(picks(), (std::vector<int>{1501, 3001, 100}));
  sort_candidates(*d);
  EXPECT_EQ(d->beat_positions(1), 3001);
  EXPECT_EQ(d->beat_positions(2), 1501);
  EXPECT_EQ(d->beat_positions(3), 100);
}

TEST_F(Detection, StopsAfter199PicksLeavingTheLastEntryEmpty) {
  // Falls 101 samples apart, each deeper than the one before: the latest is
  // picked first and its blanking never reaches the earlier neighbour.
  for (int k = 0; k < 300; ++k) spike(200 + 101 * k, static_cast<std::int16_t>(100 + k));
  conditions.r_ratio = 0.0f;
  whole(whole_reference_end);
  EXPECT_EQ(picks().size(), 199u);
  EXPECT_EQ(d->r_positions(200), 0);
  EXPECT_EQ(d->r_positions(1), 200 + 101 * 299 + 1);
  for (int k = 1; k < 199; ++k) EXPECT_EQ(d->r_positions(k) - d->r_positions(k + 1), 101);
  sort_candidates(*d);
  count_candidates(*d);
  EXPECT_EQ(d->n_candidates, 199);
}

TEST_F(Detection, FallsOutsideTheSearchRangeAreNeverPicked) {
  spike(50, 300);    // sets slope_min but lies before sample 100
  spike(3950, 300);  // within the last 100 samples of the preview
  preview();
  EXPECT_EQ(d->slope_min, -180000.0f);
  EXPECT_EQ(picks(), (std::vector<int>{100}));
}

TEST_F(Detection, FlatRecordingHasNoCandidates) {
  for (int t = 1; t <= matrix_positions; ++t) {
    (*matrix)(conditions.first_lead, t) = -40;
    (*matrix)(conditions.second_lead, t) = 7;
  }
  preview();
  EXPECT_EQ(d->slope_min, 0.0f);
  EXPECT_EQ(d->amp_max, 40.0f);
  EXPECT_TRUE(picks().empty());
  sort_candidates(*d);
  count_candidates(*d);
  EXPECT_EQ(d->n_candidates, 0);

  *matrix = SampleMatrix{};
  preview();
  EXPECT_EQ(d->amp_max, 0.0f);  // the no-data case of the preview
}

TEST_F(Detection, ComputeTakesItsThresholdFromTheFirstFourSecondsOnly) {
  spike(1000, 100);   // falls to -20,000
  spike(10000, 300);  // falls to -180,000, beyond sample 3,998
  whole(preview_reference_end);
  EXPECT_EQ(picks(), (std::vector<int>{10001, 1001, 100}));
  whole(whole_reference_end);
  EXPECT_EQ(picks(), (std::vector<int>{10001, 1001}));
}

TEST_F(Detection, SortTakesTheLastOfEqualValuesAndKeepsDuplicates) {
  const std::int16_t listed[] = {5, 900, 5, 0, 31, 900};
  for (int i = 0; i < 6; ++i) d->r_positions(i + 1) = listed[i];
  sort_candidates(*d);
  const std::int16_t sorted[] = {900, 900, 31, 5, 5, 0, 0};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(d->beat_positions(i + 1), sorted[i]) << i + 1;
  count_candidates(*d);
  EXPECT_EQ(d->n_candidates, 5);
}

// The picking loop exactly as described: a full ascending scan per pass.
std::vector<int> literal_picks(std::vector<float> slope, float slope_min, float r_ratio,
                               int span_len) {
  std::vector<int> found;
  float peak_value = slope_min;
  int peak_pos = 0;
  for (int k = 1; k<candidate_slots&& static_cast<double>(r_ratio) * slope_min> peak_value; ++k) {
    peak_value = 9999.0f;
    for (int i = 100; i <= span_len - 100; ++i)
      if (slope[i] < peak_value) peak_value = slope[i], peak_pos = i;
    found.push_back(peak_pos);
    for (int j = peak_pos - 100; j <= peak_pos + 200; ++j)
      if (j >= 1 && j <= span_len) slope[j] = 0.0f;
  }
  return found;
}

// Many falls of few distinct depths, so that ties and blanked neighbours
// occur at every distance, including across the search's internal blocks.
TEST_F(Detection, PicksAsOneFullScanPerPassWould) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 20; ++round) {
    *matrix = SampleMatrix{};
    const int falls = 20 + round * 10;
    for (int n = 0; n < falls; ++n) {
      const int position = std::uniform_int_distribution<int>(1, max_span)(random);
      const auto value =
          static_cast<std::int16_t>(50 * std::uniform_int_distribution<int>(-3, 3)(random));
      const int lead = std::uniform_int_distribution<int>(0, 2)(random);
      const std::int16_t channels[] = {conditions.first_lead, conditions.second_lead,
                                       conditions.third_lead};
      (*matrix)(channels[lead], position) = value;
    }
    const std::int32_t reference_end = round % 2 ? whole_reference_end : preview_reference_end;
    conditions.r_ratio = 1.0f;  // no pass: the difference stays unblanked
    whole(reference_end);
    std::vector<float> slope(max_span + 1);
    for (int i = 1; i <= max_span; ++i) slope[i] = d->power_slope(i);
    const float slope_min = d->slope_min;

    for (float r_ratio : {0.0f, 0.3f, 0.5f}) {
      conditions.r_ratio = r_ratio;
      whole(reference_end);
      EXPECT_EQ(picks(), literal_picks(slope, slope_min, r_ratio, max_span))
          << "round " << round << " ratio " << r_ratio;
    }
  }
}

// The demonstration recording: every true beat, normal or ectopic, is found
// just after its R peak, where the power curve falls steepest.
TEST_F(Detection, FindsEveryBeatOfTheDemonstrationRecording) {
  const demo::DemoModel model;
  const std::int16_t channels[] = {conditions.first_lead, conditions.second_lead,
                                   conditions.third_lead};
  for (int t = 1; t <= recorded_samples; ++t) {
    const auto waves = model.wave_values(t);
    for (std::int16_t c : channels) (*matrix)(c, t) = model.sample(c, t, waves);
  }
  whole(whole_reference_end);
  sort_candidates(*d);
  count_candidates(*d);
  std::vector<int> found(d->beat_positions.data(), d->beat_positions.data() + d->n_candidates);
  for (const demo::Beat& beat : model.beats()) {
    int nearest = 1 << 20;
    for (int p : found) nearest = std::abs(p - beat.r) < std::abs(nearest) ? p - beat.r : nearest;
    EXPECT_GE(nearest, 0) << "beat at " << beat.r;
    EXPECT_LE(nearest, 12) << "beat at " << beat.r;
  }
  // One candidate per beat, and at most the final pick that failed the test.
  EXPECT_GE(d->n_candidates, static_cast<int>(model.beats().size()));
  EXPECT_LE(d->n_candidates, static_cast<int>(model.beats().size()) + 1);
}

}  // namespace
}  // namespace ba

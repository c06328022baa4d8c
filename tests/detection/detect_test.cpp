// Beat detection: the picking order, its stopping test, blanking and limits,
// on hand-made signals and on the demonstration recording.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "detection/detection.h"
#include "dialogue/conditions.h"
#include "support/state_setup.h"
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

  // The preview is the 4 s run; every other run covers the whole recording.
  void run(std::int32_t span_len, std::int32_t reference_end) {
    detect(*matrix, conditions, span_len, reference_end, span_len == preview_span, *d);
  }
  void preview() { run(preview_span, preview_reference_end); }
  void whole(std::int32_t reference_end) { run(max_span, reference_end); }

  void sort_and_count() {
    sort_candidates(*d);
    count_candidates(*d);
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
  // Blanked 901..1,201 after the first pick.
  EXPECT_EQ(d->power_slope(998), 0.0f);
  EXPECT_EQ(d->power_slope(1001), 0.0f);
  sort_and_count();
  EXPECT_EQ(test::first_entries(d->beat_positions, 3), (std::vector<int>{1001, 100, 0}));
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

// Which falls set the threshold, which are picked in which order, and where
// the picking stops.
TEST_F(Detection, ThresholdPickingOrderAndStop) {
  struct Spike {
    int position;
    std::int16_t value;
  };
  struct Row {
    const char* what;
    std::vector<Spike> spikes;
    float r_ratio;
    std::int32_t span_len, reference_end;
    float slope_min;
    std::vector<int> picks;
  };
  const Row rows[] = {
      {"ratio 1: even the deepest fall fails the test",
       {{1000, 100}, {2000, 50}},
       1.0f,
       preview_span,
       preview_reference_end,
       -20000.0f,
       {}},
      {"ratio 0: goes on while the previous pick is negative",
       {{1000, 100}, {2000, 50}},
       0.0f,
       preview_span,
       preview_reference_end,
       -20000.0f,
       {1001, 2001, 100}},
      {"equal falls: the earliest first",
       {{3000, 80}, {1500, 80}},
       0.5f,
       preview_span,
       preview_reference_end,
       -12800.0f,
       {1501, 3001, 100}},
      {"falls before sample 100 and in the last 100 set the threshold, are never picked",
       {{50, 300}, {3950, 200}},
       0.5f,
       preview_span,
       preview_reference_end,
       -180000.0f,
       {100}},
      // Command c takes the threshold from the first 4 s only, command v from all of it.
      {"c: a fall at sample 3,998 sets the threshold",
       {{1000, 100}, {3997, 300}},
       0.5f,
       max_span,
       preview_reference_end,
       -180000.0f,
       {3998, 1001}},
      {"c: a fall at sample 3,999 does not",
       {{1000, 100}, {3998, 300}},
       0.5f,
       max_span,
       preview_reference_end,
       -20000.0f,
       {3999, 1001, 100}},
      {"v: a fall anywhere sets the threshold",
       {{1000, 100}, {10000, 300}},
       0.5f,
       max_span,
       whole_reference_end,
       -180000.0f,
       {10001, 1001}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    matrix->fill(0);
    for (const Spike& s : row.spikes) spike(s.position, s.value);
    conditions.r_ratio = row.r_ratio;
    run(row.span_len, row.reference_end);
    EXPECT_EQ(d->slope_min, row.slope_min);
    EXPECT_EQ(picks(), row.picks);
  }
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
  sort_and_count();
  EXPECT_EQ(d->n_candidates, 199);
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
  sort_and_count();
  EXPECT_EQ(d->n_candidates, 0);

  matrix->fill(0);
  preview();
  EXPECT_EQ(d->amp_max, 0.0f);  // the no-data case of the preview
}

TEST_F(Detection, SortTakesTheLastOfEqualValuesAndKeepsDuplicates) {
  const std::int16_t listed[] = {5, 900, 5, 0, 31, 900};
  for (int i = 0; i < 6; ++i) d->r_positions(i + 1) = listed[i];
  sort_and_count();
  EXPECT_EQ(test::first_entries(d->beat_positions, 7),
            (std::vector<int>{900, 900, 31, 5, 5, 0, 0}));
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
    matrix->fill(0);
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
  sort_and_count();
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

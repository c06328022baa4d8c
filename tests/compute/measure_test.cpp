// The QRST area measurement of command c on candidates set by hand.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "compute/compute.h"
#include "compute/messages.h"
#include "program/program_state.h"
#include "support/fake_platform.h"
#include "support/state_setup.h"

namespace ba {
namespace {

// A recording measured with printing off and the fiducial points given.
struct MeasureRun {
  std::unique_ptr<ProgramState> state = std::make_unique<ProgramState>();

  MeasureRun(std::int32_t pq_point, std::int32_t q_start, std::int32_t t_end) {
    state->conditions.print_flag = 0;
    test::set_fiducials(state->marking, pq_point, q_start, t_end);
  }

  // Every lead of a beat at R holds amplitude x lead over Q..T and 0
  // elsewhere, so its area sum is (T - Q + 1) x amplitude x lead.
  void lay_beat(std::int32_t r, std::int16_t amplitude) {
    const MarkingState& marks = state->marking;
    for (std::int32_t t = r + marks.q_start - 200; t <= r + marks.t_end - 200; ++t)
      for (long lead = 1; lead <= lead_point_count; ++lead)
        sample(lead, t) = static_cast<std::int16_t>(amplitude * lead);
  }
  std::int16_t& sample(long lead, std::int32_t t) {
    return state->recording.sample_matrix(lead + 8, t);
  }

  // Measured as command c measures after recognition, with the log open.
  const Selection& measure(const std::vector<std::int16_t>& latest_first) {
    test::set_candidates(state->detection, latest_first);
    clear_selection(state->selection);
    bench.io.open_log("d:\\data\\map\\measurestlog.txt");
    measure_and_print_beats(compute_context(*state), bench.io);
    bench.io.close_log();
    return state->selection;
  }

  test::TestBench bench;
};

TEST(ScaledArea, TruncatesTowardZero) {
  struct Row {
    const char* what;
    std::int32_t sum, area;
  };
  const Row rows[] = {
      {"nothing", 0, 0},
      {"just below one unit", 199, 0},
      {"just above minus one unit", -199, 0},
      {"one unit", 200, 1},
      {"minus one unit", -200, -1},
      {"negative: toward zero, not down", -401, -2},
      {"positive: down", 401, 2},
      {"sums beyond single precision", 2'097'120'000, 10'485'600},
      {"negative sums beyond single precision", -2'097'120'000, -10'485'600},
  };
  for (const Row& row : rows) EXPECT_EQ(scaled_area(row.sum), row.area) << row.what;
}

// The recorder's scaling in single precision, (float)(16 sum) x 0.3125 / 1000
// truncated, must agree with the exact quotient over every sum a beat of
// ordinary amplitude reaches.
TEST(ScaledArea, AgreesWithSinglePrecisionScaling) {
  for (std::int32_t sum = -16'777'000; sum <= 16'777'000; sum += 97) {
    volatile float scaled = static_cast<float>(16 * sum);
    scaled = scaled * 0.3125f;
    scaled = scaled / 1000.0f;
    ASSERT_EQ(scaled_area(sum), static_cast<std::int32_t>(scaled)) << "sum " << sum;
  }
}

TEST(Measurement, RejectedCandidatesLeaveNoGapInTheNumbering) {
  MeasureRun run(150, 180, 500);  // PQ at R - 50, sum over R - 20 .. R + 300
  run.lay_beat(1000, 1);
  run.lay_beat(5000, 2);
  run.lay_beat(9000, 3);
  const Selection& selection = run.measure({9000, 0, 5000, 0, 1000});
  ASSERT_EQ(selection.n_accepted, 3);
  EXPECT_EQ(test::first_entries(selection.accepted_beats, 4),
            (std::vector<int>{1000, 5000, 9000, 0}));
  for (std::int32_t b = 1; b <= 3; ++b)
    for (std::int32_t lead : {1, 2, 33, 64})
      EXPECT_EQ(selection.aqrst(lead, b), 321 * b * lead / 200) << "beat " << b << " lead " << lead;
}

TEST(Measurement, SingleSampleWhenQStartEqualsTEnd) {
  MeasureRun run(100, 250, 250);  // PQ at R - 100, Q = T = R + 50
  const std::int32_t r = 2000;
  struct Case {
    long lead;
    std::int16_t at_q, at_pq;
    std::int32_t area;
  };
  const std::vector<Case> cases = {
      {1, 400, 0, 2}, {2, 0, 401, -2}, {3, 199, 0, 0}, {4, -5, 194, 0}, {5, 300, 100, 1}};
  for (const Case& c : cases) {
    run.sample(c.lead, r + 50) = c.at_q;
    run.sample(c.lead, r - 100) = c.at_pq;
  }
  const Selection& selection = run.measure({static_cast<std::int16_t>(r)});
  ASSERT_EQ(selection.n_accepted, 1);
  for (const Case& c : cases) EXPECT_EQ(selection.aqrst(c.lead, 1), c.area) << c.lead;
}

TEST(Measurement, EmptySumGivesZeroAreas) {
  struct Case {
    const char* what;
    std::int32_t pq, q, t;
  };
  for (const Case& c : std::vector<Case>{{"T end before Q start", 150, 500, 180},
                                         {"points never confirmed", 0, 0, 0}}) {
    MeasureRun run(150, 180, 500);
    run.lay_beat(3000, 7);
    test::set_fiducials(run.state->marking, c.pq, c.q, c.t);
    const Selection& selection = run.measure({3000});
    ASSERT_EQ(selection.n_accepted, 1) << c.what;
    for (long lead = 1; lead <= lead_point_count; ++lead)
      EXPECT_EQ(selection.aqrst(lead, 1), 0) << c.what << " lead " << lead;
  }
}

TEST(Measurement, StartsFromAnEmptySelection) {
  MeasureRun run(150, 180, 500);
  run.lay_beat(1000, 1);
  Selection& earlier = run.state->selection;
  earlier.n_accepted = 7;
  earlier.accepted_beats(200) = 12345;
  earlier.aqrst(64, 200) = 99;
  const Selection& selection = run.measure({1000});
  EXPECT_EQ(selection.n_accepted, 1);
  EXPECT_EQ(selection.accepted_beats(200), 0);
  EXPECT_EQ(selection.aqrst(64, 200), 0);
}

// A beat can be measured only when its PQ point, Q start and T end all lie in
// samples 1..32,000.
TEST(Measurement, BeatsWithPointsOutsideTheRecordingAreLeftOut) {
  struct Row {
    const char* what;
    std::int16_t r;
    std::int32_t pq, q, t;
    bool measured;
  };
  const Row rows[] = {
      {"PQ at sample 1", 150, 51, 180, 500, true},
      {"PQ at sample 0", 150, 50, 180, 500, false},
      {"T at sample 32,000", 31900, 150, 180, 300, true},
      {"T at sample 32,001", 31900, 150, 180, 301, false},
      {"Q beyond the recording, T before it", 31900, 150, 301, 250, false},
      {"T clicked far right of the trace", 31500, 150, 180, 1666, false},
      {"Q before the recording", 120, 150, 79, 500, false},
  };
  for (const Row& row : rows) {
    MeasureRun run(row.pq, row.q, row.t);
    EXPECT_EQ(run.measure({row.r}).n_accepted, row.measured ? 1 : 0) << row.what;
  }
}

TEST(Measurement, LeftOutBeatIsNamedOnTheConsoleAndInTheLog) {
  test::TestBench bench;
  MeasureRun run(20, 180, 900);  // PQ at R - 180, T at R + 700
  ProgramState& state = *run.state;
  bench.io.open_log("d:\\data\\map\\abcdefstlog.txt");
  test::set_candidates(state.detection, {31500, 5000, 150});
  measure_and_print_beats(compute_context(state), bench.io);
  bench.io.close_log();

  EXPECT_EQ(state.selection.n_accepted, 1);
  EXPECT_EQ(state.selection.accepted_beats(1), 5000);
  const std::string text = compute_text::beat_left_out;
  EXPECT_EQ(bench.platform.lines_of(console_unit),
            (std::vector<std::string>{" " + text + "         150", " " + text + "       31500"}));
  EXPECT_EQ(bench.read("abcdefstlog.txt"),
            " left out time         150\r\n left out time       31500\r\n");
}

}  // namespace
}  // namespace ba

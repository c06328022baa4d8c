// Command v: the order of the reviewed beats, their console and caption
// lines, the baseline of each lead, the markers, and one click per beat.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dialogue/paths.h"
#include "marking/messages.h"
#include "program/program_state.h"
#include "review/messages.h"
#include "review/review.h"
#include "runtime/errors.h"
#include "runtime/textform.h"
#include "support/fake_platform.h"
#include "support/state_setup.h"

namespace ba {
namespace {

// The state after recognition: the graphics window active, the display
// geometry of a preview whose largest amplitude was 1,000.
struct Review {
  test::TestBench bench;
  test::FakePlatform& platform = bench.platform;
  std::unique_ptr<ProgramState> owned_state = std::make_unique<ProgramState>();
  ProgramState& state = *owned_state;

  Review() {
    state.geometry.y_scale = 0.4f / 1000.0f;
    state.geometry.marker_y(1) = state.geometry.plot_y0;
    state.geometry.marker_y(2) = state.geometry.plot_y1;
    for (long i = 1; i <= max_span; ++i) state.detection.time_axis(i) = static_cast<float>(i);
    test::set_fiducials(state.marking, 150, 180, 500);
    platform.activate_window(graphics_unit);
  }

  // Clicks of either button, alternating.
  void clicks(int count) {
    for (int c = 0; c < count; ++c)
      platform.clicks.push_back(c % 2 ? test::FakePlatform::left_click(300)
                                      : test::FakePlatform::right_click());
  }

  // Reviews the listed candidates (latest first), clicking through every beat.
  void run(const std::vector<std::int16_t>& latest_first) {
    test::set_candidates(state.detection, latest_first);
    clicks(static_cast<int>(std::count_if(latest_first.begin(), latest_first.end(),
                                          [](std::int16_t p) { return p != 0; })));
    review_accepted_beats(review_context(state), bench.io);
  }

  // A sample of the first displayed lead.
  std::int16_t& sample(std::int32_t position) {
    return state.recording.sample_matrix(state.conditions.first_lead, position);
  }
};

// Console and caption lines are 42 characters each.
TEST(ViewAllBeats, ShowsAcceptedBeatsInTimeOrderOnePerClick) {
  Review review;
  review.run({2790, 0, 1850, 900});

  const Selection& selection = review.state.selection;
  ASSERT_EQ(selection.n_accepted, 3);
  EXPECT_EQ(test::first_entries(selection.accepted_beats, 3), (std::vector<int>{900, 1850, 2790}));
  EXPECT_EQ(review.platform.lines_of(console_unit),
            (std::vector<std::string>{" CLEARSCREE    900         900           1",
                                      " CLEARSCREE   1850        1850           2",
                                      " CLEARSCREE   2790        2790           3"}));
  EXPECT_EQ(review.platform.lines_of(graphics_unit),
            (std::vector<std::string>{" Displyed beat  0.9000000     :  Click !  ",
                                      " Displyed beat   1.850000     :  Click !  ",
                                      " Displyed beat   2.790000     :  Click !  "}));
  EXPECT_TRUE(review.platform.clicks.empty());
  EXPECT_EQ(review.platform.clears.at(graphics_unit), 3);
}

TEST(ViewAllBeats, EveryBeatWaitsForItsOwnClick) {
  Review review;
  test::set_candidates(review.state.detection, {2790, 1850, 900});
  review.clicks(2);
  EXPECT_THROW(review_accepted_beats(review_context(review.state), review.bench.io), ScriptProblem);
}

// Each clear precedes its beat's drawing and caption, so a beat is shown alone.
TEST(ViewAllBeats, EachBeatIsDrawnOnAClearedWindowWithItsMarkers) {
  Review review;
  review.run({1850, 900});

  const auto& calls = review.platform.calls;
  const auto second_clear =
      std::find(std::next(std::find(calls.begin(), calls.end(), "clear_window 12")), calls.end(),
                "clear_window 12");
  ASSERT_NE(second_clear, calls.end());
  EXPECT_LT(std::find(calls.begin(), calls.end(), "wait_mouse_event 12"), second_clear);

  // Per beat: three traces of 1,000 points, then a red PQ marker and two cyan ones.
  const auto segments = review.platform.segments_of(graphics_unit);
  ASSERT_EQ(segments.size(), 2u * (3 * 1000 + 3 * 2));
  auto vertical = [&](std::size_t k) {
    const test::Segment& s = segments[3000 + 2 * k + 1];
    EXPECT_EQ(s.x1, s.x2);
    EXPECT_EQ(s.y1, 30);
    EXPECT_EQ(s.y2, 269);
    return s;
  };
  const test::Segment pq = vertical(0), q = vertical(1), t = vertical(2);
  EXPECT_EQ(pq.colour, rgb(255, 0, 0));
  EXPECT_EQ(q.colour, rgb(0, 255, 255));
  EXPECT_EQ(t.colour, rgb(0, 255, 255));
  // Index m stands at trace point m: 0.0006 window units, 0.6 pixel, per index.
  EXPECT_NEAR(pq.x1, 90, 1);
  EXPECT_NEAR(q.x1, 108, 1);
  EXPECT_NEAR(t.x1, 300, 1);
}

// The baseline is the mean of the five samples around the PQ point, cut
// toward zero, so the sample at the PQ point of a flat lead lies on the zero line.
TEST(ViewAllBeats, BaselineIsTheTruncatedMeanAroundThePQPoint) {
  struct Case {
    const char* what;
    std::int16_t around[5];  // samples at pq_abs - 2 .. pq_abs + 2
    float at_pq;             // beat_wave at the PQ point
  };
  const std::vector<Case> cases = {{"rising", {10, 10, 10, 10, 11}, 0.0f},
                                   {"falling", {-10, -10, -10, -10, -11}, 0.0f},
                                   {"raised flat", {500, 500, 500, 500, 500}, 0.0f},
                                   {"spread", {0, 0, 7, 0, 0}, 6.0f}};
  for (const Case& c : cases) {
    Review review;
    const std::int32_t beat_r = 3000;
    const std::int32_t pq_abs = beat_r + review.state.marking.pq_point - 200;
    for (int k = 0; k < 5; ++k) review.sample(pq_abs - 2 + k) = c.around[k];
    review.run({static_cast<std::int16_t>(beat_r)});
    // Trace point i shows sample beat_r - 201 + i.
    EXPECT_EQ(review.state.marking.beat_wave(pq_abs - beat_r + 201, 1), c.at_pq) << c.what;
  }
}

// Positions outside the matrix count as 0 in the baseline and the trace
// shows 0 before the recording starts.
TEST(ViewAllBeats, EarlyAndLateBeatsReadNothingOutsideTheRecording) {
  Review early;
  early.state.marking.pq_point = 52;  // pq_abs 2: baseline over samples 0..4
  for (std::int32_t p = 1; p <= 4; ++p) early.sample(p) = 10;
  early.run({150});
  EXPECT_EQ(early.state.marking.beat_wave(51, 1), 0.0f);  // sample 0
  EXPECT_EQ(early.state.marking.beat_wave(52, 1), 2.0f);  // sample 1: 10 - 40 / 5

  Review late;
  late.state.marking.pq_point = 251;  // pq_abs 32,001: outside the recording
  build_paths("abcdef", late.state.paths);
  late.bench.io.open_log(late.state.paths.stlog_path);
  late.run({31950, 1850});
  // Left out as command c leaves it out: not measured, not shown, no click spent.
  EXPECT_EQ(late.state.selection.n_accepted, 1);
  EXPECT_EQ(late.state.selection.accepted_beats(1), 1850);
  EXPECT_EQ(late.platform.lines_of(console_unit),
            (std::vector<std::string>{" CLEARSCREE   1850        1850           1",
                                      " 区分点が記録の外にある心拍を除外（msec）       31950"}));
  EXPECT_EQ(late.platform.clicks.size(), 1u);
}

// The areas v leaves in the selection are the ones c measures: lead 1 at 200
// units from Q start to T end over a zero baseline sums to 200 x 321 samples,
// an area of 321; lead 2 at -3 units for 321 samples sums to -963, which is
// cut toward zero to -4.
TEST(ViewAllBeats, MeasuresEachBeatAsCommandCDoes) {
  Review review;  // fiducials PQ 150, Q 180, T 500 around R at index 200
  const std::int32_t r = 2000;
  for (std::int32_t p = r - 20; p <= r + 300; ++p) {
    review.state.recording.sample_matrix(9, p) = 200;
    review.state.recording.sample_matrix(10, p) = -3;
  }
  review.state.recording.sample_matrix(11, r + 600) = 1000;  // after T: not summed
  review.run({static_cast<std::int16_t>(r)});
  const Selection& selection = review.state.selection;
  ASSERT_EQ(selection.n_accepted, 1);
  EXPECT_EQ(selection.aqrst(1, 1), 321);
  EXPECT_EQ(selection.aqrst(2, 1), -4);
  EXPECT_EQ(selection.aqrst(3, 1), 0);
}

TEST(ViewAllBeats, RefusedUntilAReferenceBeatIsChosen) {
  Review review;
  review.state.selection.n_accepted = 1;
  review.state.selection.accepted_beats(1) = 900;
  view_all_beats(review_context(review.state),
                 review.bench.io);  // the log is not open: any record would throw
  const std::string refusal = std::string(" ") + marking_text::no_template;
  EXPECT_EQ(review.platform.lines_of(console_unit), std::vector<std::string>{refusal});
  EXPECT_EQ(review.platform.lines_of(graphics_unit), std::vector<std::string>{refusal});
  EXPECT_EQ(review.state.selection.n_accepted, 1);
  EXPECT_EQ(review.state.selection.accepted_beats(1), 900);
}

// Entries 151 to 200 too, so that a later save cannot pair the areas of an
// earlier c run with the beats of this review.
TEST(ViewAllBeats, ClearsTheWholeSelection) {
  Review review;
  build_paths("abcdef", review.state.paths);
  review.bench.io.open_log(review.state.paths.stlog_path);
  review.state.recognition.corr_lead = review.state.conditions.first_lead;
  Selection& selection = review.state.selection;
  selection.n_accepted = 180;
  for (long b = 1; b <= 180; ++b) {
    selection.accepted_beats(b) = static_cast<std::int32_t>(100 * b);
    selection.aqrst(64, b) = 5;
  }
  view_all_beats(review_context(review.state),
                 review.bench.io);  // a flat recording: nothing accepted
  EXPECT_EQ(selection.n_accepted, 0);
  for (long b : {1L, 150L, 151L, 180L, 200L}) {
    EXPECT_EQ(selection.accepted_beats(b), 0) << b;
    EXPECT_EQ(selection.aqrst(64, b), 0) << b;
  }
}

}  // namespace
}  // namespace ba

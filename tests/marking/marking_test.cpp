// Waveform selection (command s) and fiducial marking: the click arithmetic,
// the nearest-beat search, the range check, the records and the passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "marking/marking.h"
#include "support/display_bench.h"

namespace ba {
namespace {

using test::DisplayBench;
using test::Segment;

constexpr std::uint32_t blue = rgb(0, 0, 240);
constexpr std::uint32_t cyan = rgb(0, 255, 255);

// The beat-window scale of the standard trace area.
const float beat_scale = static_cast<float>(static_cast<double>(0.6f) / 1000.0);
const float preview_scale = static_cast<float>(static_cast<double>(0.6f) / 4000);

float click_x(int column) { return static_cast<float>(column / 1000.0); }

TEST(ClickSample, IndicesUnderClicks) {
  struct Row {
    float x;
    float scale;
    std::int32_t index;
  };
  const Row rows[] = {
      {click_x(118), beat_scale, 196},
      {click_x(119), beat_scale, 198},
      // Index 200 is drawn at pixel 120, yet the quotient falls just below 200.
      {click_x(120), beat_scale, 199},
      {click_x(121), beat_scale, 201},
      {0.5f, beat_scale, 833},
      {0.5f, preview_scale, 3333},
      {0.0f, preview_scale, 0},
      {click_x(999), preview_scale, 6659},
  };
  for (const Row& r : rows) EXPECT_EQ(click_sample(r.x, 0.0f, r.scale), r.index) << r.x;
}

TEST(ClickSample, DefinedForAnyQuotient) {
  constexpr auto largest = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(click_sample(1.0e30f, 0.0f, 1.0e-30f), largest);
  EXPECT_EQ(click_sample(0.5f, 0.0f, 0.0f), largest);
  EXPECT_EQ(click_sample(-1.0e30f, 0.0f, 1.0e-30f), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(click_sample(std::nanf(""), 0.0f, beat_scale), 0);
}

TEST(NearestBeat, TiesEmptyEntriesAndTheSearchLimit) {
  struct Row {
    const char* what;
    std::vector<std::int16_t> listed;
    std::int32_t sample;
    std::int32_t expected;
  };
  const Row rows[] = {
      {"nearest", {2900, 2000, 1100, 300}, 1200, 1100},
      {"equal distances: the later beat", {2000, 1000}, 1500, 2000},
      {"empty entries count as sample 0", {2500, 1500}, 600, 0},
      {"nothing within 4,000 keeps the old value", {31900, 20000}, 10000, 777},
      {"exactly 4,000 away is not closer", {14000}, 10000, 777},
      {"a huge click position", {31900}, std::numeric_limits<std::int32_t>::max(), 777},
  };
  for (const Row& r : rows) {
    Array1<std::int16_t, 200> positions;
    for (std::size_t j = 0; j < r.listed.size(); ++j)
      positions(static_cast<long>(j + 1)) = r.listed[j];
    EXPECT_EQ(nearest_beat(positions, r.sample, 777), r.expected) << r.what;
  }
}

// A preview with candidates as the loop top leaves them, the log open.
struct Selection : ::testing::Test {
  DisplayBench bench;
  ProgramState& state = *bench.state;

  Selection() {
    bench.spike(1000, 100);
    bench.spike(2500, 100);
    detect(bench.matrix(), state.conditions, preview_span, preview_reference_end, true,
           state.detection);
    set_display_geometry(preview_span, state.detection.amp_max, state.geometry);
    sort_candidates(state.detection);  // 2501, 1001, 100
    bench.io.open_log(state.paths.stlog_path);
    bench.io.open_window(graphics_unit);
  }

  void list(std::initializer_list<std::int16_t> positions) {
    state.detection.beat_positions.fill(0);
    long j = 0;
    for (std::int16_t p : positions) state.detection.beat_positions(++j) = p;
  }

  std::string log() {
    bench.io.close_log();
    return bench.read("abcstlog.txt");
  }
  std::vector<std::string> console() const { return bench.platform.lines_of(console_unit); }
  std::vector<std::string> window() const { return bench.platform.lines_of(graphics_unit); }
  std::vector<Segment> segments() const { return bench.platform.segments_of(graphics_unit); }
};

TEST_F(Selection, NearestBeatIsLoggedDrawnEnlargedAndBecomesTheTemplate) {
  bench.click(160);  // sample 1,066
  bench.type({"y", "x"});
  select_waveform(state, bench.io);

  EXPECT_EQ(state.marking.selected_beat, 1001);
  EXPECT_EQ(state.marking.window_start, 801);
  EXPECT_EQ(console(), (std::vector<std::string>{" 選択した点（msec）        1001"}));
  EXPECT_EQ(log(), " selected time         801\r\n");
  EXPECT_EQ(window(),
            (std::vector<std::string>{" 選択する波形の線の近くをClick", " これでいいですか? <y/n>",
                                      " 区分点認識(s),　exit (x)："}));
  EXPECT_EQ(bench.platform.clears[graphics_unit], 1);

  // The click's cyan marker on the preview, then three blue traces of 1,000 points.
  const auto drawn = segments();
  ASSERT_EQ(drawn.size(), 2u + 3000u);
  EXPECT_EQ(drawn[1].colour, cyan);
  // 0.16 is just below its decimal value in single precision, and the
  // plotters truncate: the marker of a click at column 160 stands on 159.
  EXPECT_EQ(drawn[1].x2, 159);
  EXPECT_TRUE(std::all_of(drawn.begin() + 2, drawn.end(),
                          [](const Segment& s) { return s.colour == blue; }));
  // The spike at sample 1,000 is index 199 of the beat window, drawn at
  // +amp_max on the lower limit line; the trace spans columns 0..600.
  EXPECT_EQ(state.marking.beat_wave(199, 1), 100.0f);
  EXPECT_EQ(state.marking.beat_x_scale, beat_scale);
  const auto peak =
      std::find_if(drawn.begin() + 2, drawn.end(), [](const Segment& s) { return s.y2 == 269; });
  ASSERT_NE(peak, drawn.end());
  EXPECT_EQ(peak->x2, 119);
  EXPECT_EQ(drawn[1001].x2, 600);

  EXPECT_EQ(state.recognition.corr_lead, state.conditions.first_lead);
  EXPECT_EQ(state.recognition.template_wave(25), 100);
  EXPECT_EQ(state.recognition.template_wave(26), 0);
}

TEST_F(Selection, AcceptedRangeIs201To3000) {
  struct Row {
    std::int16_t beat;
    bool accepted;
  };
  for (const Row row : {Row{200, false}, Row{201, true}, Row{3000, true}, Row{3001, false}}) {
    DisplayBench fresh;
    ProgramState& s = *fresh.state;
    detect(fresh.matrix(), s.conditions, preview_span, preview_reference_end, true, s.detection);
    set_display_geometry(preview_span, 100.0f, s.geometry);
    s.detection.beat_positions(1) = row.beat;
    fresh.io.open_log(s.paths.stlog_path);
    fresh.click(row.beat * 15 / 100);
    fresh.type({"y", "x"});
    select_waveform(s, fresh.io);
    EXPECT_EQ(s.marking.selected_beat, row.beat);
    const auto console = fresh.platform.lines_of(console_unit);
    if (row.accepted) {
      EXPECT_EQ(console.size(), 1u) << row.beat;
      EXPECT_EQ(s.recognition.corr_lead, s.conditions.first_lead) << row.beat;
      EXPECT_EQ(s.marking.window_start, row.beat - 200);
    } else {
      // Shown in the window, which the loop top clears at once, and kept on the console.
      const std::string error = " エラー、200から3000msecの範囲にしてください。";
      EXPECT_EQ(console, std::vector<std::string>{error}) << row.beat;
      EXPECT_EQ(fresh.platform.lines_of(graphics_unit).back(), error);
      EXPECT_EQ(s.recognition.corr_lead, 0) << row.beat;
      EXPECT_EQ(s.marking.window_start, 0);
      EXPECT_EQ(fresh.platform.typed_lines.size(), 1u);  // the fiducial menu never asked
      fresh.io.close_log();
      EXPECT_EQ(fresh.read("abcstlog.txt"), "");
    }
  }
}

TEST_F(Selection, OnlyNDeclines) {
  for (const char* answer : {"n", "N"}) {
    bench.click(160);
    bench.type({answer});
    select_waveform(state, bench.io);
    EXPECT_EQ(state.marking.selected_beat, 0) << answer;
    EXPECT_TRUE(console().empty());
  }
  EXPECT_EQ(state.geometry.marker_pos, 0.16f);
  for (const char* answer : {"no", "Y", "ok"}) {
    state.marking.selected_beat = 0;
    bench.click(160);
    bench.type({answer, "x"});
    select_waveform(state, bench.io);
    EXPECT_EQ(state.marking.selected_beat, 1001) << answer;
  }
}

TEST_F(Selection, ClicksFarRightOfThePreviewAreRangeChecked) {
  // After v or c the list holds candidates of the whole recording.
  list({31900, 20000, 5000});
  bench.click(999);  // sample 6,660: nearest is 5,000
  bench.type({"y"});
  select_waveform(state, bench.io);
  EXPECT_EQ(state.marking.selected_beat, 5000);
  EXPECT_EQ(state.recognition.corr_lead, 0);

  // Nothing within 4,000 samples and no earlier selection: rejected as 0.
  list({31900, 20000});
  state.marking.selected_beat = 0;
  bench.click(999);
  bench.type({"y"});
  select_waveform(state, bench.io);
  EXPECT_EQ(state.marking.selected_beat, 0);
  EXPECT_EQ(state.recognition.corr_lead, 0);
  EXPECT_EQ(console().size(), 2u);
}

TEST_F(Selection, MarkingPassesStoreConfirmedIndicesOnly) {
  bench.click(160);
  bench.type({"y", "s"});
  for (int column : {118, 120, 121}) bench.click(column);
  bench.type({"y", "s"});
  for (int column : {300, 400, 500}) bench.click(column);
  bench.type({"n", "S"});
  bench.platform.clicks.push_back(test::FakePlatform::right_click());
  bench.click(10);
  bench.click(5);  // T before Q: stored as clicked
  bench.type({"Y", "x"});
  select_waveform(state, bench.io);

  EXPECT_EQ(state.marking.pq_point, 833);
  EXPECT_EQ(state.marking.q_start, 16);
  EXPECT_EQ(state.marking.t_end, 8);
  const auto lines = console();
  ASSERT_EQ(lines.size(), 1u + 3 * 6);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 7),
            (std::vector<std::string>{" artifact point! ", "         196", " Q 開始点 ",
                                      "         199", " T 終点! ", "         201"}));
  const auto shown = window();
  EXPECT_EQ(std::vector<std::string>(shown.begin() + 3, shown.begin() + 8),
            (std::vector<std::string>{"  PQ segment をClick ! ", " Q　開始点をClick !  ",
                                      " T 終点をClick! ", " これでいいですか? <y/n>",
                                      " 区分点認識(s),　exit (x)："}));
  // Selection and the two confirmed passes clear the window; the declined one does not.
  EXPECT_EQ(bench.platform.clears[graphics_unit], 3);
  // Every click is awaited in the graphics window, console lines notwithstanding.
  for (const std::string& call : bench.platform.calls) {
    if (call.rfind("wait_mouse_event", 0) == 0) {
      EXPECT_EQ(call, "wait_mouse_event 12");
    }
  }
}

TEST_F(Selection, DeclinedPassLeavesItsMarkersAndTheOldPoints) {
  state.marking.pq_point = 150;
  state.marking.q_start = 180;
  state.marking.t_end = 500;
  bench.click(160);
  bench.type({"y", "s"});
  for (int column : {300, 400, 500}) bench.click(column);
  bench.type({"n", "x"});
  select_waveform(state, bench.io);
  EXPECT_EQ(state.marking.pq_point, 150);
  EXPECT_EQ(state.marking.q_start, 180);
  EXPECT_EQ(state.marking.t_end, 500);
  const auto drawn = segments();
  std::vector<int> marker_columns;
  for (std::size_t i = 3002; i < drawn.size(); i += 2) {
    EXPECT_EQ(drawn[i + 1].colour, cyan);
    EXPECT_EQ(drawn[i + 1].y1, 30);
    EXPECT_EQ(drawn[i + 1].y2, 269);
    marker_columns.push_back(drawn[i + 1].x2);
  }
  EXPECT_EQ(marker_columns, (std::vector<int>{300, 400, 500}));
}

TEST_F(Selection, AnyOtherAnswerLeavesTheFiducialMenu) {
  bench.click(160);
  bench.type({"y", "q"});
  select_waveform(state, bench.io);
  EXPECT_TRUE(bench.platform.typed_lines.empty());
  EXPECT_TRUE(bench.platform.clicks.empty());
  EXPECT_EQ(state.marking.pq_point, 0);
}

}  // namespace
}  // namespace ba

// Waveform selection (command s) and fiducial marking: the click arithmetic,
// the nearest-beat search, the range check, the records and the passes.
#include "marking/marking.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "marking/proposal_overlay.h"
#include "support/display_bench.h"
#include "support/state_setup.h"

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
  constexpr auto largest = std::numeric_limits<std::int32_t>::max();
  constexpr auto smallest = std::numeric_limits<std::int32_t>::min();
  struct Row {
    const char* what;
    float x;
    float scale;
    std::int32_t index;
  };
  const Row rows[] = {
      {"beat window, column 118", click_x(118), beat_scale, 196},
      {"beat window, column 119", click_x(119), beat_scale, 198},
      // Index 200 is drawn at pixel 120, yet the quotient falls just below 200.
      {"beat window, column 120: truncated below the R peak", click_x(120), beat_scale, 199},
      {"beat window, column 121", click_x(121), beat_scale, 201},
      {"beat window, middle", 0.5f, beat_scale, 833},
      {"preview, middle", 0.5f, preview_scale, 3333},
      {"preview, left edge", 0.0f, preview_scale, 0},
      {"preview, far right beyond the trace", click_x(999), preview_scale, 6659},
      // Defined for any quotient: saturated, and 0 for no number at all.
      {"a quotient beyond the integers", 1.0e30f, 1.0e-30f, largest},
      {"a zero scale", 0.5f, 0.0f, largest},
      {"a quotient below the integers", -1.0e30f, 1.0e-30f, smallest},
      {"not a number", std::nanf(""), beat_scale, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(click_sample(row.x, 0.0f, row.scale), row.index);
  }
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
struct Preview {
  DisplayBench bench;
  ProgramState& state = *bench.state;

  Preview() {
    bench.spike(1000, 100);
    bench.spike(2500, 100);
    detect(bench.matrix(), state.conditions, preview_span, preview_reference_end, true,
           state.detection);
    set_display_geometry(preview_span, state.detection.amp_max, state.geometry);
    sort_candidates(state.detection);  // 2501, 1001, 100
    bench.io.open_log(state.paths.stlog_path);
    bench.io.open_window(graphics_unit);
  }

  void list(const std::vector<std::int16_t>& positions) {
    test::set_candidates(state.detection, positions);
  }

  std::string log() {
    bench.io.close_log();
    return bench.read("abcstlog.txt");
  }
  std::vector<std::string> console() const { return bench.platform.lines_of(console_unit); }
  std::vector<std::string> window() const { return bench.platform.lines_of(graphics_unit); }
  std::vector<Segment> segments() const { return bench.platform.segments_of(graphics_unit); }
};

struct Selection : ::testing::Test, Preview {};

TEST_F(Selection, NearestBeatIsLoggedDrawnEnlargedAndBecomesTheTemplate) {
  bench.click(160);  // sample 1,066
  bench.type({"y", "x"});
  select_waveform(marking_context(state), bench.io);

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

TEST(SelectionRange, AcceptedRangeIs201To3000) {
  struct Row {
    const char* what;
    std::int16_t beat;
    bool accepted;
  };
  const Row rows[] = {{"one below the range", 200, false},
                      {"the earliest selectable beat", 201, true},
                      {"the latest selectable beat", 3000, true},
                      {"one beyond the range", 3001, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Preview run;
    run.list({row.beat});
    run.bench.click(row.beat * 15 / 100);
    run.bench.type({"y", "x"});
    select_waveform(marking_context(run.state), run.bench.io);
    EXPECT_EQ(run.state.marking.selected_beat, row.beat);
    if (row.accepted) {
      EXPECT_EQ(run.console().size(), 1u);
      EXPECT_EQ(run.state.recognition.corr_lead, run.state.conditions.first_lead);
      EXPECT_EQ(run.state.marking.window_start, row.beat - 200);
    } else {
      // Shown in the window, which the loop top clears at once, and kept on the console.
      const std::string error = " エラー、200から3000msecの範囲にしてください。";
      EXPECT_EQ(run.console(), std::vector<std::string>{error});
      EXPECT_EQ(run.window().back(), error);
      EXPECT_EQ(run.state.recognition.corr_lead, 0);
      EXPECT_EQ(run.state.marking.window_start, 0);
      EXPECT_EQ(run.bench.platform.typed_lines.size(), 1u);  // the fiducial menu never asked
      EXPECT_EQ(run.log(), "");
    }
  }
}

// The click's marker stays either way; only the single letter n or N declines.
TEST(SelectionAnswer, OnlyNDeclines) {
  struct Row {
    const char* answer;
    bool declines;
  };
  for (const Row& row :
       {Row{"n", true}, Row{"N", true}, Row{"no", false}, Row{"Y", false}, Row{"ok", false}}) {
    SCOPED_TRACE(row.answer);
    Preview run;
    run.bench.click(160);
    run.bench.type({row.answer, "x"});
    select_waveform(marking_context(run.state), run.bench.io);
    EXPECT_EQ(run.state.geometry.marker_pos, 0.16f);
    EXPECT_EQ(run.state.marking.selected_beat, row.declines ? 0 : 1001);
    EXPECT_EQ(run.console().size(), row.declines ? 0u : 1u);
    EXPECT_EQ(run.bench.platform.typed_lines.size(), row.declines ? 1u : 0u);
  }
}

TEST_F(Selection, ClicksFarRightOfThePreviewAreRangeChecked) {
  // After v or c the list holds candidates of the whole recording.
  list({31900, 20000, 5000});
  bench.click(999);  // sample 6,660: nearest is 5,000
  bench.type({"y"});
  select_waveform(marking_context(state), bench.io);
  EXPECT_EQ(state.marking.selected_beat, 5000);
  EXPECT_EQ(state.recognition.corr_lead, 0);

  // Nothing within 4,000 samples and no earlier selection: rejected as 0.
  list({31900, 20000});
  state.marking.selected_beat = 0;
  bench.click(999);
  bench.type({"y"});
  select_waveform(marking_context(state), bench.io);
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
  select_waveform(marking_context(state), bench.io);

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
  test::set_fiducials(state.marking, 150, 180, 500);
  bench.click(160);
  bench.type({"y", "s"});
  for (int column : {300, 400, 500}) bench.click(column);
  bench.type({"n", "x"});
  select_waveform(marking_context(state), bench.io);
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
  select_waveform(marking_context(state), bench.io);
  EXPECT_TRUE(bench.platform.typed_lines.empty());
  EXPECT_TRUE(bench.platform.clicks.empty());
  EXPECT_EQ(state.marking.pq_point, 0);
}

// The J point, clicked after a confirmed pass when the person asks: kept
// inside [Q start, T end], left to the proposal otherwise, and never carried
// over from an earlier pass.
TEST_F(Selection, JPointIsClickedAfterTheConfirmedPointsOnlyWhenAsked) {
  struct JClick : MarkingListener {
    std::optional<float> x;
    int passes = 0;
    void fiducial_pass_started(const MarkingContext&) override { ++passes; }
    std::optional<float> j_point_click(const MarkingContext&) override { return x; }
    void j_point_refused() override { ++refused; }
    int refused = 0;
  };
  const struct {
    const char* what;
    std::optional<float> x;
    std::int32_t j;
  } rows[] = {
      {"not asked: left to the proposal", std::nullopt, 0},
      {"column 200, inside the points", click_x(200), 333},
      {"column 121, on the Q start", click_x(121), 201},
      {"column 119, before the Q start", click_x(119), 0},
      {"column 500, after the T end", click_x(500), 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Preview p;
    p.state.marking.j_point = 250;  // from an earlier pass
    JClick listener;
    listener.x = row.x;
    p.bench.click(160);
    p.bench.type({"y", "s"});
    for (int column : {100, 121, 400}) p.bench.click(column);  // 166, 201, 666
    p.bench.type({"y", "x"});
    select_waveform(marking_context(p.state, &listener), p.bench.io);
    EXPECT_EQ(listener.passes, 1);
    EXPECT_EQ(p.state.marking.j_point, row.j);
    EXPECT_EQ(listener.refused, row.x && row.j == 0 ? 1 : 0) << "a refused click is said";
    // Its marker only when kept; the program's lines are those of a pass.
    const auto drawn = p.segments();
    EXPECT_EQ(drawn.back().colour == cyan && drawn.back().x2 == 200, row.j == 333);
    EXPECT_EQ(p.console().size(), 1u + 6);
  }
}

// A proposed point is taken by clicking the column that marks it, or the
// nearest index a column can mark (columns 118..121 mark 196, 198, 199, 201
// at 0.6 pixel per sample, as in the click table above).
TEST(ProposalOverlay, ColumnsMarkTheProposedIndexOrTheNearest) {
  const struct {
    std::int32_t index;
    std::int16_t column;
  } rows[] = {{196, 118}, {198, 119}, {199, 120}, {200, 120}, {201, 121}, {197, 118}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.index);
    EXPECT_EQ(click_column(row.index, 0.0f, beat_scale), row.column);
  }
  MarkingState marking;
  marking.beat_x_scale = beat_scale;
  DisplayGeometry geometry;
  const ProposalOverlay overlay = compose_proposal_overlay(marking, geometry, {150, 180, 0, 1001});
  ASSERT_EQ(overlay.marks.size(), 2u) << "points off the one-beat display are left out";
  EXPECT_EQ(overlay.marks[0].label, "PQ");
  EXPECT_EQ(overlay.marks[1].label, "Q");
  EXPECT_EQ(overlay.marks[1].top_row, 30);
  EXPECT_EQ(overlay.marks[1].bottom_row, 269);
}

}  // namespace
}  // namespace ba

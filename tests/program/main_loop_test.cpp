// The display set-up, the main display loop with its menu, and the exit.
#include "program/main_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/display_bench.h"

namespace ba {
namespace {

using test::DisplayBench;
using test::Segment;

constexpr std::uint32_t blue = rgb(0, 0, 240);
constexpr std::uint32_t cyan = rgb(0, 255, 255);
const std::string title = " d:\\data\\map\\abc.dat           ecg dataを表示";
const std::string menu_line =
    " 波形選択 (s), 全心拍閲覧 (v),全波形計算 (c),保存 (d), 戻る (o), 終了 (x)";

// Printing off, as most menu tests want it; the display set-up, then the loop.
void quiet(DisplayBench& bench) { bench.state->conditions.print_flag = 0; }
void run_menu(DisplayBench& bench) {
  display_setup(*bench.state, bench.io);
  run_main_loop(*bench.state, bench.io, bench.platform);
}

struct Menu : ::testing::Test {
  DisplayBench bench;
  ProgramState& state = *bench.state;

  Menu() { quiet(bench); }

  void run() { run_menu(bench); }
  std::vector<std::string> window() const { return bench.platform.lines_of(graphics_unit); }
  // The graphics window is closed before the log, and both are the last acts.
  void expect_exit_sequence() const {
    const auto& calls = bench.platform.calls;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "close_window 12");
    EXPECT_EQ(calls.back(), "close_log");
  }
};

TEST_F(Menu, SetUpWithPrintingOpensThePageFirst) {
  state.conditions.print_flag = 1;
  display_setup(state, bench.io);
  EXPECT_EQ(bench.platform.opened_windows, (std::vector<int>{14, 12}));
  EXPECT_EQ(bench.platform.active, graphics_unit);
  EXPECT_EQ(bench.platform.background[14], rgb(255, 255, 255));
  EXPECT_EQ(state.print.image_no, 1);
  EXPECT_EQ(state.print.print_unit, 14);
  const auto& calls = bench.platform.calls;
  const auto log_opened = std::find(calls.begin(), calls.end(), "open_log abcstlog.txt");
  const auto window_opened = std::find(calls.begin(), calls.end(), "open_window 12");
  EXPECT_LT(std::find(calls.begin(), calls.end(), "open_window 14"), log_opened);
  EXPECT_LT(log_opened, window_opened);
  EXPECT_EQ(window(), std::vector<std::string>{title});
}

TEST_F(Menu, SetUpWithoutPrintingOpensNoPage) {
  display_setup(state, bench.io);
  EXPECT_EQ(bench.platform.opened_windows, (std::vector<int>{12}));
  EXPECT_EQ(state.print.image_no, 0);
  EXPECT_TRUE(std::filesystem::exists(bench.folder / "abcstlog.txt"));
  EXPECT_EQ(window(), std::vector<std::string>{title});
}

TEST_F(Menu, NoDataEndsAfterOneTypedNumber) {
  bench.type({"5"});
  run();
  EXPECT_EQ(window(),
            (std::vector<std::string>{title, " d:\\data\\map\\abc.dat           No data!  Hit"}));
  EXPECT_TRUE(bench.platform.typed_lines.empty());
  EXPECT_EQ(bench.platform.clears[graphics_unit], 0);
  expect_exit_sequence();
}

TEST_F(Menu, LoopTopDrawsClippedTracesAndCandidateMarkers) {
  bench.spike(1000, 100);    // sets amp_max
  bench.spike(2000, 1000);   // beyond the window at the bottom
  bench.spike(3000, -1000);  // and at the top
  bench.type({"x"});
  run();
  EXPECT_EQ(window(), (std::vector<std::string>{title, menu_line}));
  EXPECT_EQ(bench.platform.clears[graphics_unit], 1);

  const auto drawn = bench.platform.segments_of(graphics_unit);
  ASSERT_EQ(drawn.size(), 3u * preview_span + 3 * 2);
  int lowest = 0, highest = 299;
  for (int i = 0; i < 3 * preview_span; ++i) {
    EXPECT_EQ(drawn[i].colour, blue);
    lowest = std::max(lowest, drawn[i].y2);
    highest = std::min(highest, drawn[i].y2);
  }
  EXPECT_EQ(lowest, 299);
  EXPECT_EQ(highest, 0);
  // Candidates 3,001, 2,001 and 1,001, latest first, each a line from row 30 to 269.
  std::vector<int> columns;
  for (std::size_t i = 3 * preview_span; i < drawn.size(); i += 2) {
    const Segment& line = drawn[i + 1];
    EXPECT_EQ(line.colour, cyan);
    EXPECT_EQ(line.x1, line.x2);
    EXPECT_EQ(line.y1, 30);
    EXPECT_EQ(line.y2, 269);
    columns.push_back(line.x2);
  }
  EXPECT_EQ(columns, (std::vector<int>{450, 300, 150}));
  expect_exit_sequence();
}

TEST_F(Menu, NoCandidatesDrawsTracesOnly) {
  for (int t = 100; t <= 1000; ++t) bench.matrix()(state.conditions.first_lead, t) = 20;
  state.conditions.r_ratio = 1.0f;
  bench.type({"X"});
  run();
  EXPECT_EQ(bench.platform.segments_of(graphics_unit).size(), 3u * preview_span);
  expect_exit_sequence();
}

TEST_F(Menu, AnythingButACommandRedraws) {
  bench.spike(1000, 100);
  bench.type({"o", "q", "ss", "", "save", "  O", "X"});
  run();
  EXPECT_EQ(bench.platform.clears[graphics_unit], 7);
  const auto shown = window();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), menu_line), 7);
  EXPECT_TRUE(bench.platform.typed_lines.empty());
  expect_exit_sequence();
}

TEST_F(Menu, SelectInEitherCase) {
  bench.spike(1000, 100);
  for (int i = 0; i < 2; ++i) bench.click(150);
  bench.type({"s", "n", "S", "n", "x"});
  run();
  const auto shown = window();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), " 選択する波形の線の近くをClick"), 2);
  EXPECT_EQ(bench.platform.clears[graphics_unit], 3);
  expect_exit_sequence();
}

// The reference beat of a one-spike recording, as command s would leave it.
void take_spike_as_template(ProgramState& state) {
  state.recognition.corr_lead = state.conditions.first_lead;
  for (int i = 1; i <= template_len; ++i)
    state.recognition.template_wave(i) =
        state.recording.sample_matrix(state.conditions.first_lead, 1001 + i - 26);
}

TEST(MenuCommands, ComputeAndSaveInEitherCase) {
  for (const char* answer : {"c", "C"}) {
    SCOPED_TRACE(answer);
    DisplayBench bench;
    quiet(bench);
    bench.spike(1000, 100);
    take_spike_as_template(*bench.state);
    bench.type({answer, "x"});
    run_menu(bench);
    EXPECT_EQ(bench.state->detection.span_len, max_span);
    EXPECT_EQ(bench.state->selection.n_accepted, 1);
    EXPECT_EQ(bench.state->selection.accepted_beats(1), 1001);
    // The map gets the measured beat once, with its areas.
    ASSERT_EQ(bench.platform.measured.size(), 1u);
    ASSERT_EQ(bench.platform.measured[0].size(), 1u);
    EXPECT_EQ(bench.platform.measured[0][0].r_ms, 1001);
    for (int n : {1, 64})
      EXPECT_EQ(bench.platform.measured[0][0].areas(n), bench.state->selection.aqrst(n, 1));
  }
  for (const char* answer : {"d", "D"}) {
    SCOPED_TRACE(answer);
    DisplayBench bench;
    quiet(bench);
    bench.spike(1000, 100);
    bench.type({answer, "y", "x"});
    run_menu(bench);
    EXPECT_TRUE(std::filesystem::exists(bench.folder / "abcst.txt"));
    // The window keeps saying what d did after the redraw wipes its line.
    ASSERT_EQ(bench.platform.saved.size(), 1u);
    EXPECT_EQ(bench.platform.saved[0].outcome, SaveOutcome::saved);
    EXPECT_EQ(bench.platform.saved[0].beats, 0);
    EXPECT_EQ(bench.platform.saved[0].result_path, "d:\\data\\map\\abcst.txt");
  }
}

TEST_F(Menu, ViewInEitherCase) {
  bench.spike(1000, 100);
  take_spike_as_template(state);
  // The review waits for one click per accepted beat.
  bench.click(10);
  bench.click(10);
  bench.type({"v", "V", "x"});
  run();
  EXPECT_EQ(state.detection.span_len, max_span);
  EXPECT_EQ(state.selection.n_accepted, 1);
  EXPECT_EQ(bench.platform.measured.size(), 2u) << "each v hands its selection to the map";
  EXPECT_TRUE(bench.platform.clicks.empty());
  expect_exit_sequence();
}

}  // namespace
}  // namespace ba

// Print pages of command c: the 4 x 8 grid, page turns, saved images and the
// log records of every printed beat.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "dialogue/paths.h"
#include "program/program_state.h"
#include "review/review.h"
#include "support/fake_platform.h"
#include "support/state_setup.h"

namespace ba {
namespace {

constexpr std::uint32_t strip_colour = rgb(0, 0, 208);

// A program run with printing on, as the display set-up leaves it: page 1
// open as window 14, the log open.
struct PrintRun {
  test::TestBench bench;
  test::FakePlatform& platform = bench.platform;
  std::unique_ptr<ProgramState> owned_state = std::make_unique<ProgramState>();
  ProgramState& state = *owned_state;

  PrintRun() {
    build_paths("abcdef", state.paths);
    state.conditions.print_flag = 1;
    test::set_fiducials(state.marking, 150, 180, 500);
    bench.io.open_log(state.paths.stlog_path);
    state.print.image_no = 1;
    state.print.print_unit = 14;
    page_setup(state.print, state.paths, bench.io);
  }

  // Accepted candidates in time order, 900 samples apart from 1,000 on.
  void print_count(int count) {
    std::vector<std::int16_t> times;
    for (int b = 0; b < count; ++b) times.push_back(static_cast<std::int16_t>(1000 + 900 * b));
    print_beats(times);
  }

  void print_beats(const std::vector<std::int16_t>& earliest_first) {
    test::set_candidates(state.detection, {earliest_first.rbegin(), earliest_first.rend()});
    clear_selection(state.selection);  // as command c does before it detects
    measure_and_print_beats(compute_context(state), bench.io);
  }

  std::string log() {
    bench.io.close_log();
    return bench.read("abcdefstlog.txt");
  }

  std::string host(const std::string& file_name) const {
    return (bench.folder / file_name).string();
  }

  // Strip segments (dark blue) drawn in a window, in order.
  std::vector<test::Segment> strips(int window) const {
    std::vector<test::Segment> drawn;
    for (const auto& segment : platform.segments_of(window))
      if (segment.colour == strip_colour) drawn.push_back(segment);
    return drawn;
  }

  long call_index(const std::string& call) const {
    const auto& calls = platform.calls;
    return std::find(calls.begin(), calls.end(), call) - calls.begin();
  }
};

TEST(PrintPages, PageSetUpWritesTheRecordingNameInThePageHeader) {
  PrintRun run;
  const test::FakePlatform& platform = run.platform;
  EXPECT_EQ(platform.opened_windows, std::vector<int>{14});
  EXPECT_EQ(platform.background.at(14), rgb(255, 255, 255));
  ASSERT_EQ(platform.texts.size(), 1u);
  const test::TextDrawn& name = platform.texts.front();
  EXPECT_EQ(name.window, 14);
  EXPECT_EQ(name.font, "t'Times New Roman'h24w10");
  EXPECT_EQ(name.colour, rgb(128, 0, 128));
  EXPECT_EQ(name.x, 10);
  EXPECT_EQ(name.y, 10);
  EXPECT_EQ(name.text, "abcdef");
  EXPECT_EQ(run.state.print.off_x, 50);
  EXPECT_EQ(run.state.print.off_y, 80);
}

TEST(PrintPages, OneBeatIsLabelledDrawnClippedAndSaved) {
  PrintRun run;
  const std::int32_t r = 1523;
  const long lead = run.state.conditions.first_lead;
  run.state.recording.sample_matrix(lead, r - 50) = 3200;   // clipped to 1800: 56 up
  run.state.recording.sample_matrix(lead, r) = -100;        // 3 down
  run.state.recording.sample_matrix(lead, r + 49) = -5000;  // clipped to -1800: 56 down
  run.state.recording.sample_matrix(lead, r + 50) = 5000;   // beyond the strip
  run.print_beats({static_cast<std::int16_t>(r)});

  const test::FakePlatform& platform = run.platform;
  ASSERT_EQ(platform.texts.size(), 2u);
  EXPECT_EQ(platform.texts[1].window, 14);
  EXPECT_EQ(platform.texts[1].x, 20);
  EXPECT_EQ(platform.texts[1].y, 30);
  EXPECT_EQ(platform.texts[1].text, "  1523 ");

  const auto strip = run.strips(14);
  ASSERT_EQ(strip.size(), 100u);
  EXPECT_EQ((std::vector<int>{strip[0].x1, strip[0].y1, strip[0].x2, strip[0].y2}),
            (std::vector<int>{50, 80, 51, 24}));
  EXPECT_EQ(strip[50].y2, 83);
  EXPECT_EQ(strip[1].y2, 80);
  EXPECT_EQ((std::vector<int>{strip[99].x2, strip[99].y2}), (std::vector<int>{150, 136}));

  EXPECT_EQ(run.bench.files.replaced, std::vector<std::string>{run.host("abcdefst1.bmp")});
  EXPECT_EQ(platform.lines_of(graphics_unit), std::vector<std::string>{" "});
  EXPECT_EQ(platform.active, graphics_unit);
  EXPECT_EQ(run.log(), " print on time   1523           1\r\n off_x     50 off_y     80\r\n");
}

TEST(PrintPages, FifthBeatStartsTheSecondColumn) {
  PrintRun run;
  run.print_count(5);
  const auto strip = run.strips(14);
  ASSERT_EQ(strip.size(), 500u);
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(strip[100 * b].x1, 50) << "beat " << b + 1;
    EXPECT_EQ(strip[100 * b].y1, 80 + 110 * b) << "beat " << b + 1;
  }
  EXPECT_EQ(strip[400].x1, 155);
  EXPECT_EQ(strip[400].y1, 80);
  const std::string log = run.log();
  // The record holds the position before the advance to the next column.
  EXPECT_NE(log.find(" print on time   4600           5\r\n off_x     50 off_y    520\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(run.state.print.off_x, 155);
  EXPECT_EQ(run.state.print.off_y, 190);
}

TEST(PrintPages, ThirtyThirdBeatTurnsThePage) {
  PrintRun run;
  run.print_count(33);
  const test::FakePlatform& platform = run.platform;
  EXPECT_EQ(platform.opened_windows, (std::vector<int>{14, 15}));
  EXPECT_EQ(run.bench.files.replaced,
            (std::vector<std::string>{run.host("abcdefst1.bmp"), run.host("abcdefst2.bmp")}));
  EXPECT_EQ(run.strips(14).size(), 3200u);
  EXPECT_EQ(run.strips(14).back().x2, 785 + 100);
  const auto page2 = run.strips(15);
  ASSERT_EQ(page2.size(), 100u);
  EXPECT_EQ(page2[0].x1, 50);
  EXPECT_EQ(page2[0].y1, 80);
  // Page 1 is saved full, before page 2 opens; page 2 at the end.
  EXPECT_LT(run.call_index("save_image 14 1 1 1000 750"), run.call_index("open_window 15"));
  EXPECT_LT(run.call_index("open_window 15"), run.call_index("save_image 15 1 1 1000 750"));
  EXPECT_EQ(run.state.print.image_no, 2);
  EXPECT_EQ(run.state.print.print_unit, 15);
  // The new page carries its own header.
  EXPECT_EQ(std::count_if(platform.texts.begin(), platform.texts.end(),
                          [](const test::TextDrawn& t) { return t.text == "abcdef"; }),
            2);
}

// A page that cannot be saved is said on the console and in the graphics
// window with its file and the reason; the next page is drawn and saved.
TEST(PrintPages, FailedPageSaveIsReportedAndTheRunGoesOn) {
  PrintRun run;
  std::filesystem::create_directory(run.bench.folder / "abcdefst1.bmp");
  run.print_count(33);
  const std::vector<std::string> report = {
      " 印刷ページを保存できませんでした",
      " d:\\data\\map\\abcdefst1.bmp: is a folder, not a file"};
  EXPECT_EQ(run.platform.lines_of(console_unit), report);
  const auto window = run.platform.lines_of(graphics_unit);
  ASSERT_GE(window.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(window.begin(), window.begin() + 2), report);
  EXPECT_TRUE(std::filesystem::is_directory(run.bench.folder / "abcdefst1.bmp"));
  EXPECT_EQ(run.strips(15).size(), 100u);
  EXPECT_EQ(run.bench.read("abcdefst2.bmp"), "save_image 15 1 1 1000 750");
}

TEST(PrintPages, SixthPageIsSavedBesideTheFirstFive) {
  PrintRun run;
  run.state.print.image_no = 5;
  run.state.print.print_unit = 18;
  run.state.print.off_x = 785;  // page 5 is full
  run.state.print.off_y = 520;
  run.print_count(1);
  EXPECT_EQ(run.bench.files.replaced,
            (std::vector<std::string>{run.host("abcdefst5.bmp"), run.host("abcdefst6.bmp")}));
  EXPECT_EQ(run.state.print.print_unit, 19);
}

TEST(PrintPages, SecondRunContinuesOnTheSamePage) {
  PrintRun run;
  run.print_count(2);
  run.print_count(1);
  const auto strip = run.strips(14);
  ASSERT_EQ(strip.size(), 300u);
  EXPECT_EQ(strip[200].x1, 50);
  EXPECT_EQ(strip[200].y1, 300);
  // Both runs save the page under the same name.
  EXPECT_EQ(run.bench.files.replaced,
            (std::vector<std::string>{run.host("abcdefst1.bmp"), run.host("abcdefst1.bmp")}));
  EXPECT_NE(run.log().find(" print on time   1000           1\r\n off_x     50 off_y    300"),
            std::string::npos);
}

TEST(PrintPages, NoPrintedBeatSavesNoPage) {
  PrintRun run;
  run.print_beats(std::vector<std::int16_t>{0, 0});
  EXPECT_TRUE(run.bench.files.replaced.empty());
  EXPECT_EQ(run.platform.lines_of(graphics_unit), std::vector<std::string>{" "});
  EXPECT_EQ(run.log(), "");
}

TEST(PrintPages, PrintingOffWritesNoRecordAndNoImage) {
  PrintRun run;
  run.state.conditions.print_flag = 0;
  run.print_count(3);
  EXPECT_EQ(run.state.selection.n_accepted, 3);
  EXPECT_TRUE(run.bench.files.replaced.empty());
  EXPECT_TRUE(run.strips(14).empty());
  EXPECT_EQ(run.log(), "");
}

}  // namespace
}  // namespace ba

// Command d: the question, the answers that save, the result file's exact
// bytes, and a write that fails.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialogue/paths.h"
#include "dialogue/program_state.h"
#include "display/textform.h"
#include "review/messages.h"
#include "review/selection.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

std::unique_ptr<ProgramState> state_with_paths() {
  auto state = std::make_unique<ProgramState>();
  build_paths("abcdef", state->paths);
  return state;
}

// Beat b at 1000 b + 200, lead areas of both signs and growing magnitude.
void fill_selection(Selection& selection, std::int32_t n) {
  selection.n_accepted = n;
  for (long b = 1; b <= n; ++b) {
    selection.accepted_beats(b) = static_cast<std::int32_t>(1000 * b + 200);
    for (long lead = 1; lead <= lead_point_count; ++lead)
      selection.aqrst(lead, b) = static_cast<std::int32_t>((lead % 2 ? -1 : 1) * lead * lead * b);
  }
}

std::string field(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%12d", value);
  return text;
}

// The expected file, built value by value: 12-character fields, six per
// line, each line ended by CRLF.
std::string expected_file(const Selection& selection) {
  std::string bytes = field(selection.n_accepted) + "\r\n";
  for (long b = 1; b <= selection.n_accepted; ++b) {
    bytes += field(selection.accepted_beats(b)) + "\r\n";
    for (long lead = 1; lead <= lead_point_count; ++lead) {
      bytes += field(selection.aqrst(lead, b));
      if (lead % 6 == 0 || lead == lead_point_count) bytes += "\r\n";
    }
  }
  return bytes;
}

std::vector<std::string> split_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = bytes.find("\r\n", start);
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(ResultFile, ThreeBeatsGiveThirtySevenLinesOfExactWidths) {
  test::TestBench bench;
  auto state = state_with_paths();
  fill_selection(state->selection, 3);
  state->selection.aqrst(64, 3) = INT_MIN;  // widest field: a blank still leads
  state->selection.aqrst(1, 2) = INT_MAX;
  const std::string expected = expected_file(state->selection);
  bench.platform.typed_lines = {"y"};
  save_selection(*state, bench.io);

  const std::string bytes = bench.read("abcdefst.txt");
  EXPECT_EQ(bytes, expected);
  const auto lines = split_lines(bytes);
  ASSERT_EQ(lines.size(), 37u);
  EXPECT_EQ(lines[0], "           3");
  EXPECT_EQ(lines[1], "        1200");
  EXPECT_EQ(lines[13], "        2200");
  EXPECT_EQ(lines[25], "        3200");
  EXPECT_EQ(lines[2].substr(0, 24), "          -1           4");
  EXPECT_EQ(lines[12].size(), 48u);
  EXPECT_EQ(lines[36].substr(36), " -2147483648");
  EXPECT_EQ(lines[14].substr(0, 12), "  2147483647");
}

TEST(ResultFile, EmptySelectionWritesTheSingleLineZero) {
  test::TestBench bench;
  auto state = state_with_paths();
  bench.write("abcdefst.txt", "earlier results\r\n");
  bench.platform.typed_lines = {"y"};
  save_selection(*state, bench.io);
  EXPECT_EQ(bench.read("abcdefst.txt"), "           0\r\n");
  EXPECT_EQ(bench.platform.lines_of(graphics_unit).back(), std::string(" ") + review_text::saved);
}

TEST(SaveSelection, AsksWithTheCountAndThePaddedPath) {
  test::TestBench bench;
  auto state = state_with_paths();
  fill_selection(state->selection, 5);
  bench.platform.typed_lines = {"n"};
  save_selection(*state, bench.io);

  const auto shown = bench.platform.lines_of(graphics_unit);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], std::string(" 選択心拍は           5 拍です。"));
  EXPECT_EQ(sjis_width(shown[0]), 32u);
  EXPECT_EQ(shown[1],
            std::string(" データd:\\data\\map\\abcdefst.txt        を保存します。yes or no?  <y/n>"));
  EXPECT_EQ(sjis_width(shown[1]), 70u);
}

TEST(SaveSelection, OnlyTheSingleLetterYSavesAndEveryAnswerEmpties) {
  struct Case {
    const char* typed;
    bool saves;
  };
  for (const Case& c : std::vector<Case>{{"y", true},
                                         {"Y", true},
                                         {"   y and more words", true},
                                         {"yes", false},
                                         {"n", false},
                                         {"N", false},
                                         {"", false},
                                         {"yy", false}}) {
    test::TestBench bench;
    auto state = state_with_paths();
    fill_selection(state->selection, 2);
    bench.platform.typed_lines = {c.typed};
    save_selection(*state, bench.io);

    EXPECT_EQ(bench.read("abcdefst.txt").empty(), !c.saves) << "answer \"" << c.typed << "\"";
    EXPECT_EQ(bench.platform.lines_of(graphics_unit).size(), c.saves ? 3u : 2u) << c.typed;
    EXPECT_EQ(state->selection.n_accepted, 0) << c.typed;
    EXPECT_EQ(state->selection.accepted_beats(2), 0) << c.typed;
    EXPECT_EQ(state->selection.aqrst(64, 2), 0) << c.typed;
  }
}

TEST(SaveSelection, SecondSaveFindsNoBeats) {
  test::TestBench bench;
  auto state = state_with_paths();
  fill_selection(state->selection, 2);
  bench.platform.typed_lines = {"y", "y"};
  save_selection(*state, bench.io);
  save_selection(*state, bench.io);
  EXPECT_EQ(bench.read("abcdefst.txt"), "           0\r\n");
}

// A file layer whose result-file writes fail, like a full disk or a file
// held open by another program.
class FailingWrites : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const std::filesystem::path&,
                                          std::string_view) override {
    return "no space left on device";
  }
};

TEST(SaveSelection, FailedWriteKeepsTheOldFileAndTheSelection) {
  test::TestBench bench;
  FailingWrites failing;
  Io io(bench.platform, DataFolder(bench.folder), failing);
  auto state = state_with_paths();
  fill_selection(state->selection, 2);
  bench.write("abcdefst.txt", "earlier results\r\n");
  bench.platform.typed_lines = {"y"};
  save_selection(*state, io);

  EXPECT_EQ(bench.read("abcdefst.txt"), "earlier results\r\n");
  EXPECT_EQ(state->selection.n_accepted, 2);
  EXPECT_EQ(state->selection.accepted_beats(2), 2200);
  EXPECT_EQ(state->selection.aqrst(64, 2), 64 * 64 * 2);
  const std::string failure = std::string(" ") + review_text::save_failed;
  EXPECT_EQ(bench.platform.lines_of(graphics_unit).back(), failure);
  EXPECT_EQ(bench.platform.lines_of(console_unit).front(), failure);

  // Once the file can be written again, the kept selection is saved.
  bench.platform.typed_lines = {"y"};
  save_selection(*state, bench.io);
  EXPECT_EQ(split_lines(bench.read("abcdefst.txt")).size(), 25u);
  EXPECT_EQ(state->selection.n_accepted, 0);
}

}  // namespace
}  // namespace ba

// Command d: the question, the answers that save, the result file's exact
// bytes, and a write that fails.

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dialogue/paths.h"
#include "program/program_state.h"
#include "review/messages.h"
#include "review/review.h"
#include "runtime/textform.h"
#include "support/display_bench.h"

namespace ba {
namespace {

// Beat b at 1000 b + 200, lead areas of both signs and growing magnitude.
void fill_selection(Selection& selection, std::int32_t n) {
  selection.n_accepted = n;
  for (long b = 1; b <= n; ++b) {
    selection.accepted_beats(b) = static_cast<std::int32_t>(1000 * b + 200);
    for (long lead = 1; lead <= lead_point_count; ++lead)
      selection.aqrst(lead, b) = static_cast<std::int32_t>((lead % 2 ? -1 : 1) * lead * lead * b);
  }
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

// Command d for recording abcdef, with a selection of `beats` beats.
struct SaveRun {
  test::DisplayBench bench{"abcdef"};
  ProgramState& state = *bench.state;

  explicit SaveRun(std::int32_t beats) { fill_selection(state.selection, beats); }

  SaveOutcome save(const char* answer) { return save_with(answer, bench.io); }
  SaveOutcome save_with(const char* answer, Io& io) {
    bench.type({answer});
    return save_selection(state.selection, state.paths, state.menu, io);
  }
  std::string result_file() const { return bench.read("abcdefst.txt"); }
  void earlier_result_file() const {
    std::ofstream(bench.folder / "abcdefst.txt", std::ios::binary) << "earlier results\r\n";
  }
  std::vector<std::string> window() const { return bench.platform.lines_of(graphics_unit); }
};

TEST(ResultFile, OneBeatExactBytes) {
  SaveRun run(1);
  run.save("y");
  EXPECT_EQ(run.result_file(),
            "           1\r\n"
            "        1200\r\n"
            "          -1           4          -9          16         -25          36\r\n"
            "         -49          64         -81         100        -121         144\r\n"
            "        -169         196        -225         256        -289         324\r\n"
            "        -361         400        -441         484        -529         576\r\n"
            "        -625         676        -729         784        -841         900\r\n"
            "        -961        1024       -1089        1156       -1225        1296\r\n"
            "       -1369        1444       -1521        1600       -1681        1764\r\n"
            "       -1849        1936       -2025        2116       -2209        2304\r\n"
            "       -2401        2500       -2601        2704       -2809        2916\r\n"
            "       -3025        3136       -3249        3364       -3481        3600\r\n"
            "       -3721        3844       -3969        4096\r\n");
  EXPECT_EQ(run.window().back(), std::string(" ") + review_text::saved);
}

TEST(ResultFile, ThreeBeatsGiveThirtySevenLinesOfExactWidths) {
  SaveRun run(3);
  run.state.selection.aqrst(64, 3) = INT_MIN;  // widest field: a blank still leads
  run.state.selection.aqrst(1, 2) = INT_MAX;
  run.save("y");

  const auto lines = split_lines(run.result_file());
  ASSERT_EQ(lines.size(), 37u);
  EXPECT_EQ(lines[0], "           3");
  EXPECT_EQ(lines[1], "        1200");
  EXPECT_EQ(lines[13], "        2200");
  EXPECT_EQ(lines[25], "        3200");
  EXPECT_EQ(lines[14].substr(0, 12), "  2147483647");
  EXPECT_EQ(lines[26].substr(0, 24), "          -3          12");
  EXPECT_EQ(lines[36], "      -11163       11532      -11907 -2147483648");
}

TEST(ResultFile, EmptySelectionReplacesTheFileWithTheSingleLineZero) {
  SaveRun run(0);
  run.earlier_result_file();
  run.save("y");
  EXPECT_EQ(run.result_file(), "           0\r\n");
}

TEST(SaveSelection, AsksWithTheCountAndThePaddedPath) {
  SaveRun run(5);
  run.save("n");
  const auto shown = run.window();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], std::string(" 選択心拍は           5 拍です。"));
  EXPECT_EQ(sjis_width(shown[0]), 32u);
  EXPECT_EQ(
      shown[1],
      std::string(" データd:\\data\\map\\abcdefst.txt        を保存します。yes or no?  <y/n>"));
  EXPECT_EQ(sjis_width(shown[1]), 70u);
}

TEST(SaveSelection, OnlyTheSingleLetterYSavesAndEveryAnswerEmpties) {
  struct Row {
    const char* what;
    const char* typed;
    bool saves;
  };
  const Row rows[] = {
      {"lower case", "y", true},
      {"upper case", "Y", true},
      {"the first word after blanks", "   y and more words", true},
      {"a longer word", "yes", false},
      {"a doubled letter", "yy", false},
      {"no", "n", false},
      {"upper-case no", "N", false},
      {"an empty line", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SaveRun run(2);
    EXPECT_EQ(run.save(row.typed), row.saves ? SaveOutcome::saved : SaveOutcome::declined);
    EXPECT_EQ(run.result_file().empty(), !row.saves);
    EXPECT_EQ(run.window().size(), row.saves ? 3u : 2u);
    EXPECT_EQ(run.state.selection.n_accepted, 0);
    EXPECT_EQ(run.state.selection.accepted_beats(2), 0);
    EXPECT_EQ(run.state.selection.aqrst(64, 2), 0);
  }
}

TEST(SaveSelection, SecondSaveFindsNoBeats) {
  SaveRun run(2);
  run.save("y");
  run.save("y");
  EXPECT_EQ(run.result_file(), "           0\r\n");
}

// A file layer whose result-file writes fail, like a full disk or a file
// held open by another program.
class FailingWrites : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const std::filesystem::path&, std::string_view) override {
    return "no space left on device";
  }
};

TEST(SaveSelection, FailedWriteKeepsTheOldFileAndTheSelection) {
  SaveRun run(2);
  FailingWrites failing;
  Io failing_io(run.bench.platform, DataFolder(run.bench.folder), failing);
  run.earlier_result_file();
  EXPECT_EQ(run.save_with("y", failing_io), SaveOutcome::failed);

  EXPECT_EQ(run.result_file(), "earlier results\r\n");
  EXPECT_EQ(run.state.selection.n_accepted, 2);
  EXPECT_EQ(run.state.selection.accepted_beats(2), 2200);
  EXPECT_EQ(run.state.selection.aqrst(64, 2), 64 * 64 * 2);
  const std::string failure = std::string(" ") + review_text::save_failed;
  EXPECT_EQ(run.window().back(), failure);
  EXPECT_EQ(run.bench.platform.lines_of(console_unit).front(), failure);

  // Once the file can be written again, the kept selection is saved.
  run.save("y");
  EXPECT_EQ(split_lines(run.result_file()).size(), 25u);
  EXPECT_EQ(run.state.selection.n_accepted, 0);
}

// A result file made read-only is kept as it is, even when the program runs
// as the administrator; the selection stays for a save under another name.
TEST(SaveSelection, ReadOnlyResultFileIsRefusedAndKept) {
  SaveRun run(2);
  run.earlier_result_file();
  const auto file = run.bench.folder / "abcdefst.txt";
  std::filesystem::permissions(file, std::filesystem::perms(0444));
  run.save("y");

  EXPECT_EQ(run.result_file(), "earlier results\r\n");
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0444));
  EXPECT_EQ(run.state.selection.n_accepted, 2);
  const std::string failure = std::string(" ") + review_text::save_failed;
  EXPECT_EQ(run.window().back(), failure);
  EXPECT_EQ(run.bench.platform.lines_of(console_unit),
            (std::vector<std::string>{failure, " d:\\data\\map\\abcdefst.txt: Permission denied"}));
}

TEST(SaveSelection, ReplacedResultFileKeepsItsMode) {
  SaveRun run(1);
  run.earlier_result_file();
  const auto file = run.bench.folder / "abcdefst.txt";
  std::filesystem::permissions(file, std::filesystem::perms(0600));
  run.save("y");
  EXPECT_EQ(split_lines(run.result_file()).size(), 13u);
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
}

}  // namespace
}  // namespace ba

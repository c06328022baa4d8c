#include "results/result_file.h"

#include <gtest/gtest.h>

#include <string>

#include "results/selection.h"
#include "runtime/io.h"

namespace ba {
namespace {

// The bytes command d writes for a selection.
std::string written_file(const Selection& selection) {
  std::string bytes;
  for (const auto& statement : result_statements(selection)) bytes += file_bytes(statement);
  return bytes;
}

LineFault fault_of(const ResultFileText& parsed) {
  static const LineFault none{-1, "parsed without fault"};
  const auto* fault = std::get_if<LineFault>(&parsed);
  return fault ? *fault : none;
}

TEST(ResultReader, ReadsBackWhatCommandDWrites) {
  Selection selection;
  selection.n_accepted = 3;
  selection.accepted_beats(1) = 435;
  selection.accepted_beats(2) = 1387;
  selection.accepted_beats(3) = 31999;
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    selection.aqrst(lead, 1) = static_cast<std::int32_t>(lead);
    selection.aqrst(lead, 2) = static_cast<std::int32_t>(-1000 * lead);
    selection.aqrst(lead, 3) = lead == 64 ? 2147483647 : -2147483647 - 1;
  }
  const auto parsed = parse_result_file(written_file(selection));
  ASSERT_EQ(fault_of(parsed).line, -1) << fault_of(parsed).reason;
  const auto& beats = std::get<std::vector<ResultBeat>>(parsed);
  ASSERT_EQ(beats.size(), 3u);
  EXPECT_EQ(beats[0].r_ms, 435);
  EXPECT_EQ(beats[1].r_ms, 1387);
  EXPECT_EQ(beats[2].r_ms, 31999);
  EXPECT_EQ(beats[0].areas(1), 1);
  EXPECT_EQ(beats[0].areas(64), 64);
  EXPECT_EQ(beats[1].areas(7), -7000);
  EXPECT_EQ(beats[2].areas(63), -2147483647 - 1);
  EXPECT_EQ(beats[2].areas(64), 2147483647);
}

TEST(ResultReader, EmptySelectionAndPlainLineEnds) {
  EXPECT_TRUE(std::get<std::vector<ResultBeat>>(parse_result_file("           0\r\n")).empty());
  std::string lf_file = "1\n  20\n";
  for (int line = 0; line < 8; ++line) lf_file += "1 2 3 4 5 6 7 8\n";
  const auto parsed = parse_result_file(lf_file + "\n\n");
  ASSERT_EQ(fault_of(parsed).line, -1) << fault_of(parsed).reason;
  const auto& beats = std::get<std::vector<ResultBeat>>(parsed);
  EXPECT_EQ(beats[0].r_ms, 20);
  EXPECT_EQ(beats[0].areas(64), 8);
}

TEST(ResultReader, FaultsNameTheLine) {
  const std::string areas =
      "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 "
      "28 29 30 31 32 33 34 35 36 37 38 39 40 41 42 43 44 45 46 47 48 49 50 "
      "51 52 53 54 55 56 57 58 59 60 61 62 63 64\r\n";
  struct Row {
    const char* label;
    std::string text;
    long line;
    std::string reason;
  };
  const Row rows[] = {
      {"empty file", "", 1, "the file ends before the number of beats"},
      {"count not a number", "two\r\n", 1, "'two' is not a whole number"},
      {"count with a fraction", "2.0\r\n", 1, "'2.0' is not a whole number"},
      {"count beyond 32 bits", "2147483648\r\n", 1, "'2147483648' is not a whole number"},
      {"negative count", "-1\r\n", 1, "the number of beats is negative"},
      {"two values for the count", "1 2\r\n", 1,
       "expected the number of beats alone on the line, found 2 values"},
      {"truncated before an R time", "2\r\n100\r\n" + areas, 4,
       "the file ends before the R time of beat 2"},
      {"truncated among the areas", "1\r\n100\r\n1 2 3\r\n", 4,
       "the file ends before the areas of beat 1"},
      {"too many areas", "1\r\n100\r\n" + areas.substr(0, areas.size() - 2) + " 65\r\n", 3,
       "beat 1 has more than 64 areas"},
      {"blank line among the areas", "1\r\n100\r\n1 2\r\n\r\n", 4,
       "an empty line among the areas of beat 1"},
      {"junk after the last beat", "1\r\n100\r\n" + areas + "\r\nextra\r\n", 5,
       "text after the last of 1 beats"},
      {"control bytes shown safely", "1\r\n1\x1b[2J\r\n", 2, "'1\\033[2J' is not a whole number"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const LineFault fault = fault_of(parse_result_file(row.text));
    EXPECT_EQ(fault.line, row.line);
    EXPECT_EQ(fault.reason, row.reason);
  }
}

}  // namespace
}  // namespace ba

#include "runtime/text_kit.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace ba {
namespace {

// One rule for every reader: a plain ASCII number with an optional sign.
TEST(TextKit, NumbersFollowOneRule) {
  struct Row {
    const char* label;
    const char* text;
    std::optional<double> real;
    std::optional<std::int32_t> whole;
  };
  const Row rows[] = {
      {"plain", "12", 12.0, 12},
      {"leading plus", "+7", 7.0, 7},
      {"minus", "-3", -3.0, -3},
      {"fraction", "-0.5", -0.5, std::nullopt},
      {"exponent", "95e-2", 0.95, std::nullopt},
      {"plus before exponent", "+1E+3", 1000.0, std::nullopt},
      {"two signs", "+-1", std::nullopt, std::nullopt},
      {"sign alone", "+", std::nullopt, std::nullopt},
      {"empty", "", std::nullopt, std::nullopt},
      {"blank around", " 1", std::nullopt, std::nullopt},
      {"trailing word", "1x", std::nullopt, std::nullopt},
      {"infinity", "inf", std::nullopt, std::nullopt},
      {"not a number", "nan", std::nullopt, std::nullopt},
      {"hexadecimal", "0x10", std::nullopt, std::nullopt},
      {"beyond double", "1e400", std::nullopt, std::nullopt},
      {"largest int32", "2147483647", 2147483647.0, 2147483647},
      {"past int32", "2147483648", 2147483648.0, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(parse_real(row.text), row.real) << row.label;
    EXPECT_EQ(parse_int32(row.text), row.whole) << row.label;
  }
  EXPECT_EQ(parse_int64("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(parse_float("1e39"), std::nullopt) << "beyond single precision";
  EXPECT_EQ(parse_float("0.1"), 0.1f);
}

TEST(TextKit, WordsAndFaults) {
  EXPECT_EQ(trimmed(" \t a b \r\n"), "a b");
  EXPECT_EQ(trimmed("   "), "");
  EXPECT_EQ(ascii_lower("Lead-X\xC3\x89"), "lead-x\xC3\x89");
  EXPECT_EQ(describe_fault("lay.csv", {3, "no y"}), "lay.csv:3: no y");
  EXPECT_EQ(describe_fault("lay.csv", {0, "is a folder"}), "lay.csv: is a folder");
}

// What a CSV writer quotes comes back from the reader as it was written.
TEST(TextKit, CsvFieldsRoundTrip) {
  const std::vector<std::string> written = {
      "plain", "", "a, b", "say \"x\"", " leading blank", "two\nlines", "lead,\"7\""};
  std::string line;
  for (const std::string& field : written) line += (line.empty() ? "" : ",") + csv_quoted(field);
  EXPECT_EQ(std::get<std::vector<std::string>>(csv_fields(line)), written);
  EXPECT_EQ(csv_quoted("plain"), "plain");
  EXPECT_EQ(csv_quoted("say \"x\""), "\"say \"\"x\"\"\"");
  // Blanks round unquoted fields are not part of them.
  EXPECT_EQ(std::get<std::vector<std::string>>(csv_fields(" 1 , x ,")),
            (std::vector<std::string>{"1", "x", ""}));
}

}  // namespace
}  // namespace ba

// The text form of written lines and the two readers of typed answers.

#include "runtime/textform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace ba {
namespace {

std::vector<std::string> lines(std::initializer_list<Item> items) {
  return format_statement(std::span<const Item>(items.begin(), items.size()));
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string quoted(const char* typed) { return '"' + std::string(typed) + '"'; }

TEST(WriteLine, FieldsAndTheBlankBeforeEachText) {
  struct Row {
    const char* label;
    std::vector<Item> items;
    std::string line;
  };
  const Row rows[] = {
      {"six whole numbers share one line of 72",
       {-5, 0, 12, 345, -6789, 100000},
       blanks(10) + "-5" + blanks(11) + "0" + blanks(10) + "12" + blanks(9) + "345" + blanks(7) +
           "-6789" + blanks(6) + "100000"},
      {"a number takes its field with nothing before", {std::int32_t{7}}, blanks(11) + "7"},
      {"smallest 16-bit number in 7", {std::int16_t{-32768}}, " -32768"},
      {"smallest 32-bit number in 12", {std::int32_t{-2147483647 - 1}}, " -2147483648"},
      {"a text first on a line", {"k=", 3}, " k=" + blanks(11) + "3"},
      {"a text after a number", {5, "ab"}, blanks(11) + "5 ab"},
      {"a text straight after another text", {"ab", "cd"}, " abcd"},
      {"texts and 16-bit numbers",
       {"off_x", std::int16_t{50}, "off_y", std::int16_t{80}},
       " off_x     50 off_y     80"},
      {"Japanese text and a real", {"係数 :", 0.95f}, " 係数 :  0.9500000    "},
      {"an empty statement is one blank", {}, " "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(format_statement(row.items), std::vector<std::string>{row.line});
  }
}

TEST(WriteLine, RealFields) {
  struct Case {
    float value;
    const char* field;
  };
  const Case cases[] = {
      {0.95f, "  0.9500000    "},
      {1234.5f, "   1234.500    "},
      {0.05f, "  5.0000000E-02"},
      {20000000.0f, "  2.0000000E+07"},
      {0.0f, "  0.0000000E+00"},
      {-0.0f, "  0.0000000E+00"},
      {0.5f, "  0.5000000    "},
      {1.0f, "   1.000000    "},
      {-0.95f, " -0.9500000    "},
      {0.1f, "  0.1000000    "},                        // lower bound of fixed notation
      {std::nextafter(0.1f, 0.0f), "  9.9999994E-02"},  // just below it
      {9999999.0f, "   9999999.    "},                  // seven digits before the point
      {10000000.0f, "  1.0000000E+07"},                 // upper bound
      {999999.94f, "   999999.9    "},
      {-123456.7f, "  -123456.7    "},
      {-0.00005f, " -5.0000000E-05"},
      {1.0e-38f, "  1.0000000E-38"},
      {3.4028235e38f, "  3.4028235E+38"},
      {1.00000025e-05f, "  1.0000002E-05"},  // needs nine digits to read back: rounded
  };
  for (const Case& c : cases) EXPECT_EQ(format_real(c.value), c.field) << c.value;
}

TEST(WriteLine, SixtyFourValuesBreakIntoTenLinesOfSixAndOneOfFour) {
  std::vector<Item> items;
  for (std::int32_t lead = 1; lead <= 64; ++lead) items.emplace_back(lead * 1000);
  const auto shown = format_statement(items);
  ASSERT_EQ(shown.size(), 11u);
  for (int line = 0; line < 10; ++line)
    EXPECT_EQ(shown[static_cast<std::size_t>(line)].size(), 72u);
  EXPECT_EQ(shown[10],
            blanks(7) + "61000" + blanks(7) + "62000" + blanks(7) + "63000" + blanks(7) + "64000");
}

TEST(WriteLine, LineLimitCountsShiftJisBytes) {
  std::vector<Item> six(6, Item(std::int32_t{1}));
  auto with = [&](Item last) {
    std::vector<Item> items = six;
    items.push_back(std::move(last));
    return format_statement(items);
  };
  // 72 + blank + 7 = 80 fits; one more byte starts a new line with its blank
  EXPECT_EQ(with("abcdefg").size(), 1u);
  EXPECT_EQ(with("abcdefgh").back(), " abcdefgh");
  // a Japanese character is two bytes: 72 + 1 + 2 x 4 = 81
  EXPECT_EQ(with("あいう").size(), 1u);
  EXPECT_EQ(with("あいうえ").back(), " あいうえ");
  // a number that does not fit starts a new line with no blank before its field
  std::vector<Item> reals(5, Item(1.0f));
  reals.emplace_back(std::int16_t{9});
  const auto shown = format_statement(reals);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "      9");
}

TEST(WriteLine, LongTextIsSplitWithoutCuttingACharacter) {
  const auto ascii = lines({std::string(100, 'a')});
  ASSERT_EQ(ascii.size(), 2u);
  EXPECT_EQ(ascii[0], " " + std::string(79, 'a'));
  EXPECT_EQ(ascii[1], " " + std::string(21, 'a'));

  std::string kana;
  for (int i = 0; i < 50; ++i) kana += "あ";
  const auto japanese = lines({kana});
  ASSERT_EQ(japanese.size(), 2u);
  EXPECT_EQ(sjis_width(japanese[0]), 79u);  // 80 would cut the 40th character in half
  EXPECT_EQ(sjis_width(japanese[1]), 1u + 2u * 11u);
}

TEST(ShiftJis, WidthsAndBytes) {
  EXPECT_EQ(sjis_width("abc"), 3u);
  EXPECT_EQ(sjis_width("表示する誘導：　"), 16u);  // the ideographic space is two bytes
  EXPECT_EQ(sjis_width("ｱ"), 1u);                  // half-width katakana is one
  EXPECT_EQ(sjis_width("\xF0\x9F\x98\x80"), 2u);   // no Shift-JIS form: counted as two
  EXPECT_EQ(to_sjis("d:\\data\\map\\"), "d:\\data\\map\\");
  EXPECT_EQ(to_sjis("係数＊　"), "\x8C\x57\x90\x94\x81\x96\x81\x40");
  EXPECT_EQ(to_sjis("a\U0001F600b"), "a?b");
}

TEST(ReadField, WholeNumbers) {
  struct Case {
    const char* typed;
    int width;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {"1", 3, true, 1},     {"01", 3, true, 1},
      {"001", 3, true, 1},   {"  1", 3, true, 1},
      {"   1", 3, true, 0},  {"10", 3, true, 10},
      {"100", 3, true, 100}, {"", 3, true, 0},
      {"-5", 3, true, -5},   {"+7", 3, true, 7},
      {"1 2", 3, true, 12},  {"12345", 3, true, 123},
      {"-", 3, true, 0},     {"2", 2, true, 2},
      {"1x", 3, false, 0},   {"y", 3, false, 0},
      {"0.5", 3, false, 0},  {"はい", 3, false, 0},
      {"1-", 3, false, 0},   {"99999999999", 11, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quoted(c.typed));
    std::int32_t value = -999;
    EXPECT_EQ(parse_whole_field(c.typed, c.width, value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(ReadField, RealsWithImpliedDecimals) {
  struct Case {
    const char* typed;
    bool ok;
    float value;
  };
  const Case cases[] = {
      {"95", true, 0.95f},  {"9", true, 0.09f},   {".9", true, 0.9f}, {"0.955", true, 0.95f},
      {"1.0", true, 1.0f},  {"1", true, 0.01f},   {"5", true, 0.05f}, {"", true, 0.0f},
      {"-.5", true, -0.5f}, {" 5 0", true, 0.5f}, {"5.", true, 5.0f}, {".", true, 0.0f},
      {"abc", false, 0},    {"1.2.", false, 0},   {"1e2", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quoted(c.typed));
    float value = -999.0f;
    EXPECT_EQ(parse_real_field(c.typed, 4, 2, value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(ReadField, TextKeepsWholeCharactersOfTheFirstBytes) {
  EXPECT_EQ(text_field("abcdefgh", 6), "abcdef");
  EXPECT_EQ(text_field("ab", 6), "ab    ");
  EXPECT_EQ(text_field("", 6), "      ");
  EXPECT_EQ(text_field("ab cd", 6), "ab cd ");
  EXPECT_EQ(text_field("あいう", 6), "あいう");
  EXPECT_EQ(text_field("abcdeあ", 6), "abcde ");  // the half of a character is not kept
}

TEST(ReadFree, FirstWord) {
  EXPECT_EQ(first_word("s", 10), "s         ");
  EXPECT_EQ(first_word("   y  n", 10), "y         ");
  EXPECT_EQ(first_word("", 10), "          ");
  EXPECT_EQ(first_word("    ", 10), "          ");
  EXPECT_EQ(first_word("abcdefghijkl", 10), "abcdefghij");
  EXPECT_EQ(first_word("はい", 10), "はい      ");
}

TEST(ReadFree, FirstNumberInAnyNotation) {
  struct Case {
    const char* typed;
    bool ok;
    float value;
  };
  const Case cases[] = {
      {"12", true, 12.0f},     {" -1.5e3 x", true, -1500.0f},
      {"1.5D2", true, 150.0f}, {".5", true, 0.5f},
      {"5.", true, 5.0f},      {"+2E-1", true, 0.2f},
      {"3 4", true, 3.0f},     {"abc", false, 0},
      {"1e", false, 0},        {"", false, 0},
      {".", false, 0},         {"12ab", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(quoted(c.typed));
    float value = -999.0f;
    EXPECT_EQ(parse_free_real(c.typed, value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace ba

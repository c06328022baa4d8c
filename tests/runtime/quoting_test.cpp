// Typed text as messages quote it, and the test for clean text that the
// recording name must pass. Expected quotations are written out by hand, in
// the form GNU tools give.

#include "runtime/quoting.h"

#include <gtest/gtest.h>

#include <string>

namespace ba {
namespace {

TEST(Quote, EveryByteVisibleNothingRaw) {
  struct Row {
    const char* label;
    std::string bytes;
    const char* shown;
  };
  const Row rows[] = {
      {"empty", "", "''"},
      {"plain ASCII", "abc 1.5", "'abc 1.5'"},
      {"Japanese stays as it is", "データ", "'データ'"},
      {"tab, newline and carriage return", "a\tb\nc\r", "'a\\tb\\nc\\r'"},
      {"NUL in the middle", std::string("a\0b", 3), "'a\\000b'"},
      {"escape sequence", "\x1b[2J", "'\\033[2J'"},
      {"delete", "\x7f", "'\\177'"},
      {"C1 control U+009B, both bytes", "\xc2\x9b", "'\\302\\233'"},
      {"U+00A0 is no control", "\xc2\xa0", "'\xc2\xa0'"},
      {"a lone continuation byte", "\x80z", "'\\200z'"},
      {"a cut three-byte character", "\xe3\x83", "'\\343\\203'"},
      {"an overlong slash", "\xc0\xaf", "'\\300\\257'"},
      {"a UTF-16 surrogate", "\xed\xa0\x80", "'\\355\\240\\200'"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", "'\\364\\220\\200\\200'"},
      {"the quote and the backslash", "it's a\\b", "'it\\'s a\\\\b'"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(quote(row.bytes), row.shown);
  }
}

// A word from a file is shown up to 20 bytes; a cut is marked after the quote.
TEST(Quote, LongWordsAreCut) {
  EXPECT_EQ(quote_word("12345678901234567890"), "'12345678901234567890'");
  EXPECT_EQ(quote_word("123456789012345678901"), "'12345678901234567890'...");
  EXPECT_EQ(quote_word("ab\x1b[2J", 3), "'ab\\033'...");
}

TEST(CleanText, ValidUtf8WithoutControls) {
  struct Row {
    const char* label;
    std::string bytes;
    bool clean;
  };
  const Row rows[] = {
      {"ASCII name", "demo", true},
      {"Japanese name", "心電図", true},
      {"four-byte character", "\xf0\x9f\x98\x80", true},
      {"U+00A0, first after the C1 set", "\xc2\xa0", true},
      {"U+001F", "a\x1f", false},
      {"delete", "a\x7f", false},
      {"U+0080, first of the C1 set", "\xc2\x80", false},
      {"U+009F, last of the C1 set", "\xc2\x9f", false},
      {"Latin-1 byte", "caf\xe9", false},
      {"overlong NUL", "\xc0\x80", false},
      {"surrogate", "\xed\xb0\x80", false},
      {"cut short at the end", "ab\xe3", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(is_clean_text(row.bytes), row.clean);
  }
}

}  // namespace
}  // namespace ba

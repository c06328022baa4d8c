// The recording name and the paths built from it.

#include "dialogue/paths.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace ba {
namespace {

std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

RecordingPaths built(const std::string& name) {
  RecordingPaths paths;
  build_paths(name, paths);
  return paths;
}

void expect_file_paths(const RecordingPaths& paths, const std::string& stem) {
  const std::string folder = "d:\\data\\map\\";
  EXPECT_EQ(paths.st_txt_path, padded(folder + stem + "st.txt", 32));
  EXPECT_EQ(paths.stlog_path, padded(folder + stem + "stlog.txt", 32));
  for (int n = 1; n <= 5; ++n)
    EXPECT_EQ(paths.image_paths[static_cast<std::size_t>(n - 1)],
              padded(folder + stem + "st" + std::to_string(n) + ".bmp", 32));
}

TEST(RecordingPaths, NameShorterThanSixCharacters) {
  struct Case {
    const char* typed;
    int name_length;
    const char* stem;
  };
  const Case cases[] = {
      {"abc", 3, "abc"}, {"ab cd", 2, "ab"}, {"", 0, ""}, {" abc", 0, ""}, {"abcde", 5, "abcde"},
  };
  for (const Case& c : cases) {
    const RecordingPaths paths = built(text_field(c.typed, 6));
    EXPECT_EQ(paths.name_length, c.name_length) << c.typed;
    EXPECT_EQ(paths.recording_path, padded(std::string("d:\\data\\map\\") + c.stem + ".dat", 30));
    expect_file_paths(paths, c.stem);
  }
  EXPECT_EQ(built("abc   ").recording_path, "d:\\data\\map\\abc.dat" + std::string(11, ' '));
}

// Six characters with no blank: the recording is named by all six (a name
// typed with its extension names its file in full); the other files drop one
// trailing ".dat".
TEST(RecordingPaths, SixCharactersWithoutBlank) {
  struct Case {
    const char* typed;
    const char* stem;
  };
  const Case cases[] = {
      {"abcdefgh", "abcdef"}, {"ab.dat", "ab"}, {"abc.dat", "abc.da"}, {".dat.d", ".dat.d"}};
  for (const Case& c : cases) {
    const RecordingPaths paths = built(text_field(c.typed, 6));
    EXPECT_EQ(paths.name_length, 6) << c.typed;
    EXPECT_EQ(paths.recording_path, padded("d:\\data\\map\\" + text_field(c.typed, 6), 30));
    expect_file_paths(paths, c.stem);
  }
}

TEST(RecordingPaths, WidthsCountShiftJisBytes) {
  const RecordingPaths paths = built(text_field("あいう", 6));
  EXPECT_EQ(paths.recording_path, std::string("d:\\data\\map\\あいう") + std::string(12, ' '));
  EXPECT_EQ(sjis_width(paths.st_txt_path), 32u);
  EXPECT_EQ(built(text_field("あい", 6)).name_length, 4);
}

TEST(RecordingPaths, LaterPrintPagesAreNamedLikeTheFirstFive) {
  const RecordingPaths paths = built("abc   ");
  EXPECT_EQ(image_path(paths, 1), paths.image_paths[0]);
  EXPECT_EQ(image_path(paths, 5), padded("d:\\data\\map\\abcst5.bmp", 32));
  EXPECT_EQ(image_path(paths, 6), padded("d:\\data\\map\\abcst6.bmp", 32));
  EXPECT_EQ(image_path(built("ab.dat"), 12), padded("d:\\data\\map\\abst12.bmp", 32));
  // never cut short, even past the width
  EXPECT_EQ(image_path(built("abcdef"), 1234567890), "d:\\data\\map\\abcdefst1234567890.bmp");
  EXPECT_THROW(image_path(paths, 0), std::out_of_range);
}

TEST(RecordingName, NamesThatWouldLeaveTheFolderAreRefusedAndAskedAgain) {
  test::TestBench bench;
  // Then names that are not text: an escape sequence, a C1 control (CSI),
  // Latin-1 and a lone UTF-8 continuation byte.
  bench.platform.typed_lines = {"a/b",
                                "..",
                                "c:x",
                                "a\\b",
                                "a\tb",
                                "a.",
                                "\x1b[2J",
                                "a\xc2\x9b"
                                "2J",
                                "caf\xe9",
                                "\x80",
                                "abc"};
  RecordingPaths paths;
  ask_recording_name(bench.io, paths);
  const std::string prompt = " 解析するfile名をいれてください (xxx.dat) :";
  const std::string refusal = " このfile名は使えません（/ \\ : .. と制御文字は不可）。";
  std::vector<std::string> expected;
  for (int refused = 0; refused < 10; ++refused) {
    expected.push_back(prompt);
    expected.push_back(refusal);
  }
  expected.push_back(prompt);
  EXPECT_EQ(bench.platform.lines_of(console_unit), expected);
  EXPECT_EQ(paths.recording_name, "abc   ");
  EXPECT_EQ(paths.recording_path, padded("d:\\data\\map\\abc.dat", 30));
}

TEST(RecordingName, BlankLineIsAcceptedAsTheEmptyName) {
  test::TestBench bench;
  bench.platform.typed_lines = {""};
  RecordingPaths paths;
  ask_recording_name(bench.io, paths);
  EXPECT_EQ(paths.name_length, 0);
  EXPECT_EQ(paths.recording_path, padded("d:\\data\\map\\.dat", 30));
  EXPECT_EQ(bench.platform.lines_of(console_unit).size(), 1u);
}

}  // namespace
}  // namespace ba

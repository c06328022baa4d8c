// Where written lines go, how typed answers come back, and the files behind
// the units.

#include "runtime/io.h"

#include <gtest/gtest.h>

#include "runtime/errors.h"
#include "support/failures.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

using test::TestBench;

// A file system that refuses every write, as a full disk would.
class FullDisk : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const std::filesystem::path&, std::string_view) override {
    return "No space left on device";
  }
  std::optional<std::string> append_log(std::string_view) override {
    return "No space left on device";
  }
};

TEST(IoLines, ConsoleLinesLeaveTheActiveWindowAlone) {
  TestBench bench;
  bench.io.open_window(graphics_unit);
  bench.io.write_line(console_unit, {"abc", 5});
  EXPECT_EQ(bench.platform.active, graphics_unit);
  EXPECT_EQ(bench.platform.lines_of(console_unit), std::vector<std::string>{" abc           5"});
}

TEST(IoLines, AWindowLineActivatesItsWindowEvenWithNoItems) {
  TestBench bench;
  bench.io.open_window(14);
  bench.io.open_window(graphics_unit);
  bench.io.write_line(14, {});
  EXPECT_EQ(bench.platform.active, 14);
  EXPECT_EQ(bench.platform.lines_of(14), std::vector<std::string>{" "});
}

TEST(IoLines, LogLinesAreShiftJisWithCrLf) {
  TestBench bench;
  bench.io.open_window(graphics_unit);
  bench.io.open_log("d:\\data\\map\\abcstlog.txt     ");
  bench.io.write_line(log_unit, {"selected time", 1300});
  bench.io.write_line(log_unit, {"print on time", std::int16_t{1523}, 1});
  bench.io.write_line(log_unit, {"係数 :", 0.95f});
  EXPECT_EQ(bench.platform.active, graphics_unit);
  EXPECT_TRUE(bench.platform.lines.empty());
  EXPECT_EQ(bench.read("abcstlog.txt"),
            " selected time        1300\r\n"
            " print on time   1523           1\r\n"
            " \x8C\x57\x90\x94 :  0.9500000    \r\n");
  bench.io.close_all_files();
  EXPECT_FALSE(bench.io.log_open());
  EXPECT_THROW(bench.io.write_line(log_unit, {"late"}), std::logic_error);
}

TEST(IoLines, LogThatCannotBeOpenedIsAnOpenFailure) {
  TestBench bench;
  std::filesystem::create_directory(bench.folder / "xstlog.txt");
  const auto failure = test::io_failure_of([&] { bench.io.open_log("d:\\data\\map\\xstlog.txt"); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind(), IoFailure::Kind::open);
  EXPECT_EQ(failure->unit(), log_unit);
}

TEST(IoLines, LogLineThatCannotBeWrittenIsAWriteFailure) {
  TestBench bench;
  FullDisk full;
  Io io(bench.platform, DataFolder(bench.folder), full);
  io.open_log("d:\\data\\map\\abcstlog.txt");
  const auto failure = test::io_failure_of([&] {
    io.write_line(log_unit, {"selected time", 1300});
  });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind(), IoFailure::Kind::write);
  EXPECT_STREQ(failure->what(),
               "unit 6: file write failure: cannot write the log file: No space left on device");
}

TEST(IoReads, FieldsAndWords) {
  TestBench bench;
  bench.platform.typed_lines = {"  1", "95", "abcdefgh", "  s  x", "", "", " 2.5e1 "};
  EXPECT_EQ(bench.io.read_field_whole(console_unit, 3), 1);
  EXPECT_EQ(bench.io.read_field_real(console_unit, 4, 2), 0.95f);
  EXPECT_EQ(bench.io.read_field_text(console_unit, 6), "abcdef");
  bench.io.open_window(graphics_unit);
  bench.io.open_window(14);
  EXPECT_EQ(bench.io.read_free_text(graphics_unit, 10), "s         ");
  EXPECT_EQ(bench.platform.active, graphics_unit);  // reading from a window activates it
  EXPECT_EQ(bench.io.read_free_text(graphics_unit, 10), "          ");
  EXPECT_EQ(bench.io.read_free_real(graphics_unit), 25.0f);  // the empty line is passed over
}

TEST(IoReads, ALetterForANumberIsAConversionFailureNamingTheUnit) {
  TestBench bench;
  bench.platform.typed_lines = {"y", "q"};
  const auto on_console = test::io_failure_of([&] { bench.io.read_field_whole(console_unit, 3); });
  ASSERT_TRUE(on_console);
  EXPECT_EQ(on_console->kind(), IoFailure::Kind::conversion);
  EXPECT_EQ(on_console->unit(), console_unit);
  EXPECT_EQ(on_console->message(), "console: input conversion error: 'y  ' is not a whole number");
  bench.io.open_window(graphics_unit);
  const auto in_window = test::io_failure_of([&] { bench.io.read_free_real(graphics_unit); });
  ASSERT_TRUE(in_window);
  EXPECT_EQ(in_window->kind(), IoFailure::Kind::conversion);
  EXPECT_EQ(in_window->unit(), graphics_unit);
}

// Typed text is shown quoted with every byte visible: nothing typed reaches
// the terminal raw, and a NUL does not cut the report short.
TEST(IoReads, TypedTextInReportsIsQuotedWholeWithEscapes) {
  struct Row {
    const char* label;
    std::string typed;
    const char* report;
  };
  const Row rows[] = {
      {"a NUL inside the field", std::string("1\0x", 3),
       "console: input conversion error: '1\\000x' is not a whole number"},
      {"a screen-clearing escape sequence", "\x1b[2J",
       "console: input conversion error: '\\033[2' is not a whole number"},
      {"a quote and a backslash", "'\\",
       "console: input conversion error: '\\'\\\\ ' is not a whole number"},
      {"a C1 control (CSI)",
       "\xc2\x9b"
       "2J",
       "console: input conversion error: '\\302\\2332' is not a whole number"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    TestBench bench;
    bench.platform.typed_lines = {row.typed};
    const auto failure = test::io_failure_of([&] { bench.io.read_field_whole(console_unit, 3); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message(), row.report);
  }
}

// However the platform gets a line, only its first 64 KiB are taken apart.
TEST(IoReads, AHugeLineIsCutToItsFirst64KiB) {
  TestBench bench;
  bench.platform.typed_lines = {std::string(100'000, 'x'), std::string(100'000, 'y')};
  const auto failure = test::io_failure_of([&] { bench.io.read_free_real(console_unit); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->message(), "console: input conversion error: '" + std::string(65536, 'x') +
                                    "' is not a real number");
  EXPECT_EQ(bench.io.read_free_text(console_unit, 10), "yyyyyyyyyy");
}

TEST(IoFiles, ReadFileFailures) {
  TestBench bench;
  bench.write("short.dat", "abc");
  bench.write("long.dat", "abcdefgh");
  std::filesystem::create_directory(bench.folder / "dir.dat");
  struct Row {
    const char* label;
    const char* path;
    IoFailure::Kind kind;
  };
  const Row rows[] = {
      {"missing", "d:\\data\\map\\missing.dat", IoFailure::Kind::open},
      {"a folder", "d:\\data\\map\\dir.dat", IoFailure::Kind::open},
      {"outside the data folder", "d:\\data\\map\\..\\x.dat", IoFailure::Kind::open},
      {"shorter than asked", "d:\\data\\map\\short.dat", IoFailure::Kind::end_of_file},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto failure =
        test::io_failure_of([&] { bench.io.read_file(recording_unit, row.path, 5); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind(), row.kind);
    EXPECT_EQ(failure->unit(), recording_unit);
  }
  EXPECT_FALSE(std::filesystem::exists(bench.folder / "missing.dat"));
  const auto bytes = bench.io.read_file(recording_unit, "d:\\data\\map\\long.dat  ", 5);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcde");
}

TEST(IoFiles, TextFileIsWrittenWholeInShiftJisWithCrLf) {
  TestBench bench;
  std::vector<Item> areas;
  for (std::int32_t lead = 1; lead <= 64; ++lead) areas.emplace_back(-lead);
  const auto error = bench.io.write_text_file(
      "d:\\data\\map\\abcst.txt", {{std::int32_t{1}}, {std::int32_t{1523}}, areas, {"データ"}});
  EXPECT_FALSE(error);
  const std::string file = bench.read("abcst.txt");
  const std::string six =
      "          -1          -2          -3          -4          -5          -6\r\n";
  EXPECT_EQ(file.substr(0, 28), "           1\r\n        1523\r\n");
  EXPECT_EQ(file.substr(28, six.size()), six);
  EXPECT_EQ(file.substr(file.size() - 59),
            "         -61         -62         -63         -64\r\n \x83\x66\x81\x5B\x83\x5E\r\n");
}

TEST(IoFiles, FailedTextFileNamesThePathAndKeepsTheOldFile) {
  TestBench bench;
  bench.write("abcst.txt", "old");
  FullDisk full;
  Io io(bench.platform, DataFolder(bench.folder), full);
  const auto error = io.write_text_file("d:\\data\\map\\abcst.txt   ", {{std::int32_t{0}}});
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, "d:\\data\\map\\abcst.txt: No space left on device");
  EXPECT_EQ(bench.read("abcst.txt"), "old");
  EXPECT_TRUE(bench.io.write_text_file("c:\\abcst.txt", {{std::int32_t{0}}}));
}

TEST(IoFiles, ImagesAreSavedOnlyInsideTheDataFolder) {
  TestBench bench;
  bench.io.open_window(14);
  EXPECT_FALSE(bench.io.save_image("d:\\data\\map\\abcst1.bmp        ", 1, 1, 1000, 750));
  EXPECT_EQ(bench.read("abcst1.bmp"), "save_image 14 1 1 1000 750");  // the fake's image bytes
  EXPECT_EQ(bench.io.save_image("d:\\data\\map\\a/b.bmp", 1, 1, 1000, 750),
            "d:\\data\\map\\a/b.bmp: not a file name inside the data folder");
  EXPECT_EQ(bench.files.replaced.size(), 1u);
}

// A page image goes through the file layer like the result file: a failure
// comes back with the path and the system's reason, and the old image stays.
TEST(IoFiles, FailedImageNamesThePathAndKeepsTheOldImage) {
  TestBench bench;
  bench.write("abcst1.bmp", "old page");
  FullDisk full;
  Io io(bench.platform, DataFolder(bench.folder), full);
  EXPECT_EQ(io.save_image("d:\\data\\map\\abcst1.bmp", 1, 1, 1000, 750),
            "d:\\data\\map\\abcst1.bmp: No space left on device");
  EXPECT_EQ(bench.read("abcst1.bmp"), "old page");
}

}  // namespace
}  // namespace ba

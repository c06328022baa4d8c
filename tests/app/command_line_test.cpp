// The executable's command line and its exit statuses, run as a person or a
// driving program would run it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/program_runs.h"
#include "support/build_paths.h"

namespace ba {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(ba::test::binary_dir() / "beat_analyser")); }
  Outcome run(const std::string& arguments, const std::string& input = "",
              const std::string& environment = "") {
    return test::run_beat_analyser(folder, arguments, input, environment);
  }

  test::TempFolder temp{"command_line"};
  const fs::path& folder = temp.path();
};

TEST_F(CommandLine, HelpAndVersionAsOnAnyGnuTool) {
  Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: beat_analyser [OPTION]...\n", 0), 0u);
  for (const char* option : {"--headless", "--data-dir DIR", "--snapshot-dir DIR", "--version"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("beat_analyser ") + BEAT_VERSION + "\n");
  EXPECT_EQ(version.err, "");
}

TEST_F(CommandLine, WrongUseIsStatusOneWithAHint) {
  for (const char* arguments : {"--bogus", "--data-dir", "extra", "--headless extra"}) {
    SCOPED_TRACE(arguments);
    Outcome wrong = run(arguments);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("Try 'beat_analyser --help' for more information."),
              std::string::npos);
    EXPECT_EQ(wrong.out, "");
  }
}

TEST_F(CommandLine, WindowModeWithoutADisplaySaysSo) {
  Outcome none = run("", "", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "beat_analyser: no display to open the window on; use --headless\n");
}

TEST_F(CommandLine, HeadlessInputThatDoesNotFitIsAScriptProblem) {
  struct Row {
    const char* label;
    const char* input;
    const char* report;  // only the program's own: nothing from the toolkit
  };
  const Row rows[] = {
      {"end of input", "",
       "beat_analyser: end of input while a typed line is awaited on the console\n"},
      {"a click at a typed prompt", "!click 10 10\n",
       "beat_analyser: input line 1: a left click at (10, 10) came while a typed line is awaited "
       "on the console\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    Outcome ended = run("--headless", row.input);
    EXPECT_EQ(ended.status, 3);
    EXPECT_EQ(ended.err, row.report);
    EXPECT_NE(ended.out.find("+++++"), std::string::npos);  // the banner came first
  }
}

TEST_F(CommandLine, DataFolderDefaultsToDataMapAndNothingIsCreated) {
  // Conditions accepted, then a recording that is not there: the open report
  // names unit 10 and its status is 2.
  Outcome missing = run("--headless", "1\r\nabc\r\n");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err.rfind("beat_analyser: unit 10: file open failure", 0), 0u) << missing.err;
  // ... and the file on this machine the person would look for.
  EXPECT_NE(missing.err.find("(host file " + (folder / "data" / "map" / "abc.dat").string() + ")"),
            std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(folder / "data"));
  fs::create_directories(folder / "data" / "map");
  Outcome same = run("--headless", "1\nabc\n");
  EXPECT_EQ(same.status, 2);
  EXPECT_TRUE(fs::is_empty(folder / "data" / "map"));
}

TEST_F(CommandLine, SnapshotsAreSavedAtAnyExit) {
  Outcome ended = run("--headless --snapshot-dir=shots --data-dir elsewhere", "1\n");
  EXPECT_EQ(ended.status, 3);
  EXPECT_TRUE(fs::exists(folder / "shots" / "console.png"));
}

TEST_F(CommandLine, ARepeatedOptionTakesItsLastValue) {
  Outcome ended = run("--headless --snapshot-dir first --snapshot-dir=last", "1\n");
  EXPECT_EQ(ended.status, 3);
  EXPECT_FALSE(fs::exists(folder / "first"));
  EXPECT_TRUE(fs::exists(folder / "last" / "console.png"));
}

}  // namespace
}  // namespace ba

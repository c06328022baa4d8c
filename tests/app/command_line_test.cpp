// The executable's command line and its exit statuses, run as a person or a
// driving program would run it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/fake_platform.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs beat_analyser with `arguments` in `folder` (the working folder),
// with `input` as its standard input and `environment` before the command.
Outcome run(const fs::path& folder, const std::string& arguments, const std::string& input = "",
            const std::string& environment = "") {
  { std::ofstream(folder / "stdin.txt", std::ios::binary) << input; }
  const fs::path program = fs::path(BEAT_BINARY_DIR) / "beat_analyser";
  std::string command = "cd '" + folder.string() + "' && " + environment + " '" + program.string() +
                        "' " + arguments + " < stdin.txt > stdout.txt 2> stderr.txt";
  int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = slurp(folder / "stdout.txt");
  outcome.err = slurp(folder / "stderr.txt");
  fs::remove(folder / "stdin.txt");
  fs::remove(folder / "stdout.txt");
  fs::remove(folder / "stderr.txt");
  return outcome;
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(fs::exists(fs::path(BEAT_BINARY_DIR) / "beat_analyser")); }
  void TearDown() override { fs::remove_all(folder); }
  fs::path folder = test::make_temp_folder("command_line");
};

TEST_F(CommandLine, HelpAndVersionAsOnAnyGnuTool) {
  Outcome help = run(folder, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: beat_analyser [OPTION]...\n", 0), 0u);
  for (const char* option : {"--headless", "--data-dir DIR", "--snapshot-dir DIR", "--version"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  Outcome version = run(folder, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("beat_analyser ") + BEAT_VERSION + "\n");
  EXPECT_EQ(version.err, "");
}

TEST_F(CommandLine, WrongUseIsStatusOneWithAHint) {
  for (const char* arguments : {"--bogus", "--data-dir", "extra", "--headless extra"}) {
    SCOPED_TRACE(arguments);
    Outcome wrong = run(folder, arguments);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("Try 'beat_analyser --help' for more information."),
              std::string::npos);
    EXPECT_EQ(wrong.out, "");
  }
}

TEST_F(CommandLine, WindowModeWithoutADisplaySaysSo) {
  Outcome none = run(folder, "", "", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "beat_analyser: no display to open the window on; use --headless\n");
}

TEST_F(CommandLine, HeadlessEndOfInputIsAScriptProblem) {
  Outcome ended = run(folder, "--headless");
  EXPECT_EQ(ended.status, 3);
  // Only the program's own report: nothing from the toolkit about its environment.
  EXPECT_EQ(ended.err,
            "beat_analyser: end of input while a typed line is awaited on the console\n");
  EXPECT_NE(ended.out.find("+++++"), std::string::npos);  // the banner came first
}

TEST_F(CommandLine, HeadlessClickAtATypedPromptIsAScriptProblem) {
  Outcome clicked = run(folder, "--headless", "!click 10 10\n");
  EXPECT_EQ(clicked.status, 3);
  EXPECT_EQ(clicked.err,
            "beat_analyser: input line 1: a left click at (10, 10) came while a typed line is "
            "awaited on the console\n");
}

TEST_F(CommandLine, DataFolderDefaultsToDataMapAndNothingIsCreated) {
  // Conditions accepted, then a recording that is not there: the open report
  // names unit 10 and its status is 2.
  Outcome missing = run(folder, "--headless", "1\r\nabc\r\n");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err.rfind("beat_analyser: unit 10: file open failure", 0), 0u) << missing.err;
  EXPECT_FALSE(fs::exists(folder / "data"));
  fs::create_directories(folder / "data" / "map");
  Outcome same = run(folder, "--headless", "1\nabc\n");
  EXPECT_EQ(same.status, 2);
  EXPECT_TRUE(fs::is_empty(folder / "data" / "map"));
}

TEST_F(CommandLine, SnapshotsAreSavedAtAnyExit) {
  Outcome ended = run(folder, "--headless --snapshot-dir=shots --data-dir elsewhere", "1\n");
  EXPECT_EQ(ended.status, 3);
  EXPECT_TRUE(fs::exists(folder / "shots" / "console.png"));
}

}  // namespace
}  // namespace ba

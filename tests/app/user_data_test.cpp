// --user-data, the data folder of a start from the desktop menu: the folder
// beat-analyser in the documents folder that the person's user-dirs.dirs
// names (~/Documents without one), made when missing.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "app/program_runs.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

TEST(UserData, DataFolderInTheDocumentsFolder) {
  struct Row {
    const char* label;
    std::function<void(const fs::path& home)> before;
    const char* arguments;
    const char* input;
    int status;
    const char* report;  // part of standard error; {home} stands for the home folder
    const char* made;    // what must be there afterwards, under the home folder ("" nothing)
  };
  const auto user_dirs = [](const fs::path& home, const std::string& line) {
    fs::create_directories(home / ".config");
    test::write_host_file(home / ".config" / "user-dirs.dirs", line + "\n");
  };
  const Row rows[] = {
      {"no user-dirs.dirs: ~/Documents, made with the folder", [](const fs::path&) {},
       "--headless --user-data", "1\nabc\n", 2,
       "(host file {home}/Documents/beat-analyser/abc.dat)", "Documents/beat-analyser"},
      {"the documents folder user-dirs.dirs names, recording there",
       [&](const fs::path& home) {
         user_dirs(home, "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"");
         fs::create_directories(home / "Papers" / "beat-analyser");
         test::write_demo_recording(home / "Papers" / "beat-analyser" / "demo.dat");
       },
       "--headless --user-data", "1\ndemo\nx\n", 0, "", "Papers/beat-analyser/demostlog.txt"},
      {"a file where the documents folder would be",
       [](const fs::path& home) { test::write_host_file(home / "Documents", ""); },
       "--headless --user-data", "", 2,
       "beat_analyser: cannot make the data folder '{home}/Documents/beat-analyser': ", ""},
      {"with --data-dir too: which one is meant is not known", [](const fs::path&) {},
       "--headless --user-data --data-dir elsewhere", "", 1, "--user-data and --data-dir", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    test::TempFolder temp{"user_data"};
    const fs::path home = temp / "home";
    fs::create_directories(home);
    row.before(home);
    const test::Outcome run = test::run_beat_analyser(
        temp.path(), row.arguments, row.input,
        "env -u XDG_CONFIG_HOME HOME='" + home.string() + "' QT_QPA_PLATFORM=offscreen");
    EXPECT_EQ(run.status, row.status) << run.err;
    std::string report = row.report;
    if (const auto at = report.find("{home}"); at != std::string::npos)
      report.replace(at, 6, home.string());
    EXPECT_NE(run.err.find(report), std::string::npos) << run.err;
    if (*row.made) {
      EXPECT_TRUE(fs::exists(home / row.made));
    }
    // Nothing is made in the home folder when the command line is refused.
    if (row.status == 1) {
      EXPECT_TRUE(fs::is_empty(home));
    }
  }
}

}  // namespace
}  // namespace ba

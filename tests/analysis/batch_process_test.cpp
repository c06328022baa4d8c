#include "analysis/batch_process.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace ba {
namespace {

using test::read_host_file;
using test::TempFolder;
using test::write_host_file;

// A stand-in for the program, acting on the recording's name.
constexpr const char* stand_in =
    "#!/bin/sh\n"
    "case \"$2\" in\n"
    "  *crash*) kill -SEGV $$ ;;\n"
    "  *fail*) echo 'opening' >&2\n"
    "          echo 'beat_analyser analyse: x.dat: No such file or directory' >&2\n"
    "          echo \"Try 'beat_analyser analyse --help' for more information.\" >&2\n"
    "          exit 2 ;;\n"
    "  *quiet*) exit 3 ;;\n"
    "  *terse*) printf x >&2; exit 2 ;;\n"
    "  *slow*) echo $$ > \"$2.pid\"; exec sleep 20 ;;\n"
    "  *half*) : > \"${2%.dat}st.txt.tmp$$-0\"; : > \"${2%.dat}st1.bmp.tmp$$-1\"\n"
    "          echo $$ > \"$2.pid\"; exec sleep 20 ;;\n"
    "  *) read line; echo \"$line\" \"$@\" \"$(readlink /proc/$$/fd/1)\" > \"$2.args\"\n"
    "     echo out || exit 5; exit 0 ;;\n"
    "esac\n";

// The stand-in written into `folder`, ready to run.
std::filesystem::path stand_in_program(const TempFolder& folder) {
  const auto program = folder / "program";
  write_host_file(program, stand_in);
  ::chmod(program.c_str(), 0755);
  return program;
}

ManifestRow row_for(const std::filesystem::path& recording) {
  ManifestRow row;
  row.recording = recording;
  row.recording_text = recording.filename().string();
  row.pq_ms = -40;
  return row;
}

// Each row is a process of its own; how it ended becomes its message.
TEST(BatchProcess, ReportsHowEachRowEnded) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  struct Row {
    const char* name;
    bool ok;
    const char* message;
  };
  const Row rows[] = {
      {"good.dat", true, ""},
      {"fail.dat", false, "beat_analyser analyse: x.dat: No such file or directory"},
      {"crash.dat", false, "ended by signal 11 (Segmentation fault)"},
      {"quiet.dat", false, "exit status 3"},
      {"terse.dat", false, "x"},
  };
  ProcessLauncher launcher(program);
  for (std::size_t slot = 0; slot < std::size(rows); ++slot)
    ASSERT_EQ(launcher.start(slot, row_for(folder / rows[slot].name)), std::nullopt);
  std::vector<bool> seen(std::size(rows));
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    auto end = launcher.wait_one();
    ASSERT_TRUE(end);
    const Row& row = rows[end->slot];
    seen[end->slot] = true;
    EXPECT_EQ(end->ok, row.ok) << row.name;
    EXPECT_EQ(end->message, row.message) << row.name;
    EXPECT_GT(end->seconds, 0) << row.name;
  }
  EXPECT_EQ(seen, std::vector<bool>(std::size(rows), true));
  // The row read an empty standard input, got the analyse arguments and
  // wrote its standard output nowhere.
  EXPECT_EQ(read_host_file(folder / "good.dat.args"),
            " analyse " + (folder / "good.dat").string() + " --pq=-40 /dev/null\n");

  ProcessLauncher missing(folder / "no-such-program");
  EXPECT_EQ(
      missing.start(0, row_for(folder / "good.dat")),
      "cannot start " + (folder / "no-such-program").string() + ": No such file or directory");
}

TEST(BatchProcess, EndsRunningRowsWhenAsked) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  ProcessLauncher launcher(program);
  ASSERT_EQ(launcher.start(7, row_for(folder / "slow.dat")), std::nullopt);
  launcher.terminate_running();
  const auto end = launcher.wait_one();
  ASSERT_TRUE(end);
  EXPECT_EQ(end->slot, 7u);
  EXPECT_EQ(end->message, "ended by signal 15 (Terminated)");
}

// A row ended in the middle of writing leaves no temporary file; those of
// other processes and other recordings stay.
TEST(BatchProcess, AnEndedRowLeavesNoTemporaryFile) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  const std::vector<std::string> others = {"halfst.txt.tmp1-0", "halfst.txt.tmp",
                                           "otherst.txt.tmp"};
  ProcessLauncher launcher(program);
  ASSERT_EQ(launcher.start(0, row_for(folder / "half.dat")), std::nullopt);
  for (int tries = 0; tries < 100 && read_host_file(folder / "half.dat.pid").empty(); ++tries)
    ::usleep(20'000);
  const std::string pid = std::to_string(std::stol(read_host_file(folder / "half.dat.pid")));
  for (const std::string& name : others) write_host_file(folder / name, "");
  write_host_file(folder / ("otherst.txt.tmp" + pid + "-0"), "");
  ASSERT_TRUE(std::filesystem::exists(folder / ("halfst.txt.tmp" + pid + "-0")));
  launcher.terminate_running();
  ASSERT_TRUE(launcher.wait_one());
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path().filename().string().find(".tmp") != std::string::npos)
      left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"halfst.txt.tmp", "halfst.txt.tmp1-0",
                                            "otherst.txt.tmp", "otherst.txt.tmp" + pid + "-0"}));
}

// Rows still running when the launcher goes are ended and reaped.
TEST(BatchProcess, LeavingEndsAndReapsTheRunningRows) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  {
    ProcessLauncher launcher(program);
    ASSERT_EQ(launcher.start(0, row_for(folder / "slow.dat")), std::nullopt);
    for (int tries = 0; tries < 100 && read_host_file(folder / "slow.dat.pid").empty(); ++tries)
      ::usleep(20'000);
  }
  const pid_t row = static_cast<pid_t>(std::stol(read_host_file(folder / "slow.dat.pid")));
  EXPECT_EQ(::kill(row, 0), -1) << "the row is still there";
}

// A launcher left with a row reaped elsewhere ends without waiting for it
// forever; a child process shows whether it hangs.
TEST(BatchProcess, LeavingARowReapedElsewhereDoesNotHang) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    {
      ProcessLauncher launcher(program);
      if (launcher.start(0, row_for(folder / "quiet.dat"))) ::_exit(1);
      int status = 0;
      if (::waitpid(-1, &status, 0) <= 0) ::_exit(1);
    }
    ::_exit(0);
  }
  int status = -1;
  for (int tries = 0; tries < 100 && ::waitpid(child, &status, WNOHANG) == 0; ++tries)
    ::usleep(50'000);
  if (status == -1) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "the launcher waited for a row it no longer has";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// A row whose process was reaped elsewhere is lost, never taken as done.
TEST(BatchProcess, ARowReapedElsewhereFails) {
  TempFolder folder("batch-process");
  const auto program = stand_in_program(folder);
  ProcessLauncher launcher(program);
  ASSERT_EQ(launcher.start(3, row_for(folder / "quiet.dat")), std::nullopt);
  int status = 0;
  ASSERT_GT(::waitpid(-1, &status, 0), 0);
  const auto end = launcher.wait_one();
  ASSERT_TRUE(end);
  EXPECT_EQ(end->slot, 3u);
  EXPECT_FALSE(end->ok);
  EXPECT_EQ(end->message, "lost: No child processes");
}

TEST(BatchProcess, MessageIsTheLastSayingLine) {
  struct Row {
    const char* label;
    std::string text;
    int status;
    std::string message;
  };
  const std::string long_line(400, 'x');
  const Row rows[] = {
      {"last line, blank lines after", "one\n  two  \n\n \n", 0, "two"},
      {"no line end", "one\ntwo", 1 << 8, "two"},
      {"hint skipped", "bad option\nTry 'beat_analyser analyse --help' for more.\n", 1 << 8,
       "bad option"},
      {"cut when long", long_line + "\n", 2 << 8, std::string(300, 'x') + "..."},
      {"one letter at the start", "x\n", 1 << 8, "x"},
      {"silent failure", "", 4 << 8, "exit status 4"},
      {"silent success", "\n", 0, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row_message(row.text, row.status), row.message) << row.label;
}

// A batch kept to some cores (taskset, a cluster's allotment) runs no more
// rows at once than it has cores.
TEST(BatchProcess, CoresAreThoseTheProcessMayUse) {
  cpu_set_t all;
  ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(available_cores(), 1u);
  ASSERT_EQ(::sched_setaffinity(0, sizeof all, &all), 0);
}

TEST(BatchProcess, SignalsRaiseTheStopLevelInsteadOfEnding) {
  {
    StopSignals signals;
    EXPECT_EQ(signals.level(), 0);
    std::raise(SIGTERM);
    EXPECT_EQ(signals.level(), 1);
    std::raise(SIGINT);
    EXPECT_EQ(signals.level(), 2);
  }
  struct sigaction now {};
  ::sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace ba

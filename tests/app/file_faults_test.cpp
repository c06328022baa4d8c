// Whole runs of the built program against file-system faults a person or an
// administrator can meet: a pipe or a link where a file should be, a full
// disk, a read-only result file. Each checks the report, the exit status and
// that nothing outside the data folder changed.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/program_runs.h"
#include "recording/recording.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

// The demonstration session: select a beat, mark it, compute with printing
// on, save the result, end.
constexpr const char* compute_and_save =
    "1\ndemo\ns\n!click 208 150\ny\ns\n!click 78 150\n!click 93 150\n!click 348 150\ny\nx\n"
    "c\nd\ny\nx\n";

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A run folder whose data folder is `data`, and a folder beside it that
// stands for everything outside, holding a file nobody may touch.
struct FaultRun {
  FaultRun() {
    fs::create_directory(data());
    test::write_host_file(precious(), "keep me");
  }
  fs::path data() const { return folder / "data"; }
  fs::path precious() const { return outside / "precious"; }
  void write_demo() const { test::write_demo_recording(data() / "demo.dat"); }

  test::Outcome run(const std::string& input) const {
    // A run that blocks is ended after 60 s rather than waiting for ever.
    return test::run_beat_analyser(folder.path(), "--headless --data-dir data", input,
                                   "QT_QPA_PLATFORM=offscreen timeout 60");
  }

  // Nothing but the data folder in the run folder, the outside untouched.
  void expect_nothing_outside_changed() const {
    EXPECT_EQ(names_in(folder.path()), std::vector<std::string>{"data"});
    EXPECT_EQ(names_in(outside.path()), std::vector<std::string>{"precious"});
    EXPECT_EQ(test::read_host_file(precious()), "keep me");
  }

  test::TempFolder folder{"faults"};
  test::TempFolder outside{"outside"};
};

TEST(FileFaults, LogAsANamedPipeIsAnOpenFailureNotAHang) {
  FaultRun run;
  run.write_demo();
  ASSERT_EQ(::mkfifo((run.data() / "demostlog.txt").c_str(), 0600), 0);
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 2);  // not 124, the time-out's
  EXPECT_EQ(
      outcome.err,
      "beat_analyser: unit 6: file open failure: d:\\data\\map\\demostlog.txt: is not a plain "
      "file (host file " +
          (run.data() / "demostlog.txt").string() + ")\n");
  EXPECT_TRUE(fs::is_fifo(run.data() / "demostlog.txt"));
  run.expect_nothing_outside_changed();
}

TEST(FileFaults, LogLinkedOutsideIsAnOpenFailureAndTheTargetKept) {
  FaultRun run;
  run.write_demo();
  fs::create_symlink(run.precious(), run.data() / "demostlog.txt");
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err,
            "beat_analyser: unit 6: file open failure: d:\\data\\map\\demostlog.txt: is a symbolic "
            "link; nothing is written through a link (host file " +
                (run.data() / "demostlog.txt").string() + ")\n");
  EXPECT_TRUE(fs::is_symlink(run.data() / "demostlog.txt"));
  run.expect_nothing_outside_changed();
}

// The page image replaces the link itself, as the result file does; the
// file the link pointed to is never opened.
TEST(FileFaults, PageImageLinkedOutsideLeavesTheTargetAlone) {
  FaultRun run;
  run.write_demo();
  fs::create_symlink(run.precious(), run.data() / "demost1.bmp");
  fs::create_symlink(run.precious(), run.data() / "demost.txt");
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_FALSE(fs::is_symlink(run.data() / "demost1.bmp"));
  EXPECT_EQ(test::read_host_file(run.data() / "demost1.bmp").substr(0, 2), "BM");
  EXPECT_FALSE(fs::is_symlink(run.data() / "demost.txt"));
  run.expect_nothing_outside_changed();
}

TEST(FileFaults, ReadOnlyResultFileIsKept) {
  FaultRun run;
  run.write_demo();
  test::write_host_file(run.data() / "demost.txt", "           0\r\n");
  fs::permissions(run.data() / "demost.txt", fs::perms(0444));
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.out.find(" d:\\data\\map\\demost.txt: Permission denied\n"), std::string::npos)
      << outcome.out;
  EXPECT_EQ(test::read_host_file(run.data() / "demost.txt"), "           0\r\n");
  EXPECT_EQ(fs::status(run.data() / "demost.txt").permissions(), fs::perms(0444));
  run.expect_nothing_outside_changed();
}

// A data folder with only `free_bytes` left beside the recording: a tmpfs of
// that size, which only the administrator can mount. Elsewhere the tests
// that need it are skipped; the file layer's own tests meet a full disk
// through a file size limit instead, which a whole run cannot use (it would
// limit the run's standard output too).
class SmallDisk {
 public:
  SmallDisk(const FaultRun& run, std::size_t free_bytes) : data_(run.data()) {
    const std::size_t page = 4096;
    const std::size_t size = (recording_bytes + page - 1) / page * page + free_bytes;
    const std::string options = "size=" + std::to_string(size);
    mounted_ = ::mount("tmpfs", data_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (mounted_) run.write_demo();
  }
  ~SmallDisk() {
    if (mounted_) ::umount(data_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  fs::path data_;
  bool mounted_ = false;
};

// The log fills the disk during c: the run ends with the write report and
// the log ends with its last whole record.
TEST(FileFaults, FullDiskDuringComputeLeavesOnlyWholeLogLines) {
  FaultRun run;
  const SmallDisk disk(run, 4096);
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.err,
            "beat_analyser: unit 6: file write failure: cannot write the log file: No space left "
            "on device\n");
  const std::string log = test::read_host_file(run.data() / "demostlog.txt");
  ASSERT_FALSE(log.empty());
  EXPECT_LE(log.size(), 4096u);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  EXPECT_EQ(names_in(run.data()), (std::vector<std::string>{"demo.dat", "demostlog.txt"}));
  run.expect_nothing_outside_changed();
}

// The page image does not fit, the log and the result file do: the failed
// save is said, no partial image is left, and the run goes on to the end.
TEST(FileFaults, PageThatDoesNotFitIsReportedAndTheRunGoesOn) {
  FaultRun run;
  const SmallDisk disk(run, 256 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const test::Outcome outcome = run.run(compute_and_save);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const std::string report =
      " 印刷ページを保存できませんでした\n d:\\data\\map\\demost1.bmp: No space left on device\n";
  EXPECT_NE(outcome.out.find(report), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("[Unit 12]  印刷ページを保存できませんでした\n"
                             "[Unit 12]  d:\\data\\map\\demost1.bmp"),
            std::string::npos);
  EXPECT_EQ(names_in(run.data()),
            (std::vector<std::string>{"demo.dat", "demost.leads.csv", "demost.record.json",
                                      "demost.txt", "demostlog.txt"}));
  run.expect_nothing_outside_changed();
}

}  // namespace
}  // namespace ba

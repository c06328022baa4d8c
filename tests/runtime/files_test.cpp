// The data folder mapping and the host file operations.

#include "runtime/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <future>

#include "support/temp_folder.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(DataFolder, MapsPlainNamesInsideTheFolder) {
  const DataFolder folder("/host/map");
  EXPECT_EQ(folder.host_path("d:\\data\\map\\abc.dat           "), fs::path("/host/map/abc.dat"));
  EXPECT_EQ(folder.host_path("d:\\data\\map\\.dat"), fs::path("/host/map/.dat"));  // empty name
  EXPECT_EQ(folder.host_path("d:\\data\\map\\あいうst.txt"), fs::path("/host/map/あいうst.txt"));
}

TEST(DataFolder, RefusesEveryPathThatCouldLeaveIt) {
  const DataFolder folder("/host/map");
  struct Row {
    const char* label;
    const char* program_path;
  };
  const Row rows[] = {
      {"no name", "d:\\data\\map\\"},
      {"only blanks", "d:\\data\\map\\    "},
      {"the folder without its backslash", "d:\\data\\map"},
      {"another drive", "c:\\data\\map\\abc.dat"},
      {"not exactly the folder", "D:\\DATA\\MAP\\abc.dat"},
      {"no folder at all", "abc.dat"},
      {"up", "d:\\data\\map\\.."},
      {"the folder itself", "d:\\data\\map\\."},
      {"\"..\" anywhere", "d:\\data\\map\\a..b"},
      {"a sub-folder", "d:\\data\\map\\sub\\abc.dat"},
      {"a host separator", "d:\\data\\map\\../etc/x"},
      {"a drive inside the name", "d:\\data\\map\\c:abc"},
      {"a tab", "d:\\data\\map\\a\tb"},
      {"a delete", "d:\\data\\map\\a\x7f"},
      {"an escape sequence", "d:\\data\\map\\\x1b[2Jst.txt"},
      {"a C1 control (U+009B)",
       "d:\\data\\map\\a\xc2\x9b"
       "st.txt"},
      {"a Latin-1 byte, not UTF-8", "d:\\data\\map\\caf\xe9st.txt"},
      {"a character cut short", "d:\\data\\map\\\xe3\x83st.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_FALSE(folder.host_path(row.program_path));
  }
}

class HostFiles : public ::testing::Test {
 protected:
  std::string read(const char* name) const { return test::read_host_file(folder / name); }
  void write(const char* name, std::string_view bytes) const {
    test::write_host_file(folder / name, bytes);
  }

  test::TempFolder temp{"files"};
  const fs::path& folder = temp.path();
  HostFileOps files;
};

TEST_F(HostFiles, ReadPrefixRefusesWhatIsNotAPlainFileAndCreatesNothing) {
  fs::create_directory(folder / "sub.dat");
  ASSERT_EQ(::mkfifo((folder / "pipe.dat").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", folder / "null.dat");
  struct Row {
    const char* label;
    const char* name;
    const char* error;  // nullptr: the system's own text
  };
  const Row rows[] = {
      {"missing", "missing.dat", nullptr},
      {"a folder", "sub.dat", "is a folder, not a file"},
      {"a named pipe with no writer: refused at once, not waited on", "pipe.dat",
       "is not a plain file"},
      {"a device, through a link: never opened", "null.dat", "is not a plain file"},
  };
  // Opening alone may act on a pipe or device (it frees a waiting writer).
  const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(opens, (folder / "pipe.dat").c_str(), IN_OPEN), 0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    Bytes bytes;
    const auto error = files.read_prefix(folder / row.name, 10, bytes);
    ASSERT_TRUE(error);
    if (row.error) {
      EXPECT_EQ(*error, row.error);
    }
  }
  char event[256];
  EXPECT_EQ(::read(opens, event, sizeof event), -1) << "the pipe was opened";
  ::close(opens);
  EXPECT_FALSE(fs::exists(folder / "missing.dat"));
}

TEST_F(HostFiles, ReadPrefixStopsAtTheCountOrTheEnd) {
  write("f", "abcdef");
  Bytes bytes;
  EXPECT_FALSE(files.read_prefix(folder / "f", 4, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcd");
  EXPECT_FALSE(files.read_prefix(folder / "f", 10, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
  // Room for the file, not for a limit far above it.
  Bytes small;
  EXPECT_FALSE(files.read_prefix(folder / "f", std::size_t{64} << 20, small));
  EXPECT_EQ(small.size(), 6u);
  EXPECT_LT(small.capacity(), std::size_t{1} << 20);
  // A file that says it is empty and then gives more (as it would when it
  // grows while read) is read to its end.
  EXPECT_FALSE(files.read_prefix("/proc/self/status", std::size_t{1} << 20, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, 5), "Name:");
  EXPECT_GT(bytes.size(), 100u);
}

TEST_F(HostFiles, ReplaceFileLeavesOnlyTheNewFile) {
  write("r.txt", "old contents");
  EXPECT_FALSE(files.replace_file(folder / "r.txt", "new"));
  EXPECT_EQ(read("r.txt"), "new");
  EXPECT_EQ(entries(folder), 1u);
  EXPECT_FALSE(files.replace_file(folder / "fresh.txt", "made"));
  EXPECT_EQ(read("fresh.txt"), "made");
}

TEST_F(HostFiles, FailedRenameKeepsTheOldEntryAndNoTemporary) {
  fs::create_directories(folder / "r.txt" / "inside");
  EXPECT_TRUE(files.replace_file(folder / "r.txt", "new"));
  EXPECT_TRUE(fs::is_directory(folder / "r.txt" / "inside"));
  EXPECT_EQ(entries(folder), 1u);
}

// A write that fails part way (the file size limit stands in for a full
// disk) leaves the old file exactly as it was.
TEST_F(HostFiles, FailedWriteKeepsTheOldFile) {
  write("r.txt", "old contents");
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  const auto error = files.replace_file(folder / "r.txt", std::string(1000, 'x'));
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(error);
  EXPECT_EQ(read("r.txt"), "old contents");
  EXPECT_EQ(entries(folder), 1u);
}

// Writes "part one, " and "part two" into `name` through a streamed file,
// then finishes it, stopping at the first failure; `limit` bytes at most
// (RLIMIT_FSIZE stands in for a full disk) and nothing finished when
// `abandon`. Returns the failure.
std::optional<std::string> stream_into(HostFileOps& files, const fs::path& path,
                                       rlim_t limit = RLIM_INFINITY, bool abandon = false) {
  auto opened = files.stream_file(path);
  if (auto* error = std::get_if<std::string>(&opened)) return *error;
  StreamedFile& file = *std::get<std::unique_ptr<StreamedFile>>(opened);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = std::min(limit, saved.rlim_max);
  setrlimit(RLIMIT_FSIZE, &small);
  std::optional<std::string> error = file.append("part one, ");
  if (!error) error = file.append(std::string(100, '-') + "part two");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  if (error) {
    EXPECT_EQ(file.append("more"), error) << "a failed file takes nothing more";
    EXPECT_EQ(file.finish(), error);
    return error;
  }
  if (abandon) return std::string("abandoned");
  return file.finish();
}

// A file streamed in pieces is there whole or not at all, by the rules of
// replace_file: the old file (or nothing) stays after a failure, and no
// temporary file is left either way.
TEST_F(HostFiles, StreamedFileIsWholeOrNothing) {
  test::TempFolder outside{"outside"};
  test::write_host_file(outside / "precious.pdf", "keep me");
  fs::create_symlink(outside / "precious.pdf", folder / "linked.pdf");
  write("kept.pdf", "read-only");
  fs::permissions(folder / "kept.pdf", fs::perms(0444));
  write("shared.pdf", "old");
  fs::permissions(folder / "shared.pdf", fs::perms(0640));
  write("full.pdf", "old report");
  write("dropped.pdf", "old report");
  ASSERT_EQ(::mkfifo((folder / "pipe.pdf").c_str(), 0600), 0);
  const std::string whole = "part one, " + std::string(100, '-') + "part two";
  const struct {
    const char* label;
    const char* name;
    rlim_t limit;
    bool abandon;
    std::optional<std::string> error;
    std::optional<std::string> after;  // the file's bytes after; nothing: none there
  } rows[] = {
      {"a new file", "new.pdf", RLIM_INFINITY, false, std::nullopt, whole},
      {"a writable file, its mode kept", "shared.pdf", RLIM_INFINITY, false, std::nullopt, whole},
      {"a link: replaced itself", "linked.pdf", RLIM_INFINITY, false, std::nullopt, whole},
      {"a full disk after the first piece", "full.pdf", 40, false, "File too large", "old report"},
      {"a full disk, a new file", "none.pdf", 40, false, "File too large", std::nullopt},
      {"dropped unfinished", "dropped.pdf", RLIM_INFINITY, true, "abandoned", "old report"},
      {"a read-only file", "kept.pdf", RLIM_INFINITY, false, "Permission denied", "read-only"},
      {"a named pipe", "pipe.pdf", RLIM_INFINITY, false, "is not a plain file", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(stream_into(files, folder / row.name, row.limit, row.abandon), row.error)
        << row.label;
    if (row.after) {
      EXPECT_EQ(read(row.name), *row.after) << row.label;
    } else if (std::string_view(row.name) != "pipe.pdf") {
      EXPECT_FALSE(fs::exists(folder / row.name)) << row.label;
    }
  }
  EXPECT_FALSE(fs::is_symlink(folder / "linked.pdf"));
  EXPECT_EQ(test::read_host_file(outside / "precious.pdf"), "keep me");
  EXPECT_EQ(fs::status(folder / "shared.pdf").permissions(), fs::perms(0640));
  EXPECT_EQ(fs::status(folder / "kept.pdf").permissions(), fs::perms(0444));
  EXPECT_TRUE(fs::is_fifo(folder / "pipe.pdf"));
  EXPECT_EQ(entries(folder), 7u) << "six files and the pipe, no temporary file";
}

// Made read-only while it was written, the old file is kept at finish.
TEST_F(HostFiles, StreamedFileKeepsAFileMadeReadOnlyMeanwhile) {
  write("r.pdf", "old");
  auto opened = files.stream_file(folder / "r.pdf");
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<StreamedFile>>(opened));
  StreamedFile& file = *std::get<std::unique_ptr<StreamedFile>>(opened);
  EXPECT_FALSE(file.append("new"));
  fs::permissions(folder / "r.pdf", fs::perms(0444));
  EXPECT_EQ(file.finish(), "Permission denied");
  EXPECT_EQ(read("r.pdf"), "old");
  EXPECT_EQ(entries(folder), 1u);
}

TEST_F(HostFiles, LogIsEmptiedAtOpenAndHoldsEveryLineAtOnce) {
  write("log.txt", "previous run");
  EXPECT_FALSE(files.open_log(folder / "log.txt"));
  EXPECT_EQ(read("log.txt"), "");
  EXPECT_FALSE(files.append_log("one\r\n"));
  EXPECT_EQ(read("log.txt"), "one\r\n");  // flushed before close
  EXPECT_FALSE(files.append_log("two\r\n"));
  files.close_log();
  EXPECT_EQ(read("log.txt"), "one\r\ntwo\r\n");
  EXPECT_TRUE(files.append_log("three\r\n"));
}

TEST_F(HostFiles, LogCannotBeAFolder) {
  fs::create_directory(folder / "log.txt");
  EXPECT_EQ(files.open_log(folder / "log.txt"), "is a folder, not a file");
}

// A pipe as the log once blocked the run for ever in the open. The open runs
// aside; should it block, a reader is opened to set it free and the test fails.
TEST_F(HostFiles, LogAsANamedPipeIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo((folder / "log.txt").c_str(), 0600), 0);
  auto opening = std::async(std::launch::async, [&] { return files.open_log(folder / "log.txt"); });
  if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "the open of a pipe waited for a reader";
    const int reader = ::open((folder / "log.txt").c_str(), O_RDONLY | O_NONBLOCK);
    opening.wait();
    ::close(reader);
    return;
  }
  EXPECT_EQ(opening.get(), "is not a plain file");
  EXPECT_TRUE(fs::is_fifo(folder / "log.txt"));
}

// Nothing outside the folder is opened for writing: a link in place of the
// log is refused, and the file it points to keeps its bytes.
TEST_F(HostFiles, LogThroughALinkIsRefusedAndTheTargetKept) {
  test::TempFolder outside{"outside"};
  test::write_host_file(outside / "precious.txt", "keep me");
  write("inside.txt", "keep me too");
  fs::create_symlink(outside / "precious.txt", folder / "log.txt");
  fs::create_symlink(folder / "inside.txt", folder / "log2.txt");
  fs::create_symlink(folder / "missing.txt", folder / "log3.txt");
  for (const char* name : {"log.txt", "log2.txt", "log3.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(files.open_log(folder / name),
              "is a symbolic link; nothing is written through a link");
  }
  EXPECT_EQ(test::read_host_file(outside / "precious.txt"), "keep me");
  EXPECT_EQ(read("inside.txt"), "keep me too");
  EXPECT_FALSE(fs::exists(folder / "missing.txt"));
}

// A new file is written only where no entry of its name exists: a file, a
// link (even one to nowhere) and a folder are all left as they were.
TEST_F(HostFiles, CreateFileRefusesAnyExistingEntry) {
  write("taken.csv", "old");
  fs::create_symlink(folder / "nowhere.csv", folder / "link.csv");
  fs::create_directory(folder / "folder.csv");
  for (const char* name : {"taken.csv", "link.csv", "folder.csv"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(files.create_file(folder / name, "new"), "File exists");
  }
  EXPECT_EQ(read("taken.csv"), "old");
  EXPECT_FALSE(fs::exists(folder / "nowhere.csv"));
  EXPECT_EQ(entries(folder), 3u);
  EXPECT_FALSE(files.create_file(folder / "fresh.csv", "a,b\r\n"));
  EXPECT_EQ(read("fresh.csv"), "a,b\r\n");
  EXPECT_EQ(entries(folder), 4u);
}

// A log with other names (a hard link made to it from elsewhere) starts as
// a new file: the other name keeps the previous run's bytes, the new log
// keeps the old one's permission bits, and no temporary is left; a
// read-only log is refused and left as it was.
TEST_F(HostFiles, LogStartsAsANewFileAndNeverEmptiesAnotherName) {
  test::TempFolder outside{"outside"};
  write("log.txt", "previous run");
  fs::permissions(folder / "log.txt", fs::perms(0640));
  fs::create_hard_link(folder / "log.txt", outside / "kept.txt");
  ASSERT_FALSE(files.open_log(folder / "log.txt"));
  ASSERT_FALSE(files.append_log("one\r\n"));
  files.close_log();
  EXPECT_EQ(read("log.txt"), "one\r\n");
  EXPECT_EQ(test::read_host_file(outside / "kept.txt"), "previous run");
  EXPECT_EQ(fs::hard_link_count(folder / "log.txt"), 1u);
  EXPECT_EQ(fs::status(folder / "log.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(entries(folder), 1u);

  write("kept_log.txt", "read only");
  fs::permissions(folder / "kept_log.txt", fs::perms(0444));
  EXPECT_EQ(files.open_log(folder / "kept_log.txt"), "Permission denied");
  EXPECT_EQ(read("kept_log.txt"), "read only");
  EXPECT_EQ(entries(folder), 2u);
}

// The file size limit stands in for a full disk: the record that no longer
// fits is taken back whole, so the log ends with its last complete line.
TEST_F(HostFiles, FailedLogWriteLeavesOnlyWholeLines) {
  ASSERT_FALSE(files.open_log(folder / "log.txt"));
  ASSERT_FALSE(files.append_log(" selected time        1300\r\n"));
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 40;  // room for 14 bytes of the next 48-byte record
  setrlimit(RLIMIT_FSIZE, &small);
  const auto error = files.append_log(" k=           1 r=  0.9900000     ;  time_dif\r\n");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(error, "File too large");
  EXPECT_EQ(read("log.txt"), " selected time        1300\r\n");
  // A later record that fits follows the last whole line directly.
  EXPECT_FALSE(files.append_log(" off_x     50 off_y     80\r\n"));
  EXPECT_EQ(read("log.txt"), " selected time        1300\r\n off_x     50 off_y     80\r\n");
}

TEST_F(HostFiles, ReplaceFileRefusesWhatIsNotAPlainFile) {
  ASSERT_EQ(::mkfifo((folder / "pipe.bmp").c_str(), 0600), 0);
  EXPECT_EQ(files.replace_file(folder / "pipe.bmp", "BM"), "is not a plain file");
  EXPECT_TRUE(fs::is_fifo(folder / "pipe.bmp"));
  EXPECT_EQ(entries(folder), 1u);
}

// A link in place of a page image or the result file is replaced itself:
// the file it points to, inside or outside the folder, is never written.
TEST_F(HostFiles, ReplaceFileReplacesALinkNotItsTarget) {
  test::TempFolder outside{"outside"};
  test::write_host_file(outside / "precious.bmp", "keep me");
  fs::create_symlink(outside / "precious.bmp", folder / "abcst1.bmp");
  EXPECT_FALSE(files.replace_file(folder / "abcst1.bmp", "BM new page"));
  EXPECT_FALSE(fs::is_symlink(folder / "abcst1.bmp"));
  EXPECT_EQ(read("abcst1.bmp"), "BM new page");
  EXPECT_EQ(test::read_host_file(outside / "precious.bmp"), "keep me");
}

// A result the person made read-only is kept, even for the administrator;
// a writable one keeps its permission bits when it is replaced.
TEST_F(HostFiles, ReplaceFileKeepsReadOnlyFilesAndTheModeOfOthers) {
  write("kept.txt", "saved results");
  fs::permissions(folder / "kept.txt", fs::perms(0444));
  EXPECT_EQ(files.replace_file(folder / "kept.txt", "new"), "Permission denied");
  EXPECT_EQ(read("kept.txt"), "saved results");
  EXPECT_EQ(fs::status(folder / "kept.txt").permissions(), fs::perms(0444));

  write("shared.txt", "old");
  fs::permissions(folder / "shared.txt", fs::perms(0640));
  EXPECT_FALSE(files.replace_file(folder / "shared.txt", "new"));
  EXPECT_EQ(read("shared.txt"), "new");
  EXPECT_EQ(fs::status(folder / "shared.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(entries(folder), 2u);
}

TEST_F(HostFiles, ReadWholeStopsOneBytePastItsLimit) {
  write("f", "abcdef");
  write("huge", "");
  fs::resize_file(folder / "huge", std::uintmax_t{4} << 30);  // sparse: no disk used
  const struct {
    const char* label;
    const char* name;
    std::size_t limit;
    const char* error;  // nullptr: read whole
  } rows[] = {
      {"under the limit", "f", 10, nullptr},
      {"at the limit", "f", 6, nullptr},
      {"one byte over", "f", 5, "is larger than 5 bytes"},
      {"4 GiB against 1 MiB, refused unread", "huge", std::size_t{1} << 20, "is larger than 1 MiB"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    Bytes bytes;
    const auto error = files.read_whole(folder / row.name, row.limit, bytes);
    EXPECT_EQ(error.value_or("read"), row.error ? row.error : "read");
    if (!row.error) {
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
    }
    EXPECT_LE(bytes.capacity(), std::size_t{4} << 20);
  }
}

TEST_F(HostFiles, ReadAtGivesWhatLiesThereAndStopsAtTheEnd) {
  write("f", "abcdef");
  Bytes bytes;
  EXPECT_FALSE(files.read_at(folder / "f", 2, 3, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "cde");
  EXPECT_FALSE(files.read_at(folder / "f", 4, 10, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "ef");
  EXPECT_TRUE(files.read_at(folder / "missing", 0, 1, bytes));
}

// A lock conflicts with another open of the file, as with another
// process, until its object goes.
TEST_F(HostFiles, LockHeldUntilReleased) {
  write("f", "x");
  {
    const auto held = files.lock(folder / "f", FileLock::Kind::exclusive);
    ASSERT_EQ(held.index(), 0u);
    const auto asked = files.lock(folder / "f", FileLock::Kind::shared);
    EXPECT_EQ(asked.index() == 1 ? std::get<std::string>(asked) : "given",
              "is in use by another run");
  }
  EXPECT_EQ(files.lock(folder / "f", FileLock::Kind::exclusive).index(), 0u) << "released";
  EXPECT_EQ(files.lock(folder / "missing", FileLock::Kind::shared).index(), 1u);
}

// A private folder is this process's alone and goes with everything in it.
TEST_F(HostFiles, PrivateFolderIsPrivateAndGoesAway) {
  fs::path made;
  {
    auto folder_made = files.private_folder("test.");
    ASSERT_EQ(folder_made.index(), 0u) << std::get<std::string>(folder_made);
    made = std::get<0>(folder_made)->path();
    struct stat info {};
    ASSERT_EQ(::stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    test::write_host_file(made / "inside", "x");
  }
  EXPECT_FALSE(fs::exists(made));
}

// A link anywhere below the folder is refused: not only as the last name.
TEST_F(HostFiles, OpenBeneathFollowsNoLinkBelowTheFolder) {
  test::TempFolder outside{"outside"};
  fs::create_directory(folder / "sub");
  fs::create_directory_symlink(outside.path(), folder / "away");
  const int inside = open_beneath(folder, "sub/new.txt", O_WRONLY | O_CREAT, 0644);
  EXPECT_GE(inside, 0);
  ::close(inside);
  errno = 0;
  EXPECT_EQ(open_beneath(folder, "away/new.txt", O_WRONLY | O_CREAT, 0644), -1);
  EXPECT_EQ(errno, ELOOP);
  EXPECT_EQ(entries(outside.path()), 0u);
}

}  // namespace
}  // namespace ba

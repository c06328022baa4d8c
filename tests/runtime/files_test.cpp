// The data folder mapping and the host file operations.

#include "runtime/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

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
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::vector<unsigned char> bytes;
    const auto error = files.read_prefix(folder / row.name, 10, bytes);
    ASSERT_TRUE(error);
    if (row.error) {
      EXPECT_EQ(*error, row.error);
    }
  }
  EXPECT_FALSE(fs::exists(folder / "missing.dat"));
}

TEST_F(HostFiles, ReadPrefixStopsAtTheCountOrTheEnd) {
  write("f", "abcdef");
  std::vector<unsigned char> bytes;
  EXPECT_FALSE(files.read_prefix(folder / "f", 4, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcd");
  EXPECT_FALSE(files.read_prefix(folder / "f", 10, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
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
  EXPECT_TRUE(files.open_log(folder / "log.txt"));
}

}  // namespace
}  // namespace ba

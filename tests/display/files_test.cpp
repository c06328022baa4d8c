// The data folder mapping and the host file operations.

#include "display/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "support/fake_platform.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void put(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(DataFolder, MapsPlainNamesInsideTheFolder) {
  const DataFolder folder("/host/map");
  EXPECT_EQ(folder.host_path("d:\\data\\map\\abc.dat           "), fs::path("/host/map/abc.dat"));
  EXPECT_EQ(folder.host_path("d:\\data\\map\\.dat"), fs::path("/host/map/.dat"));
  EXPECT_EQ(folder.host_path("d:\\data\\map\\あいうst.txt"), fs::path("/host/map/あいうst.txt"));
}

TEST(DataFolder, RefusesEveryPathThatCouldLeaveIt) {
  const DataFolder folder("/host/map");
  for (const char* path : {
           "d:\\data\\map\\",              // no name
           "d:\\data\\map\\    ",          // only blanks
           "d:\\data\\map",                // the folder without its backslash
           "c:\\data\\map\\abc.dat",       // another drive
           "D:\\DATA\\MAP\\abc.dat",       // not exactly the folder
           "abc.dat",                      // no folder at all
           "d:\\data\\map\\..",            // up
           "d:\\data\\map\\.",             // the folder itself
           "d:\\data\\map\\a..b",          // ".." anywhere
           "d:\\data\\map\\sub\\abc.dat",  // a sub-folder
           "d:\\data\\map\\../etc/x",      // a host separator
           "d:\\data\\map\\c:abc",         // a drive inside the name
           "d:\\data\\map\\a\tb",          // control characters
           "d:\\data\\map\\a\x7f",
       })
    EXPECT_FALSE(folder.host_path(path)) << path;
}

class HostFiles : public ::testing::Test {
 protected:
  fs::path folder = test::make_temp_folder("files");
  HostFileOps files;
  ~HostFiles() override { fs::remove_all(folder); }
};

TEST_F(HostFiles, ReadPrefixNeverCreatesAMissingFile) {
  std::vector<unsigned char> bytes;
  EXPECT_TRUE(files.read_prefix(folder / "missing.dat", 10, bytes));
  EXPECT_FALSE(fs::exists(folder / "missing.dat"));
}

TEST_F(HostFiles, ReadPrefixRefusesWhatIsNotAPlainFile) {
  fs::create_directory(folder / "sub.dat");
  std::vector<unsigned char> bytes;
  const auto error = files.read_prefix(folder / "sub.dat", 10, bytes);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, "is a folder, not a file");
  // a named pipe with no writer: refused at once, not waited on
  ASSERT_EQ(::mkfifo((folder / "pipe.dat").c_str(), 0600), 0);
  const auto pipe_error = files.read_prefix(folder / "pipe.dat", 10, bytes);
  ASSERT_TRUE(pipe_error);
  EXPECT_EQ(*pipe_error, "is not a plain file");
}

TEST_F(HostFiles, ReadPrefixStopsAtTheCountOrTheEnd) {
  put(folder / "f", "abcdef");
  std::vector<unsigned char> bytes;
  EXPECT_FALSE(files.read_prefix(folder / "f", 4, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcd");
  EXPECT_FALSE(files.read_prefix(folder / "f", 10, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
}

TEST_F(HostFiles, ReplaceFileLeavesOnlyTheNewFile) {
  put(folder / "r.txt", "old contents");
  EXPECT_FALSE(files.replace_file(folder / "r.txt", "new"));
  EXPECT_EQ(contents(folder / "r.txt"), "new");
  EXPECT_EQ(entries(folder), 1u);
  EXPECT_FALSE(files.replace_file(folder / "fresh.txt", "made"));
  EXPECT_EQ(contents(folder / "fresh.txt"), "made");
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
  put(folder / "r.txt", "old contents");
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
  EXPECT_EQ(contents(folder / "r.txt"), "old contents");
  EXPECT_EQ(entries(folder), 1u);
}

TEST_F(HostFiles, LogIsEmptiedAtOpenAndHoldsEveryLineAtOnce) {
  put(folder / "log.txt", "previous run");
  EXPECT_FALSE(files.open_log(folder / "log.txt"));
  EXPECT_EQ(contents(folder / "log.txt"), "");
  EXPECT_FALSE(files.append_log("one\r\n"));
  EXPECT_EQ(contents(folder / "log.txt"), "one\r\n");  // flushed before close
  EXPECT_FALSE(files.append_log("two\r\n"));
  files.close_log();
  EXPECT_EQ(contents(folder / "log.txt"), "one\r\ntwo\r\n");
  EXPECT_TRUE(files.append_log("three\r\n"));
}

TEST_F(HostFiles, LogCannotBeAFolder) {
  fs::create_directory(folder / "log.txt");
  EXPECT_TRUE(files.open_log(folder / "log.txt"));
}

}  // namespace
}  // namespace ba

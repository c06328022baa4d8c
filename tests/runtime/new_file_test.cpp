// Creating a file that must not exist yet, and telling whether two paths
// name one file.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "runtime/files.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(CreateFile, NewFileWholeAndNoNameTaken) {
  test::TempFolder folder("create_file");
  test::write_host_file(folder / "taken", "keep me");
  fs::create_symlink("elsewhere", folder / "dangling");
  fs::create_directory(folder / "sub");
  HostFileOps files;
  struct Row {
    const char* label;
    const char* name;
    std::optional<std::string> error;
    std::string left;  // the bytes at the name afterwards
  } rows[] = {
      {"a new name gets the bytes", "new", std::nullopt, "fresh"},
      {"a file of that name is kept", "taken", "File exists", "keep me"},
      {"a link of that name is kept, even one to nothing", "dangling", "File exists", ""},
      {"a folder of that name is kept", "sub", "File exists", ""},
      {"a missing folder", "nowhere/new", "No such file or directory", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(files.create_file(folder / row.name, "fresh"), row.error);
    const fs::path path = folder / row.name;
    EXPECT_EQ(fs::is_regular_file(path) ? test::read_host_file(path) : "", row.left);
  }
  EXPECT_FALSE(fs::exists(folder / "elsewhere"));
  EXPECT_EQ(names_in(folder.path()), (std::set<std::string>{"dangling", "new", "sub", "taken"}))
      << "no temporary file stays behind";
}

TEST(SameFile, OneFileUnderAnyNameOrLink) {
  test::TempFolder folder("same_file");
  test::write_host_file(folder / "a", "x");
  test::write_host_file(folder / "b", "x");
  fs::create_hard_link(folder / "a", folder / "hard");
  fs::create_symlink(folder / "a", folder / "soft");
  fs::create_directory(folder / "sub");
  const fs::path relative = fs::relative(folder / "a");
  struct Row {
    const char* label;
    fs::path first, second;
    bool same;
  } rows[] = {
      {"one name", folder / "a", folder / "a", true},
      {"a hard link", folder / "hard", folder / "a", true},
      {"a symbolic link", folder / "a", folder / "soft", true},
      {"another way there", folder / "sub" / ".." / "a", relative, true},
      {"equal bytes, another file", folder / "a", folder / "b", false},
      {"a missing file", folder / "none", folder / "none", false},
  };
  for (const Row& row : rows) EXPECT_EQ(same_file(row.first, row.second), row.same) << row.label;
}

}  // namespace
}  // namespace ba

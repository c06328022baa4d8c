// Telling whether two paths name one file.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/files.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

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

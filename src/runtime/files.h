#pragma once
// The file layer. The program names every file by its path in the fixed data
// folder "d:\data\map\"; the file layer maps that folder to one host folder
// and refuses every other path, so nothing outside it can be opened.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ba {

inline constexpr std::string_view data_folder = "d:\\data\\map\\";

class DataFolder {
 public:
  explicit DataFolder(std::filesystem::path host_folder);
  // The host path of a program path (trailing blanks ignored), or nothing
  // when the path does not name a plain file name inside the data folder.
  std::optional<std::filesystem::path> host_path(std::string_view program_path) const;
  const std::filesystem::path& host_folder() const { return host_folder_; }

 private:
  std::filesystem::path host_folder_;
};

// Host file operations, replaceable in tests to inject failures.
class FileOps {
 public:
  virtual ~FileOps() = default;
  // Reads at most `count` bytes from the start of a file. Returns an error
  // text when the file cannot be opened (missing, a folder, unreadable).
  virtual std::optional<std::string> read_prefix(const std::filesystem::path& path,
                                                 std::size_t count,
                                                 std::vector<unsigned char>& bytes) = 0;
  // Replaces a file's whole contents: written beside it under a temporary
  // name, then renamed over it, so the old file stays intact on failure.
  virtual std::optional<std::string> replace_file(const std::filesystem::path& path,
                                                  std::string_view bytes) = 0;
  // Text log: opened empty, appended line by line, flushed after each line.
  virtual std::optional<std::string> open_log(const std::filesystem::path& path) = 0;
  virtual std::optional<std::string> append_log(std::string_view bytes) = 0;
  virtual void close_log() = 0;
};

// The real host file system.
class HostFileOps : public FileOps {
 public:
  ~HostFileOps() override;
  std::optional<std::string> read_prefix(const std::filesystem::path& path, std::size_t count,
                                         std::vector<unsigned char>& bytes) override;
  std::optional<std::string> replace_file(const std::filesystem::path& path,
                                          std::string_view bytes) override;
  std::optional<std::string> open_log(const std::filesystem::path& path) override;
  std::optional<std::string> append_log(std::string_view bytes) override;
  void close_log() override;

 private:
  std::FILE* log_ = nullptr;
};

}  // namespace ba

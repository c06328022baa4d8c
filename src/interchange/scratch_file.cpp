#include "interchange/scratch_file.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <vector>

namespace ba {

namespace {

// A folder only this process can enter, removed with its contents at the end.
class PrivateFolder {
 public:
  PrivateFolder() {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "beat_analyser.XXXXXX");
    if (error) pattern = "/tmp/beat_analyser.XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
      path_ = pattern;
    else
      error_ = errno_text(errno);
  }
  ~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::optional<std::string>& error() const { return error_; }

 private:
  std::filesystem::path path_;
  std::optional<std::string> error_;
};

}  // namespace

std::optional<std::string> write_through_scratch(
    FileOps& files, const std::filesystem::path& destination,
    const std::function<std::optional<std::string>(const std::filesystem::path&)>& write) {
  const PrivateFolder folder;
  if (folder.error()) return "no private folder for the output: " + *folder.error();
  const std::filesystem::path scratch = folder.path() / "output";
  if (auto error = write(scratch)) return error;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(scratch, error);
  if (error) return error.message();
  Bytes bytes;
  if (auto failure = files.read_prefix(scratch, static_cast<std::size_t>(size), bytes))
    return failure;
  if (bytes.size() != size) return "the output changed while it was read back";
  return files.replace_file(
      destination, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace ba

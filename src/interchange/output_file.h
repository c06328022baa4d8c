#pragma once
// Output files that appear whole or not at all: the contents go to a
// temporary file in the destination's folder, which is renamed into place
// only once it is complete on disk.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ba {

// A temporary file beside `destination`, removed on destruction unless it
// has been committed. Writers that open files by name (EDFlib) write to
// path(); others use write_output_file.
class OutputFile {
 public:
  explicit OutputFile(std::filesystem::path destination);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The temporary path, empty when it could not be created (see error()).
  const std::filesystem::path& path() const { return temporary_; }
  const std::optional<std::string>& error() const { return error_; }
  // Flushes the temporary file to disk and moves it to the destination. An
  // existing destination is replaced only when `replace` is set; otherwise
  // the commit fails and the existing file stays untouched.
  std::optional<std::string> commit(bool replace);

 private:
  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  std::optional<std::string> error_;
  bool committed_ = false;
};

// Writes `bytes` to `destination` through an OutputFile.
std::optional<std::string> write_output_file(const std::filesystem::path& destination,
                                             std::string_view bytes, bool replace);

}  // namespace ba

#include "runtime/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "runtime/messages.h"

namespace ba {

namespace {

std::string errno_text(int error) { return std::generic_category().message(error); }

// A file name that stays inside one folder: no folder separators of either
// system, no drive letter, no way up, nothing invisible.
bool is_plain_file_name(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

// Closes a POSIX file descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the result: a failed close can mean lost data.
  int close_now() {
    const int status = ::close(fd_);
    fd_ = -1;
    return status;
  }

 private:
  int fd_;
};

std::optional<std::string> write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno_text(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

// Creates a new, empty file beside `path` under a name no other file has.
int create_temporary(const std::filesystem::path& path, std::filesystem::path& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path;
    temporary += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes, flushes to the disk and closes the temporary file.
std::optional<std::string> fill_temporary(Descriptor& file, std::string_view bytes) {
  if (auto error = write_all(file.get(), bytes)) return error;
  if (::fsync(file.get()) != 0) return errno_text(errno);
  if (file.close_now() != 0) return errno_text(errno);
  return std::nullopt;
}

// Makes a rename durable; a folder that cannot be synced changes nothing.
void sync_folder(const std::filesystem::path& folder) {
  Descriptor handle(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (handle.get() >= 0) ::fsync(handle.get());
}

}  // namespace

DataFolder::DataFolder(std::filesystem::path host_folder) : host_folder_(std::move(host_folder)) {}

std::optional<std::filesystem::path> DataFolder::host_path(std::string_view program_path) const {
  const std::size_t last = program_path.find_last_not_of(' ');
  program_path =
      last == std::string_view::npos ? std::string_view() : program_path.substr(0, last + 1);
  if (!program_path.starts_with(data_folder)) return std::nullopt;
  const std::string_view name = program_path.substr(data_folder.size());
  if (!is_plain_file_name(name)) return std::nullopt;
  return host_folder_ / std::string(name);
}

HostFileOps::~HostFileOps() { close_log(); }

// Opens without creating: reading a missing recording must not leave an
// empty file behind. Opening does not wait, so a named pipe in the data
// folder is refused like any other file that is not plain instead of
// blocking the run; reads of a plain file never wait anyway.
std::optional<std::string> HostFileOps::read_prefix(const std::filesystem::path& path,
                                                    std::size_t count,
                                                    std::vector<unsigned char>& bytes) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return errno_text(errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return errno_text(errno);
  if (S_ISDIR(info.st_mode)) return std::string(runtime_text::is_a_folder);
  if (!S_ISREG(info.st_mode)) return std::string(runtime_text::not_a_plain_file);
  bytes.resize(count);
  std::size_t filled = 0;
  while (filled < count) {
    const ssize_t got = ::read(file.get(), bytes.data() + filled, count - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno_text(errno);
    if (got == 0) break;  // end of file
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return std::nullopt;
}

// The new contents go to a temporary file in the same folder, which is
// renamed over the old file only once it is complete on disk; on any failure
// the temporary file is removed and the old file stays as it was.
std::optional<std::string> HostFileOps::replace_file(const std::filesystem::path& path,
                                                     std::string_view bytes) {
  std::filesystem::path temporary;
  Descriptor file(create_temporary(path, temporary));
  if (file.get() < 0) return errno_text(errno);
  std::optional<std::string> error = fill_temporary(file, bytes);
  if (!error && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno_text(errno);
  if (error) {
    ::unlink(temporary.c_str());
    return error;
  }
  sync_folder(path.parent_path());
  return std::nullopt;
}

std::optional<std::string> HostFileOps::open_log(const std::filesystem::path& path) {
  close_log();
  log_ = std::fopen(path.c_str(), "wb");  // created when missing, emptied when present
  if (!log_) return errno_text(errno);
  return std::nullopt;
}

// Each line reaches the file at once, so the log tells how far a run got
// even when the run ends abruptly.
std::optional<std::string> HostFileOps::append_log(std::string_view bytes) {
  if (!log_) return std::string(runtime_text::log_not_open);
  if (std::fwrite(bytes.data(), 1, bytes.size(), log_) != bytes.size() || std::fflush(log_) != 0)
    return errno_text(errno);
  return std::nullopt;
}

void HostFileOps::close_log() {
  if (log_) std::fclose(log_);
  log_ = nullptr;
}

}  // namespace ba

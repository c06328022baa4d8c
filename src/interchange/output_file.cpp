#include "interchange/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "runtime/files.h"

namespace ba {

namespace {

// Opens for writing without creating: the file exists, made by whoever
// filled it. Syncing is what makes the later rename safe after a crash.
std::optional<std::string> sync_file(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno_text(errno);
  const int status = ::fsync(fd);
  const int error = errno;
  ::close(fd);
  if (status != 0) return errno_text(error);
  return std::nullopt;
}

// Moves `from` to `to` unless `to` exists, in one step where the file
// system allows: a file made meanwhile by someone else is never lost.
// Without an exclusive rename (older kernels, some file systems) a hard link
// does the same; without hard links (FAT) only a check just before the
// rename is left.
int move_unless_taken(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOSYS && errno != ENOTSUP) return -1;
  if (::access(to.c_str(), F_OK) == 0) {
    errno = EEXIST;
    return -1;
  }
  return std::rename(from.c_str(), to.c_str());
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path destination) : destination_(std::move(destination)) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = destination_;
    candidate += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      temporary_ = candidate;
      return;
    }
    if (errno != EEXIST) break;
  }
  error_ = errno_text(errno);
}

OutputFile::~OutputFile() {
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

std::optional<std::string> OutputFile::commit(bool replace) {
  if (error_) return error_;
  if (auto error = sync_file(temporary_)) return error;
  const int moved = replace ? std::rename(temporary_.c_str(), destination_.c_str())
                            : move_unless_taken(temporary_, destination_);
  if (moved != 0) return errno_text(errno);
  committed_ = true;
  return std::nullopt;
}

std::optional<std::string> write_output_file(const std::filesystem::path& destination,
                                             std::string_view bytes, bool replace) {
  OutputFile file(destination);
  if (file.error()) return file.error();
  const int fd = ::open(file.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return errno_text(errno);
  auto error = write_all(fd, bytes);
  if (::close(fd) != 0 && !error) error = errno_text(errno);
  if (error) return error;
  return file.commit(replace);
}

}  // namespace ba

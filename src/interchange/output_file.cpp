#include "interchange/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace ba {

namespace {

std::string errno_text(int error) { return std::generic_category().message(error); }

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

// Without `replace` the file is linked under its new name, which fails when
// the name is taken, so a file made meanwhile by someone else is not lost.
std::optional<std::string> OutputFile::commit(bool replace) {
  if (error_) return error_;
  if (auto error = sync_file(temporary_)) return error;
  if (replace) {
    if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) return errno_text(errno);
  } else {
    if (::link(temporary_.c_str(), destination_.c_str()) != 0) return errno_text(errno);
    ::unlink(temporary_.c_str());
  }
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

#include "runtime/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "runtime/messages.h"
#include "runtime/quoting.h"

namespace ba {

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

namespace {

// A file name that stays inside one folder: no folder separators of either
// system, no drive letter, no way up, nothing invisible and nothing that is
// not text (a name is shown on the console and in messages).
bool is_plain_file_name(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos) return false;
  if (!is_clean_text(name)) return false;
  return name.find_first_of("/\\:") == std::string_view::npos;
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
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the result: a failed close can mean lost data.
  int close_now() {
    const int status = ::close(fd_);
    fd_ = -1;
    return status;
  }

 private:
  int fd_;
};

// Why an existing entry cannot be written as a file, looked at before any
// open so that a device or a pipe is never opened at all; nothing when it is
// a plain file or does not exist.
std::optional<std::string> unusable_output(int folder, const char* name, struct stat& info) {
  if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return errno_text(errno);
  }
  if (S_ISLNK(info.st_mode)) return std::string(runtime_text::is_a_link);
  if (S_ISDIR(info.st_mode)) return std::string(runtime_text::is_a_folder);
  if (!S_ISREG(info.st_mode)) return std::string(runtime_text::not_a_plain_file);
  return std::nullopt;
}

// A file with no write permission for this process is kept; the
// administrator, whom the system would let through, is held to the
// permission bits too.
bool may_replace(int folder, const char* name, const struct stat& info) {
  if (::geteuid() == 0) return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  return ::faccessat(folder, name, W_OK, AT_EACCESS) == 0;
}

// Why a file that exists as `old` may not be replaced (a pipe, device or
// folder; a read-only file), or nothing. A link is replaced itself.
std::optional<std::string> refused_replacement(int folder, const char* name, struct stat& old) {
  if (S_ISLNK(old.st_mode)) return std::nullopt;
  if (auto error = unusable_output(folder, name, old)) return error;
  if (!may_replace(folder, name, old)) return errno_text(EACCES);
  return std::nullopt;
}

constexpr std::string_view temporary_tag = ".tmp";  // NAME.tmpPID-ATTEMPT
constexpr int temporary_attempts = 100;

// Creates a new, empty file beside `name` under a name no other file has.
int create_temporary(int folder, const std::string& name, std::string& temporary) {
  for (int attempt = 0; attempt < temporary_attempts; ++attempt) {
    temporary = name + std::string(temporary_tag) + std::to_string(::getpid()) + "-" +
                std::to_string(attempt);
    const int fd = ::openat(folder, temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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

// The folder of a host path, opened to work inside it.
int open_folder(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.parent_path();
  return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
// empty file behind. A pipe, device or socket is refused before it is
// opened; the open itself does not wait either, should one appear between
// the look and the open.
std::optional<std::string> HostFileOps::read_prefix(const std::filesystem::path& path,
                                                    std::size_t count, Bytes& bytes) {
  struct stat entry {};
  if (::stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode) && !S_ISDIR(entry.st_mode))
    return std::string(runtime_text::not_a_plain_file);  // never opened: a device may act on it
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return errno_text(errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return errno_text(errno);
  if (S_ISDIR(info.st_mode)) return std::string(runtime_text::is_a_folder);
  if (!S_ISREG(info.st_mode)) return std::string(runtime_text::not_a_plain_file);
  // Room for what the file holds, and one byte more to meet its end; more
  // only should it grow meanwhile. Never all of `count` at once: callers
  // set it far above the files they expect, and untouched room would still
  // be zeroed.
  bytes.resize(std::min(count, static_cast<std::size_t>(info.st_size) + 1));
  std::size_t filled = 0;
  while (filled < count) {
    if (filled == bytes.size()) bytes.resize(std::min(count, 2 * filled + 4096));
    const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno_text(errno);
    if (got == 0) break;  // end of file
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return std::nullopt;
}

namespace {

// The start of replacing a file, by the rules of replace_file: its folder
// open, and beside the old file a new temporary one (named `temporary`) with
// the old file's permission bits; or why the file may not be replaced, with
// nothing left behind.
std::optional<std::string> begin_replacement(const std::filesystem::path& path, Descriptor& folder,
                                             Descriptor& file, std::string& name,
                                             std::string& temporary) {
  folder.reset(open_folder(path));
  if (folder.get() < 0) return errno_text(errno);
  name = path.filename().string();
  struct stat old {};
  const bool exists = ::fstatat(folder.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists) {
    if (auto error = refused_replacement(folder.get(), name.c_str(), old)) return error;
  }
  file.reset(create_temporary(folder.get(), name, temporary));
  if (file.get() < 0) return errno_text(errno);
  if (exists && S_ISREG(old.st_mode) && ::fchmod(file.get(), old.st_mode & 07777) != 0) {
    const std::string error = errno_text(errno);
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return error;
  }
  return std::nullopt;
}

}  // namespace

// The new contents go to a temporary file in the same folder, which is
// renamed over the old file only once it is complete on disk; on any failure
// the temporary file is removed and the old file stays as it was. A link in
// place of the file is itself replaced, so nothing outside the folder is
// written.
std::optional<std::string> HostFileOps::replace_file(const std::filesystem::path& path,
                                                     std::string_view bytes) {
  Descriptor folder(-1), file(-1);
  std::string name, temporary;
  if (auto refused = begin_replacement(path, folder, file, name, temporary)) return refused;
  std::optional<std::string> error = fill_temporary(file, bytes);
  if (!error && ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0)
    error = errno_text(errno);
  if (error) {
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return error;
  }
  ::fsync(
      folder.get());  // makes the rename durable; a folder that cannot be synced changes nothing
  return std::nullopt;
}

// Complete on disk under a temporary name first, then linked to its own
// name, which fails when that name exists: there is no moment at which
// another file of the name could be overwritten.
std::optional<std::string> HostFileOps::create_file(const std::filesystem::path& path,
                                                    std::string_view bytes) {
  Descriptor folder(open_folder(path));
  if (folder.get() < 0) return errno_text(errno);
  const std::string name = path.filename().string();
  struct stat old {};
  if (::fstatat(folder.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0)
    return errno_text(EEXIST);
  std::string temporary;
  Descriptor file(create_temporary(folder.get(), name, temporary));
  if (file.get() < 0) return errno_text(errno);
  std::optional<std::string> error = fill_temporary(file, bytes);
  if (!error && ::linkat(folder.get(), temporary.c_str(), folder.get(), name.c_str(), 0) != 0)
    error = errno_text(errno);
  ::unlinkat(folder.get(), temporary.c_str(), 0);
  if (!error) ::fsync(folder.get());
  return error;
}

namespace {

// Gathers the pieces and replaces the file with them at finish: for file
// operations that only know whole files.
class GatheredFile : public StreamedFile {
 public:
  GatheredFile(FileOps& files, std::filesystem::path path)
      : files_(files), path_(std::move(path)) {}
  std::optional<std::string> append(std::string_view bytes) override {
    bytes_.append(bytes);
    return std::nullopt;
  }
  std::optional<std::string> finish() override { return files_.replace_file(path_, bytes_); }

 private:
  FileOps& files_;
  std::filesystem::path path_;
  std::string bytes_;
};

// The temporary file stays open for writing; the folder stays open so that
// the rename lands beside it even should the folder be renamed meanwhile.
class HostStreamedFile : public StreamedFile {
 public:
  HostStreamedFile(int folder, int file, std::string name, std::string temporary)
      : folder_(folder), file_(file), name_(std::move(name)), temporary_(std::move(temporary)) {}
  ~HostStreamedFile() override { discard(); }

  std::optional<std::string> append(std::string_view bytes) override {
    if (failure_) return failure_;
    if (auto error = write_all(file_.get(), bytes)) return fail(*error);
    return std::nullopt;
  }

  // The file is checked again before the rename: made read-only or turned
  // into a pipe or a folder meanwhile, it is kept.
  std::optional<std::string> finish() override {
    if (failure_) return failure_;
    struct stat old {};
    if (::fstatat(folder_.get(), name_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISLNK(old.st_mode)) {
      if (auto error = unusable_output(folder_.get(), name_.c_str(), old)) return fail(*error);
      if (!may_replace(folder_.get(), name_.c_str(), old)) return fail(errno_text(EACCES));
    }
    if (::fsync(file_.get()) != 0) return fail(errno_text(errno));
    if (file_.close_now() != 0) return fail(errno_text(errno));
    if (::renameat(folder_.get(), temporary_.c_str(), folder_.get(), name_.c_str()) != 0)
      return fail(errno_text(errno));
    temporary_.clear();
    ::fsync(
        folder_.get());  // makes the rename durable; a folder that cannot be synced changes nothing
    return std::nullopt;
  }

 private:
  std::optional<std::string> fail(std::string reason) {
    discard();
    failure_ = std::move(reason);
    return failure_;
  }
  void discard() {
    file_.reset(-1);
    if (!temporary_.empty()) ::unlinkat(folder_.get(), temporary_.c_str(), 0);
    temporary_.clear();
  }

  Descriptor folder_;
  Descriptor file_;
  std::string name_;
  std::string temporary_;  // empty once renamed or removed
  std::optional<std::string> failure_;
};

}  // namespace

std::variant<std::unique_ptr<StreamedFile>, std::string> FileOps::stream_file(
    const std::filesystem::path& path) {
  return std::make_unique<GatheredFile>(*this, path);
}

// Refused at once by the rules of replace_file, so that a report is not
// made only to be refused at the end.
std::variant<std::unique_ptr<StreamedFile>, std::string> HostFileOps::stream_file(
    const std::filesystem::path& path) {
  Descriptor folder(-1), file(-1);
  std::string name, temporary;
  if (auto refused = begin_replacement(path, folder, file, name, temporary)) return *refused;
  return std::make_unique<HostStreamedFile>(folder.release(), file.release(), name, temporary);
}

std::optional<std::string> remove_temporaries(const std::filesystem::path& folder,
                                              std::string_view prefix, long pid) {
  const std::string tag = std::string(temporary_tag) + std::to_string(pid) + "-";
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    const std::size_t at = name.rfind(tag);
    if (!name.starts_with(prefix) || at == std::string::npos || at == 0) continue;
    const auto attempt = std::string_view(name).substr(at + tag.size());
    if (attempt.empty() || attempt.find_first_not_of("0123456789") != std::string_view::npos)
      continue;
    std::error_code ignored;  // gone meanwhile: nothing left to remove
    std::filesystem::remove(entries->path(), ignored);
  }
  if (error) return error.message();
  return std::nullopt;
}

bool same_file(const std::filesystem::path& first, const std::filesystem::path& second) {
  struct stat one {};
  struct stat two {};
  return ::stat(first.c_str(), &one) == 0 && ::stat(second.c_str(), &two) == 0 &&
         one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

// The log starts as a new file renamed into place, never by emptying the
// old one: a log that has other names (hard links) keeps its bytes under
// them, and a refused entry (a link, a pipe, a folder, a read-only file) is
// left untouched.
std::optional<std::string> HostFileOps::open_log(const std::filesystem::path& path) {
  close_log();
  Descriptor folder(open_folder(path));
  if (folder.get() < 0) return errno_text(errno);
  const std::string name = path.filename().string();
  struct stat old {};
  if (auto error = unusable_output(folder.get(), name.c_str(), old)) return error;
  const bool exists = ::fstatat(folder.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists && !may_replace(folder.get(), name.c_str(), old)) return errno_text(EACCES);
  std::string temporary;
  Descriptor file(create_temporary(folder.get(), name, temporary));
  if (file.get() < 0) return errno_text(errno);
  std::optional<std::string> error;
  if (exists && ::fchmod(file.get(), old.st_mode & 07777) != 0) error = errno_text(errno);
  if (!error && ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0)
    error = errno_text(errno);
  if (error) {
    ::unlinkat(folder.get(), temporary.c_str(), 0);
    return error;
  }
  log_ = file.release();
  log_size_ = 0;
  return std::nullopt;
}

// Each line reaches the file at once, so the log tells how far a run got
// even when the run ends abruptly.
std::optional<std::string> HostFileOps::append_log(std::string_view bytes) {
  if (log_ < 0) return std::string(runtime_text::log_not_open);
  if (auto error = write_all(log_, bytes)) {
    // A short write leaves part of a record: cut it off again.
    if (::ftruncate(log_, static_cast<off_t>(log_size_)) == 0)
      ::lseek(log_, static_cast<off_t>(log_size_), SEEK_SET);
    return error;
  }
  log_size_ += bytes.size();
  return std::nullopt;
}

void HostFileOps::close_log() {
  if (log_ >= 0) ::close(log_);
  log_ = -1;
}

namespace {

// A limit as a person reads it: whole MiB where it is some, bytes otherwise.
std::string limit_text(std::size_t limit) {
  constexpr std::size_t mib = std::size_t{1} << 20;
  if (limit >= mib && limit % mib == 0) return std::to_string(limit / mib) + " MiB";
  return std::to_string(limit) + " bytes";
}

// The folder temporary folders are made in: $TMPDIR when it names a folder,
// /tmp otherwise (unset, empty, missing or a file).
std::filesystem::path temporary_root() {
  const char* named = std::getenv("TMPDIR");
  struct stat info {};
  if (named && *named && ::stat(named, &info) == 0 && S_ISDIR(info.st_mode)) return named;
  return "/tmp";
}

}  // namespace

std::optional<std::string> FileOps::read_whole(const std::filesystem::path& path, std::size_t limit,
                                               Bytes& bytes) {
  if (auto error = read_prefix(path, limit + 1, bytes)) return error;
  if (bytes.size() <= limit) return std::nullopt;
  bytes = Bytes();
  return std::string(runtime_text::larger_than) + limit_text(limit);
}

// Each call opens the file afresh and reads with pread: nothing is shared
// between calls, so threads may read side by side.
std::optional<std::string> FileOps::read_at(const std::filesystem::path& path, std::uint64_t offset,
                                            std::size_t count, Bytes& bytes) {
  struct stat entry {};
  if (::stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode))
    return std::string(S_ISDIR(entry.st_mode) ? runtime_text::is_a_folder
                                              : runtime_text::not_a_plain_file);
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return errno_text(errno);
  bytes.resize(count);
  std::size_t filled = 0;
  while (filled < count) {
    const ssize_t got = ::pread(file.get(), bytes.data() + filled, count - filled,
                                static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno_text(errno);
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return std::nullopt;
}

std::variant<FileDigest, std::string> FileOps::digest(const std::filesystem::path& path) {
  constexpr std::size_t piece = std::size_t{1} << 20;
  Sha256 sha;
  FileDigest result;
  Bytes bytes;
  do {
    if (auto error = read_at(path, result.size, piece, bytes)) return *error;
    sha.add(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    result.size += bytes.size();
  } while (bytes.size() == piece);
  result.sha256 = sha.hex_digest();
  return result;
}

std::variant<std::unique_ptr<PrivateFolder>, std::string> PrivateFolder::make(
    std::string_view prefix) {
  std::string pattern = (temporary_root() / (std::string(prefix) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return errno_text(errno);  // made with mode 0700
  return std::unique_ptr<PrivateFolder>(new PrivateFolder(pattern));
}

PrivateFolder::~PrivateFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

// flock locks the open file, so a lock taken by another process, or by
// this one through another open, conflicts; a pipe or device is refused
// unopened as a read is.
std::variant<FileLock, std::string> FileOps::lock(const std::filesystem::path& path,
                                                  FileLock::Kind kind) {
  struct stat entry {};
  if (::stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode))
    return std::string(S_ISDIR(entry.st_mode) ? runtime_text::is_a_folder
                                              : runtime_text::not_a_plain_file);
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return errno_text(errno);
  const int operation = kind == FileLock::Kind::exclusive ? LOCK_EX : LOCK_SH;
  while (::flock(file.get(), operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return std::string(runtime_text::locked);
    return errno_text(errno);
  }
  return FileLock(file.release());
}

int open_beneath(const std::filesystem::path& folder, const std::filesystem::path& relative,
                 int flags, unsigned mode) {
  Descriptor current(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (current.get() < 0) return -1;
  std::vector<std::string> names;
  for (const auto& part : relative) names.push_back(part.string());
  if (names.empty()) {
    errno = ENOENT;
    return -1;
  }
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    const int next =
        ::openat(current.get(), names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      // A link to a folder is reported as "not a folder" by the open.
      struct stat info {};
      if (errno == ENOTDIR &&
          ::fstatat(current.get(), names[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(info.st_mode))
        errno = ELOOP;
      return -1;
    }
    current.reset(next);
  }
  return ::openat(current.get(), names.back().c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

}  // namespace ba

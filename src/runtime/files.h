#pragma once
// The file layer. The program names every file by its path in the fixed data
// folder "d:\data\map\"; the file layer maps that folder to one host folder
// and refuses every other path, so nothing outside it can be opened.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/sha256.h"

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

// The system's reason for an errno value.
std::string errno_text(int error);
// Writes all of `bytes` to a descriptor, going on after interruptions.
// Returns the system's reason when a write fails.
std::optional<std::string> write_all(int fd, std::string_view bytes);

// Opens `relative` (one or more names) inside `folder` without following a
// symbolic link anywhere in `relative`: every output stays inside the folder
// the person named. Returns the descriptor, or -1 with errno set (ELOOP for a
// link). The folder itself may be reached through links.
int open_beneath(const std::filesystem::path& folder, const std::filesystem::path& relative,
                 int flags, unsigned mode = 0);

// Removes the temporary files that process `pid` left in `folder` beside
// files whose names start with `prefix`: a writer ended by a signal leaves
// its unfinished copy under the temporary name. Returns why the folder could
// not be read.
std::optional<std::string> remove_temporaries(const std::filesystem::path& folder,
                                              std::string_view prefix, long pid);

// Whether two paths name one file (the same device and inode), links
// followed: an output must never be one of its own inputs. False when either
// does not exist.
bool same_file(const std::filesystem::path& first, const std::filesystem::path& second);

// A fresh folder only this process may enter (mode 0700), made in the
// system's temporary folder ($TMPDIR, or /tmp when that is unset, empty or
// not a folder), removed with everything in it when the object goes.
class PrivateFolder {
 public:
  // `prefix`: the start of the folder's name, before six random characters.
  static std::variant<std::unique_ptr<PrivateFolder>, std::string> make(std::string_view prefix);
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  explicit PrivateFolder(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

// An advisory lock on a file, held until the object goes. Other processes
// that ask for a conflicting lock on the same file are refused meanwhile.
class FileLock {
 public:
  enum class Kind { shared, exclusive };
  explicit FileLock(int fd) : fd_(fd) {}
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  ~FileLock();

 private:
  int fd_;
};

// Host file operations, replaceable in tests to inject failures. Every file
// read or written must be a plain file or, for a written one, not exist yet:
// a pipe, device, socket or folder is refused at once without waiting on it,
// and no output is opened through a symbolic link.
// A file's bytes: megabytes at times (a recording), so in large blocks.
using Bytes = std::vector<unsigned char, LargeAllocator<unsigned char>>;

// A file written piece by piece and still whole or not at all: the pieces
// go to a temporary name beside it, which finish() renames over the file
// once they are complete on disk. Dropped unfinished, or after a failed
// piece, the temporary file is removed and the old file stays as it was.
class StreamedFile {
 public:
  virtual ~StreamedFile() = default;
  // Adds bytes at the end. After a failure every later call fails with the
  // same reason.
  virtual std::optional<std::string> append(std::string_view bytes) = 0;
  // Puts the file in place of the old one, or says why it cannot.
  virtual std::optional<std::string> finish() = 0;
};

class FileOps {
 public:
  virtual ~FileOps() = default;
  // Reads at most `count` bytes from the start of a file. Returns an error
  // text when the file cannot be opened (missing, a folder, unreadable).
  virtual std::optional<std::string> read_prefix(const std::filesystem::path& path,
                                                 std::size_t count, Bytes& bytes) = 0;
  // Replaces a file's whole contents: written beside it under a temporary
  // name, then renamed over it, so the old file stays intact on failure. A
  // read-only file is refused ("Permission denied"): its owner meant to keep
  // it. A replaced file keeps its permission bits; a link is replaced itself.
  virtual std::optional<std::string> replace_file(const std::filesystem::path& path,
                                                  std::string_view bytes) = 0;
  // Writes a new file whole or not at all, as replace_file does, but refuses
  // when anything of that name already exists ("File exists"), a link
  // included: for outputs that must never replace a file.
  virtual std::optional<std::string> create_file(const std::filesystem::path& path,
                                                 std::string_view bytes) = 0;
  // Replaces a file as replace_file does, by the same rules, but takes its
  // bytes in pieces so that a large output is never held whole. This
  // default gathers the pieces and hands them to replace_file at finish.
  virtual std::variant<std::unique_ptr<StreamedFile>, std::string> stream_file(
      const std::filesystem::path& path);
  // Text log: started as a new file (never by emptying the old one, whose
  // other names keep their bytes), appended line by line, written through
  // at once.
  // After a failed write the log is cut back to the end of its last whole
  // line, so no reader meets half a record.
  virtual std::optional<std::string> open_log(const std::filesystem::path& path) = 0;
  virtual std::optional<std::string> append_log(std::string_view bytes) = 0;
  virtual void close_log() = 0;
  // Up to `count` bytes from `offset` on (fewer where the file ends), for a
  // format read in places; safe to call from several threads at once.
  virtual std::optional<std::string> read_at(const std::filesystem::path& path,
                                             std::uint64_t offset, std::size_t count, Bytes& bytes);
  // A whole file of at most `limit` bytes (see runtime/size_limits.h), or
  // why not: a larger one is refused once limit + 1 bytes of it were read.
  std::optional<std::string> read_whole(const std::filesystem::path& path, std::size_t limit,
                                        Bytes& bytes);
  // A fresh private temporary folder, or why none can be made.
  virtual std::variant<std::unique_ptr<PrivateFolder>, std::string> private_folder(
      std::string_view prefix) {
    return PrivateFolder::make(prefix);
  }
  // An advisory lock on a plain file, or why it is not given: refused at
  // once, never waited for, while another holds a conflicting one.
  virtual std::variant<FileLock, std::string> lock(const std::filesystem::path& path,
                                                   FileLock::Kind kind);
  // The size and SHA-256 of a plain file, read in pieces through read_at.
  virtual std::variant<FileDigest, std::string> digest(const std::filesystem::path& path);
};

// The real host file system.
class HostFileOps : public FileOps {
 public:
  ~HostFileOps() override;
  std::optional<std::string> read_prefix(const std::filesystem::path& path, std::size_t count,
                                         Bytes& bytes) override;
  std::optional<std::string> replace_file(const std::filesystem::path& path,
                                          std::string_view bytes) override;
  std::optional<std::string> create_file(const std::filesystem::path& path,
                                         std::string_view bytes) override;
  std::variant<std::unique_ptr<StreamedFile>, std::string> stream_file(
      const std::filesystem::path& path) override;
  std::optional<std::string> open_log(const std::filesystem::path& path) override;
  std::optional<std::string> append_log(std::string_view bytes) override;
  void close_log() override;

 private:
  int log_ = -1;
  std::size_t log_size_ = 0;  // bytes of whole lines in the log
};

}  // namespace ba

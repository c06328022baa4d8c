#include "analysis/batch_process.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/files.h"
#include "runtime/text_kit.h"

extern char** environ;

namespace ba {

namespace {

// Bytes of a row's standard error looked at for its message.
constexpr std::size_t error_tail = 4096;
// A message longer than this is cut: the summary is a table.
constexpr std::size_t message_limit = 300;

volatile std::sig_atomic_t stop_requests = 0;

extern "C" void count_stop_request(int) { stop_requests = stop_requests + 1; }

std::string read_tail(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size <= 0) return {};
  const auto size = static_cast<std::size_t>(info.st_size);
  const std::size_t length = size < error_tail ? size : error_tail;
  std::string text(length, '\0');
  const ssize_t got = ::pread(fd, text.data(), length, static_cast<off_t>(size - length));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

}  // namespace

std::string row_message(std::string_view error_text, int wait_status) {
  std::string_view last;
  std::size_t end = error_text.size();
  while (end > 0) {
    const std::size_t start = error_text.rfind('\n', end - 1);
    const std::size_t from = start == std::string_view::npos ? 0 : start + 1;
    const std::string_view line = trimmed(error_text.substr(from, end - from));
    // The usage report's hint to --help says less than the line before it.
    if (!line.empty() && !line.starts_with("Try '")) {
      last = line;
      break;
    }
    if (start == std::string_view::npos) break;
    end = start;
  }
  if (!last.empty()) {
    std::string message(last.substr(0, message_limit));
    if (last.size() > message_limit) message += "...";
    return message;
  }
  if (WIFSIGNALED(wait_status)) {
    const int signal = WTERMSIG(wait_status);
    const char* name = ::strsignal(signal);
    return "ended by signal " + std::to_string(signal) +
           (name ? std::string(" (") + name + ")" : "");
  }
  if (WIFEXITED(wait_status) && WEXITSTATUS(wait_status) != 0)
    return "exit status " + std::to_string(WEXITSTATUS(wait_status));
  return {};
}

ProcessLauncher::ProcessLauncher(std::filesystem::path program) : program_(std::move(program)) {}

ProcessLauncher::~ProcessLauncher() {
  // Rows still running when the batch is left are ended, not orphaned.
  terminate_running();
  for (auto& [pid, row] : running_) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::close(row.error_file);
    clean_after(pid, row);
  }
}

void ProcessLauncher::clean_after(pid_t pid, const Running& row) {
  remove_temporaries(row.folder.empty() ? "." : row.folder, row.prefix, pid);
}

std::optional<std::string> ProcessLauncher::start(std::size_t slot, const ManifestRow& row) {
  const int error_file = ::memfd_create("row-stderr", MFD_CLOEXEC);
  if (error_file < 0) return "cannot keep the row's messages: " + errno_text(errno);

  std::vector<std::string> words = row.analyse_arguments();
  // The row names the program as a person would have typed it.
  words.insert(words.begin(), "beat_analyser");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, error_file, 2);
  posix_spawnattr_init(&attributes);
  // A row has its own process group, so the Ctrl+C typed at the terminal
  // reaches the batch alone, which lets the row finish; its signals are as
  // a fresh process's.
  sigset_t none;
  sigset_t stops;
  sigemptyset(&none);
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &stops);

  pid_t pid = 0;
  const int error =
      ::posix_spawn(&pid, program_.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    ::close(error_file);
    return "cannot start " + program_.string() + ": " + errno_text(error);
  }
  // Every file a row writes is named NAMEst... like its result file.
  const std::filesystem::path result = row.result_written();
  running_[pid] = Running{slot, error_file, std::chrono::steady_clock::now(), result.parent_path(),
                          result.stem().string()};
  return std::nullopt;
}

std::optional<RowEnd> ProcessLauncher::wait_one() {
  for (;;) {
    if (running_.empty()) return std::nullopt;
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0) {
      if (errno == EINTR) return std::nullopt;
      // No child left to wait for: the rows were reaped elsewhere.
      RowEnd end{running_.begin()->second.slot, false, "lost: " + errno_text(errno), 0};
      ::close(running_.begin()->second.error_file);
      clean_after(running_.begin()->first, running_.begin()->second);
      running_.erase(running_.begin());
      return end;
    }
    const auto found = running_.find(pid);
    if (found == running_.end()) continue;  // not a row
    const Running row = found->second;
    running_.erase(found);
    const std::string errors = read_tail(row.error_file);
    ::close(row.error_file);
    RowEnd end;
    end.slot = row.slot;
    end.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    end.message = row_message(errors, status);
    end.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - row.started).count();
    if (!end.ok) clean_after(pid, row);
    return end;
  }
}

void ProcessLauncher::terminate_running() {
  for (const auto& [pid, row] : running_) ::kill(pid, SIGTERM);
}

StopSignals::StopSignals() {
  stop_requests = 0;
  struct sigaction action {};
  action.sa_handler = count_stop_request;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a wait returns to look at the level
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

StopSignals::~StopSignals() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
}

int StopSignals::level() const { return stop_requests; }

std::size_t available_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<std::size_t>(CPU_COUNT(&set));
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
}

}  // namespace ba

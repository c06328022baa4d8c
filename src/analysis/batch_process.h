#pragma once
// Rows of a batch as processes of their own: a row that crashes or runs out
// of memory ends alone, and the batch holds only what the running rows
// report. Each row's standard error is kept (in memory, a few kilobytes at
// most) for its message; its standard input and output are empty. A row
// that does not end well leaves no temporary file beside its recording.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>

#include "analysis/batch.h"

namespace ba {

class ProcessLauncher : public RowLauncher {
 public:
  // `program` is run with the row's analyse arguments.
  explicit ProcessLauncher(std::filesystem::path program);
  ~ProcessLauncher() override;
  ProcessLauncher(const ProcessLauncher&) = delete;
  ProcessLauncher& operator=(const ProcessLauncher&) = delete;

  std::optional<std::string> start(std::size_t slot, const ManifestRow& row) override;
  std::optional<RowEnd> wait_one() override;
  void terminate_running() override;

 private:
  struct Running {
    std::size_t slot;
    int error_file;  // the row's standard error
    std::chrono::steady_clock::time_point started;
    std::filesystem::path folder;  // where the row writes its files
    std::string prefix;            // the start of every file name it writes
  };
  // Removes the temporary files a row ended before its time left behind.
  static void clean_after(pid_t pid, const Running& row);
  std::filesystem::path program_;
  std::map<pid_t, Running> running_;
};

// The last line a row wrote to its standard error, or how it ended when it
// wrote none: "exit status N", "ended by signal N (NAME)".
std::string row_message(std::string_view error_text, int wait_status);

// While it lives, SIGINT and SIGTERM do not end the process: each one raises
// the stop level by one (see StopLevel), and a wait in progress returns.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  int level() const;
};

// The processors this process may run on.
std::size_t available_cores();

}  // namespace ba

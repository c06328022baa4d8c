#pragma once
// Running the rows of a manifest, at most N at once, and the summary of the
// rows in manifest order. How a row runs (a process of its own) and how its
// files are read and marked are given by the caller, so the pool is free of
// both.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/manifest.h"

namespace ba {

// What the record beside a row's recording says. A row is done only when
// its record matches: the record holds exactly the row's choices, the
// recording and the result file are those it describes, and the row's last
// run ended well.
struct RowRecord {
  enum class State { missing, unusable, stale, matches } state = State::missing;
  // Why it is unusable or stale; for a record that matches, "doubtful:
  // REASON" when the program proposed its choices and doubts them.
  std::string reason;
  int beats_accepted = 0;
  int beats_left_out = 0;
};

// The files of a row as the batch reads and marks them.
class RowFiles {
 public:
  virtual ~RowFiles() = default;
  virtual RowRecord record(const ManifestRow& row) = 0;
  // Marks the row as not done before its run starts; returns why it cannot.
  virtual std::optional<std::string> starting(const ManifestRow& row) = 0;
  // After its run: clears the mark when `failure` is empty, otherwise keeps
  // it with the failure. Returns why the mark could not be cleared or kept.
  virtual std::optional<std::string> ended(const ManifestRow& row, const std::string& failure) = 0;
};

// A row that has ended.
struct RowEnd {
  std::size_t slot = 0;  // as given to start()
  bool ok = false;       // ended with status 0
  std::string message;   // why it failed
  double seconds = 0;
};

// Runs rows, each on its own; a row that fails or crashes ends alone.
class RowLauncher {
 public:
  virtual ~RowLauncher() = default;
  // Starts a row under `slot`; returns why it could not start.
  virtual std::optional<std::string> start(std::size_t slot, const ManifestRow& row) = 0;
  // Waits for a started row to end. Returns nothing when a signal came
  // first, so the caller can look at what it asked for.
  virtual std::optional<RowEnd> wait_one() = 0;
  // Asks every running row to end now.
  virtual void terminate_running() = 0;
};

struct SummaryRow {
  int row = 0;  // 1-based place in the manifest
  std::string recording;
  bool ok = false;
  std::string message;
  std::optional<int> beats_accepted, beats_left_out;
  std::optional<double> seconds;
};

// Told of each row as it ends.
class BatchProgress {
 public:
  virtual ~BatchProgress() = default;
  virtual void row_ended(const SummaryRow& row, int done, int failed, int total) = 0;
  virtual void finished(int done, int failed, int total) = 0;
};

// How far a stop was asked for: 0 go on, 1 start no more rows and let the
// running ones end, 2 or more end the running ones too.
using StopLevel = std::function<int()>;

struct BatchChoice {
  std::size_t jobs = 1;  // rows at once
  bool resume = false;   // keep rows whose record matches
};

// A row's run ended with status 0 is done only when its record then
// matches; otherwise it has failed with the record's reason.

// Runs rows `chosen` (0-based places in the manifest). Returns one summary
// row per chosen row, in manifest order; rows not run when stopped say so.
std::vector<SummaryRow> run_rows(const Manifest& manifest, const std::vector<std::size_t>& chosen,
                                 const BatchChoice& choice, RowLauncher& launcher, RowFiles& files,
                                 const StopLevel& stop, BatchProgress& progress);

// The summary of every row from the records alone, after the rows have run
// elsewhere.
std::vector<SummaryRow> collect_rows(const Manifest& manifest, RowFiles& files);

// batch_summary.csv: row,recording,status,message,beats_accepted,
// beats_left_out,seconds; status ok or failed; a field with a comma, quote
// or line end quoted. Recordings and messages are shown as terminal_text
// gives them.
std::string summary_csv(const std::vector<SummaryRow>& rows);

// The progress of a batch for a person at a terminal (one line rewritten in
// place: rows done of total, failures, rate, time left) or, elsewhere, one
// plain line per row. `clock` gives seconds since the start.
// A text as it may reach a terminal or a table: as it is when it is clean
// UTF-8 without control characters, otherwise quoted with every such byte
// escaped.
std::string terminal_text(std::string_view text);

class StreamProgress : public BatchProgress {
 public:
  StreamProgress(std::ostream& out, bool terminal, std::function<double()> clock);
  void row_ended(const SummaryRow& row, int done, int failed, int total) override;
  void finished(int done, int failed, int total) override;

 private:
  std::ostream& out_;
  bool terminal_;
  std::function<double()> clock_;
};

// "12/40 rows done, 1 failed, 3.5 rows/s, 0:10 left".
std::string progress_line(int done, int failed, int total, double elapsed_seconds);

}  // namespace ba

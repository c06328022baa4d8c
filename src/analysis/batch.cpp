#include "analysis/batch.h"

#include <cmath>
#include <cstdio>

#include "runtime/quoting.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

constexpr std::string_view not_run_message = "not run: the batch was stopped";
constexpr std::string_view kept_message = "kept: its record matches";

SummaryRow summary_of(const Manifest& manifest, std::size_t place) {
  SummaryRow row;
  row.row = static_cast<int>(place) + 1;
  row.recording = manifest.rows[place].recording_text;
  return row;
}

void take_figures(SummaryRow& row, const RowRecord& record) {
  row.beats_accepted = record.beats_accepted;
  row.beats_left_out = record.beats_left_out;
  if (row.message.empty()) row.message = record.reason;
}

std::string record_fault(const RowRecord& record) {
  return record.state == RowRecord::State::missing ? "no record" : record.reason;
}

// A row whose run ended with status 0, once its mark is cleared and its
// record read again: done only when the record matches the row.
SummaryRow checked_end(SummaryRow row, const ManifestRow& manifest_row, RowFiles& files) {
  if (auto reason = files.ended(manifest_row, "")) {
    row.ok = false;
    row.message = *reason;
    return row;
  }
  const RowRecord record = files.record(manifest_row);
  if (record.state == RowRecord::State::matches) {
    take_figures(row, record);
  } else {
    row.ok = false;
    row.message = "ended, but " + record_fault(record);
  }
  return row;
}

std::string clock_text(double seconds) {
  const long whole = static_cast<long>(std::ceil(seconds));
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

// One batch run over the chosen rows: each row ends once, in any order, and
// the progress hears of it at once.
class RowRun {
 public:
  RowRun(const Manifest& manifest, const std::vector<std::size_t>& chosen, RowFiles& files,
         BatchProgress& progress)
      : manifest_(manifest),
        chosen_(chosen),
        files_(files),
        progress_(progress),
        total_(static_cast<int>(chosen.size())),
        ended_(chosen.size()) {}

  // With resume, rows whose record matches are kept without a run; the
  // other slots, in manifest order.
  std::vector<std::size_t> rows_to_run(bool resume) {
    std::vector<std::size_t> waiting;
    for (std::size_t slot = 0; slot < chosen_.size(); ++slot) {
      if (resume) {
        const RowRecord record = files_.record(row_of(slot));
        if (record.state == RowRecord::State::matches) {
          SummaryRow row = summary_of(manifest_, chosen_[slot]);
          row.ok = true;
          row.message = kept_message;
          take_figures(row, record);
          finish(slot, std::move(row));
          continue;
        }
      }
      waiting.push_back(slot);
    }
    return waiting;
  }

  // Starts a row; false when it could not start (it has ended with the reason).
  bool start(std::size_t slot, RowLauncher& launcher) {
    auto reason = files_.starting(row_of(slot));
    if (!reason) reason = launcher.start(slot, row_of(slot));
    if (!reason) return true;
    files_.ended(row_of(slot), *reason);
    SummaryRow row = summary_of(manifest_, chosen_[slot]);
    row.message = *reason;
    finish(slot, std::move(row));
    return false;
  }

  void take_end(const RowEnd& end) {
    SummaryRow row = summary_of(manifest_, chosen_[end.slot]);
    row.ok = end.ok;
    row.message = end.message;
    row.seconds = end.seconds;
    if (row.ok) row = checked_end(std::move(row), row_of(end.slot), files_);
    if (!row.ok) files_.ended(row_of(end.slot), row.message);
    finish(end.slot, std::move(row));
  }

  // Every chosen row in order; those never run say so.
  std::vector<SummaryRow> summary() {
    std::vector<SummaryRow> rows;
    for (std::size_t slot = 0; slot < chosen_.size(); ++slot) {
      if (ended_[slot]) {
        rows.push_back(std::move(*ended_[slot]));
      } else {
        SummaryRow row = summary_of(manifest_, chosen_[slot]);
        row.message = not_run_message;
        rows.push_back(std::move(row));
      }
    }
    progress_.finished(done_, failed_, total_);
    return rows;
  }

 private:
  const ManifestRow& row_of(std::size_t slot) const { return manifest_.rows[chosen_[slot]]; }

  void finish(std::size_t slot, SummaryRow row) {
    ++done_;
    if (!row.ok) ++failed_;
    progress_.row_ended(row, done_, failed_, total_);
    ended_[slot] = std::move(row);
  }

  const Manifest& manifest_;
  const std::vector<std::size_t>& chosen_;
  RowFiles& files_;
  BatchProgress& progress_;
  const int total_;
  std::vector<std::optional<SummaryRow>> ended_;
  int done_ = 0;
  int failed_ = 0;
};

}  // namespace

std::vector<SummaryRow> run_rows(const Manifest& manifest, const std::vector<std::size_t>& chosen,
                                 const BatchChoice& choice, RowLauncher& launcher, RowFiles& files,
                                 const StopLevel& stop, BatchProgress& progress) {
  RowRun run(manifest, chosen, files, progress);
  const std::vector<std::size_t> waiting = run.rows_to_run(choice.resume);
  const std::size_t jobs = choice.jobs == 0 ? 1 : choice.jobs;
  std::size_t next = 0;
  std::size_t running = 0;
  bool terminated = false;
  for (;;) {
    const int level = stop();
    if (level >= 2 && !terminated && running > 0) {
      launcher.terminate_running();
      terminated = true;
    }
    while (level == 0 && running < jobs && next < waiting.size())
      if (run.start(waiting[next++], launcher)) ++running;
    if (running == 0) break;
    const std::optional<RowEnd> end = launcher.wait_one();
    if (!end) continue;
    --running;
    run.take_end(*end);
  }
  return run.summary();
}

std::vector<SummaryRow> collect_rows(const Manifest& manifest, RowFiles& files) {
  std::vector<SummaryRow> summary;
  for (std::size_t place = 0; place < manifest.rows.size(); ++place) {
    SummaryRow row = summary_of(manifest, place);
    const RowRecord record = files.record(manifest.rows[place]);
    row.ok = record.state == RowRecord::State::matches;
    if (row.ok)
      take_figures(row, record);
    else
      row.message = record_fault(record);
    summary.push_back(std::move(row));
  }
  return summary;
}

std::string summary_csv(const std::vector<SummaryRow>& rows) {
  std::string text = "row,recording,status,message,beats_accepted,beats_left_out,seconds\n";
  for (const SummaryRow& row : rows) {
    text += std::to_string(row.row) + "," + csv_quoted(terminal_text(row.recording)) + "," +
            (row.ok ? "ok" : "failed") + "," + csv_quoted(terminal_text(row.message)) + ",";
    if (row.beats_accepted) text += std::to_string(*row.beats_accepted);
    text += ",";
    if (row.beats_left_out) text += std::to_string(*row.beats_left_out);
    text += ",";
    if (row.seconds) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f", *row.seconds);
      text += seconds;
    }
    text += "\n";
  }
  return text;
}

std::string progress_line(int done, int failed, int total, double elapsed_seconds) {
  std::string line = std::to_string(done) + "/" + std::to_string(total) + " rows done, " +
                     std::to_string(failed) + " failed";
  if (done > 0 && elapsed_seconds > 0) {
    const double rate = done / elapsed_seconds;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", rate);
    line += std::string(", ") + text + " rows/s, " + clock_text((total - done) / rate) + " left";
  }
  return line;
}

std::string terminal_text(std::string_view text) {
  return is_clean_text(text) ? std::string(text) : quote(text);
}

StreamProgress::StreamProgress(std::ostream& out, bool terminal, std::function<double()> clock)
    : out_(out), terminal_(terminal), clock_(std::move(clock)) {}

void StreamProgress::row_ended(const SummaryRow& row, int done, int failed, int total) {
  if (terminal_) {
    out_ << "\r" << progress_line(done, failed, total, clock_()) << "\033[K" << std::flush;
    return;
  }
  out_ << "row " << row.row << " " << (row.ok ? "ok" : "failed") << " "
       << terminal_text(row.recording);
  if (!row.message.empty()) out_ << ": " << terminal_text(row.message);
  out_ << "\n" << std::flush;
}

void StreamProgress::finished(int done, int failed, int total) {
  if (terminal_) out_ << "\r" << progress_line(done, failed, total, clock_()) << "\033[K\n";
  out_ << total << " rows: " << done - failed << " ok, " << failed << " failed, " << total - done
       << " not run\n"
       << std::flush;
}

}  // namespace ba

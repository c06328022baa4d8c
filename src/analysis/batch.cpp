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

}  // namespace

std::vector<SummaryRow> run_rows(const Manifest& manifest, const std::vector<std::size_t>& chosen,
                                 const BatchChoice& choice, RowLauncher& launcher, RowFiles& files,
                                 const StopLevel& stop, BatchProgress& progress) {
  const int total = static_cast<int>(chosen.size());
  std::vector<std::optional<SummaryRow>> ended(chosen.size());
  int done = 0;
  int failed = 0;
  auto finish = [&](std::size_t slot, SummaryRow row) {
    ++done;
    if (!row.ok) ++failed;
    progress.row_ended(row, done, failed, total);
    ended[slot] = std::move(row);
  };

  std::vector<std::size_t> waiting;  // slots still to start, in manifest order
  for (std::size_t slot = 0; slot < chosen.size(); ++slot) {
    if (choice.resume) {
      const RowRecord record = files.record(manifest.rows[chosen[slot]]);
      if (record.state == RowRecord::State::matches) {
        SummaryRow row = summary_of(manifest, chosen[slot]);
        row.ok = true;
        row.message = kept_message;
        take_figures(row, record);
        finish(slot, std::move(row));
        continue;
      }
    }
    waiting.push_back(slot);
  }

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
    while (level == 0 && running < jobs && next < waiting.size()) {
      const std::size_t slot = waiting[next++];
      const ManifestRow& manifest_row = manifest.rows[chosen[slot]];
      auto reason = files.starting(manifest_row);
      if (!reason) reason = launcher.start(slot, manifest_row);
      if (reason) {
        files.ended(manifest_row, *reason);
        SummaryRow row = summary_of(manifest, chosen[slot]);
        row.message = *reason;
        finish(slot, std::move(row));
      } else {
        ++running;
      }
    }
    if (running == 0) break;
    const std::optional<RowEnd> end = launcher.wait_one();
    if (!end) continue;
    --running;
    const ManifestRow& manifest_row = manifest.rows[chosen[end->slot]];
    SummaryRow row = summary_of(manifest, chosen[end->slot]);
    row.ok = end->ok;
    row.message = end->message;
    row.seconds = end->seconds;
    if (row.ok) row = checked_end(std::move(row), manifest_row, files);
    if (!row.ok) files.ended(manifest_row, row.message);
    finish(end->slot, std::move(row));
  }

  std::vector<SummaryRow> summary;
  for (std::size_t slot = 0; slot < chosen.size(); ++slot) {
    if (ended[slot]) {
      summary.push_back(std::move(*ended[slot]));
    } else {
      SummaryRow row = summary_of(manifest, chosen[slot]);
      row.message = not_run_message;
      summary.push_back(std::move(row));
    }
  }
  progress.finished(done, failed, total);
  return summary;
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

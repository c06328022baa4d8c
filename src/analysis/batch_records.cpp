#include "analysis/batch_records.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "analysis/analyse.h"
#include "marking/marking.h"
#include "results/analysis_record.h"
#include "runtime/files.h"
#include "runtime/sha256.h"
#include "runtime/size_limits.h"

namespace ba {

namespace {

namespace fs = std::filesystem;

// A mark holds one line; more is not looked at.
constexpr std::size_t mark_read = 4096;

// Whether the file is still the one whose digest the record keeps.
std::optional<std::string> differs(FileOps& files, const fs::path& file, const std::string& digest,
                                   const char* what) {
  const auto now = files.digest(file);
  if (const auto* reason = std::get_if<std::string>(&now))
    return std::string(what) + " " + file.filename().string() + ": " + *reason;
  if (std::get<FileDigest>(now).sha256 != digest)
    return std::string(what) + " " + file.filename().string() + " has changed since its record";
  return std::nullopt;
}

// Why the row's last run is not known to have ended well: the first line of
// its mark, when there is one.
std::optional<std::string> unfinished(FileOps& files, const ManifestRow& row) {
  const fs::path mark = row.unfinished_mark();
  Bytes bytes;
  if (files.read_prefix(mark, mark_read, bytes)) {
    std::error_code ignored;
    if (!fs::exists(fs::symlink_status(mark, ignored))) return std::nullopt;
    return "last run unknown: " + mark.filename().string() + " cannot be read";
  }
  std::string line(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  line = line.substr(0, line.find('\n'));
  return "last run " + terminal_text(line);
}

std::string ms_text(std::int32_t ms) { return std::to_string(ms) + " ms"; }

std::string fraction_text(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

std::string leads_text(const std::array<std::int32_t, 3>& leads) {
  return std::to_string(leads[0]) + "," + std::to_string(leads[1]) + "," + std::to_string(leads[2]);
}

// The first choice in which the record differs from the row's plan. The
// values are compared, not their texts: %g rounds.
std::optional<std::string> other_choice(const AnalysisRecord& kept, const AnalyseChoices& asked,
                                        const SessionPlan& plan) {
  auto point = [](std::int32_t index) { return ms_text(index - r_peak_index); };
  const char asked_command = asked.view ? 'v' : 'c';
  const struct {
    const char* name;
    bool same;
    std::string kept, asked;
  } choices[] = {
      {"the reference beat at", kept.reference_r == plan.reference_r, ms_text(kept.reference_r),
       ms_text(plan.reference_r)},
      {"PQ", kept.pq_point == plan.indices[0], point(kept.pq_point), point(plan.indices[0])},
      {"Q start", kept.q_start == plan.indices[1], point(kept.q_start), point(plan.indices[1])},
      {"T end", kept.t_end == plan.indices[2], point(kept.t_end), point(plan.indices[2])},
      {"leads", kept.leads == asked.leads, leads_text(kept.leads), leads_text(asked.leads)},
      {"threshold", kept.corr_threshold == asked.threshold, fraction_text(kept.corr_threshold),
       fraction_text(asked.threshold)},
      {"ratio", kept.r_ratio == asked.ratio, fraction_text(kept.r_ratio),
       fraction_text(asked.ratio)},
      {"print", kept.print == asked.print, kept.print ? "1" : "0", asked.print ? "1" : "0"},
      {"command", kept.command == asked_command, std::string(1, kept.command),
       std::string(1, asked_command)},
  };
  for (const auto& choice : choices)
    if (!choice.same)
      return std::string("its record holds ") + choice.name + " " + choice.kept +
             ", the row asks for " + choice.asked;
  return std::nullopt;
}

// Whether the record was made with exactly the choices the row asks for,
// as analyse would take them (from the row's record and its options).
// A row whose beat and points the program proposes asks for whatever its
// record keeps of them, and for its own other choices.
std::optional<std::string> choices_differ(FileOps& files, const ManifestRow& row,
                                          const AnalysisRecord& kept) {
  AnalyseRequest request = row.request();
  if (request.propose) {
    request.propose = false;
    request.record = row.record_written();
  }
  const auto resolved = resolve_choices(request, files);
  if (const auto* reason = std::get_if<std::string>(&resolved)) return *reason;
  const AnalyseChoices& asked = std::get<AnalyseChoices>(resolved);
  const auto planned = plan_session(asked, files);
  if (const auto* reason = std::get_if<std::string>(&planned)) return *reason;
  return other_choice(kept, asked, std::get<SessionPlan>(planned));
}

}  // namespace

RowRecord read_row_record(FileOps& files, const ManifestRow& row) {
  RowRecord found;
  if (auto last_run = unfinished(files, row)) {
    found.state = RowRecord::State::stale;
    found.reason = *last_run;
    return found;
  }
  const fs::path path = row.record_written();
  Bytes bytes;
  const auto reason = files.read_prefix(path, largest_record + 1, bytes);
  if (!reason && bytes.size() > largest_record) {
    found.state = RowRecord::State::unusable;
    found.reason = path.filename().string() + ": larger than 16 MB: not a record";
    return found;
  }
  if (reason) {
    std::error_code ignored;
    if (!fs::exists(path, ignored)) return found;
    found.state = RowRecord::State::unusable;
    found.reason = path.filename().string() + ": " + *reason;
    return found;
  }
  const auto read =
      read_record(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (const auto* reason = std::get_if<std::string>(&read)) {
    found.state = RowRecord::State::unusable;
    found.reason = path.filename().string() + ": " + *reason;
    return found;
  }
  const AnalysisRecord& record = std::get<AnalysisRecord>(read);
  found.beats_accepted = static_cast<int>(record.accepted_r.size());
  found.beats_left_out = static_cast<int>(record.left_out.size());
  found.state = RowRecord::State::stale;
  if (auto other = choices_differ(files, row, record)) {
    found.reason = *other;
  } else if (auto changed = differs(files, row.recording, record.recording_sha256, "recording")) {
    found.reason = *changed;
  } else if (auto result =
                 differs(files, row.result_written(), record.result_sha256, "result file")) {
    found.reason = *result;
  } else {
    found.state = RowRecord::State::matches;
    if (record.proposal && record.proposal->doubtful) {
      found.reason = "doubtful:";
      for (const std::string& reason : record.proposal->reasons)
        found.reason += (found.reason.ends_with(':') ? " " : "; ") + reason;
    }
  }
  return found;
}

std::optional<std::string> DiskRowFiles::starting(const ManifestRow& row) {
  const fs::path mark = row.unfinished_mark();
  // Without its folder the row can write nothing, and analyse says why.
  std::error_code ignored;
  if (!fs::is_directory(mark.parent_path().empty() ? "." : mark.parent_path(), ignored))
    return std::nullopt;
  if (auto reason = files_.replace_file(mark, "started " + utc_now_iso8601() + ", not ended\n"))
    return mark.filename().string() + ": cannot be written: " + *reason;
  return std::nullopt;
}

std::optional<std::string> DiskRowFiles::ended(const ManifestRow& row, const std::string& failure) {
  const fs::path mark = row.unfinished_mark();
  if (failure.empty()) {
    std::error_code error;
    fs::remove(mark, error);
    if (error) return mark.filename().string() + ": cannot be removed: " + error.message();
    return std::nullopt;
  }
  std::string line = "failed: " + failure;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  if (auto reason = files_.replace_file(mark, line + "\n"))
    return mark.filename().string() + ": cannot be written: " + *reason;
  return std::nullopt;
}

}  // namespace ba

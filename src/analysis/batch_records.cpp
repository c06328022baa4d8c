#include "analysis/batch_records.h"

#include <filesystem>
#include <vector>

#include "results/analysis_record.h"
#include "runtime/files.h"
#include "runtime/sha256.h"

namespace ba {

namespace {

// A record is a page of JSON; one far larger is not one.
constexpr std::size_t largest_record = 16u << 20;

// Whether the file is still the one whose digest the record keeps.
std::optional<std::string> differs(const std::filesystem::path& file, const std::string& digest,
                                   const char* what) {
  const auto now = digest_file(file);
  if (const auto* reason = std::get_if<std::string>(&now))
    return std::string(what) + " " + file.filename().string() + ": " + *reason;
  if (std::get<FileDigest>(now).sha256 != digest)
    return std::string(what) + " " + file.filename().string() + " has changed since its record";
  return std::nullopt;
}

}  // namespace

RowRecord read_row_record(const ManifestRow& row) {
  RowRecord found;
  const std::filesystem::path path = row.record_written();
  HostFileOps files;
  Bytes bytes;
  const auto reason = files.read_prefix(path, largest_record + 1, bytes);
  if (!reason && bytes.size() > largest_record) {
    found.state = RowRecord::State::unusable;
    found.reason = path.filename().string() + ": larger than 16 MB: not a record";
    return found;
  }
  if (reason) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) return found;
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
  if (auto reason = differs(row.recording, record.recording_sha256, "recording")) {
    found.reason = *reason;
  } else if (auto changed = differs(row.result_written(), record.result_sha256, "result file")) {
    found.reason = *changed;
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

}  // namespace ba

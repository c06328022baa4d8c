#pragma once
// The analysis record: a JSON file beside every result file that keeps what
// made it (the recording's digest, the conditions, the reference beat, the
// three fiducial points, the command that measured, which beats were kept
// and which left out and why), so that the analysis can be run again.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/textform.h"

namespace ba {

class Io;

inline constexpr std::string_view record_format = "beat-analyser-record";
inline constexpr int record_version = 1;
inline constexpr std::string_view record_suffix = ".record.json";

inline constexpr std::string_view left_out_by_correlation = "correlation below the threshold";
inline constexpr std::string_view left_out_by_points = "fiducial points outside the recording";

struct LeftOutBeat {
  std::int32_t r_ms = 0;  // the candidate's R time before alignment
  std::string reason;
};

// What the c or v command that filled the selection used, kept with the
// selection so that marking again before d does not change what d records.
struct SelectionSource {
  char command = 0;              // 'c' or 'v'; 0 when no command filled the selection
  std::int32_t reference_r = 0;  // R sample of the reference beat
  std::int32_t pq_point = 0;     // beat-window indices (200 = R)
  std::int32_t q_start = 0;
  std::int32_t t_end = 0;
  std::int32_t j_point = 0;             // beat-window index; 0 until the first beat is measured
  bool j_given = false;                 // given by the person, else proposed from the leads
  std::array<std::int32_t, 3> leads{};  // displayed lead numbers (channel - 8)
  float corr_threshold = 0.0f;
  float r_ratio = 0.0f;
  std::int32_t print_flag = 0;
  std::vector<LeftOutBeat> left_out;  // time order
};

// How the program proposed the reference beat and the points, when it did
// (analyse --auto): the method, whether and why to doubt the choices, and
// the confidence of each point (0..1).
struct RecordProposal {
  std::string method;
  std::int32_t version = 0;
  bool doubtful = false;
  std::vector<std::string> reasons;
  float pq_confidence = 0.0f;
  float q_confidence = 0.0f;
  float t_end_confidence = 0.0f;
};

struct AnalysisRecord {
  std::string program_version;
  std::string recording_file;  // file name only
  std::uint64_t recording_size = 0;
  std::string recording_sha256;
  std::array<std::int32_t, 3> leads{};
  float corr_threshold = 0.0f;
  float r_ratio = 0.0f;
  bool print = true;
  char command = 0;  // 'c', 'v', or 0 (no measurement)
  std::int32_t reference_r = 0;
  std::int32_t pq_point = 0;
  std::int32_t q_start = 0;
  std::int32_t t_end = 0;
  std::int32_t j_point = 0;  // 0 when the record keeps none (made before J was measured)
  bool j_given = false;
  std::vector<std::int32_t> accepted_r;  // time order
  std::vector<LeftOutBeat> left_out;
  std::string result_file;  // file name only
  std::string result_sha256;
  std::string written_utc;                 // ISO 8601, e.g. 2026-12-09T06:49:20Z
  std::optional<RecordProposal> proposal;  // only when the program chose
};

// The record's JSON text, ending in a newline.
std::string record_text(const AnalysisRecord& record);
// A record read back, or why it cannot be used (not JSON, another format, a
// version this program does not read, a field missing or of the wrong kind).
std::variant<AnalysisRecord, std::string> read_record(std::string_view text);

// The time now as the record keeps it.
std::string utc_now_iso8601();

// Writes NAMEst.record.json beside the result file d has just written at
// `result_path` (the program's path), whole or not at all; the result file's
// bytes are the lines of `result`. A failure changes nothing the program
// shows: it is passed to the platform's remark.
void keep_analysis_record(Io& io, const std::string& result_path, const std::string& recording_path,
                          const SelectionSource& source,
                          const std::vector<std::int32_t>& accepted_r,
                          const std::vector<std::vector<Item>>& result);

}  // namespace ba

#include "results/analysis_record.h"

#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "recording/recording.h"
#include "results/beat.h"
#include "runtime/errors.h"
#include "runtime/io.h"
#include "runtime/sha256.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

using Json = nlohmann::ordered_json;

// The shortest decimal that reads back as the same single-precision value,
// so that 0.95 is kept as 0.95 and not as the double nearest to the float.
double shortest_decimal(float value) {
  for (int digits = 1; digits <= 9; ++digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    const std::optional<double> read = parse_real(text);
    if (read && static_cast<float>(*read) == value) return *read;
  }
  return static_cast<double>(value);
}

Json point(std::int32_t index) {
  return Json{{"index", index}, {"ms_from_r", index - r_peak_index}};
}

const Json& field(const Json& object, const char* name, const std::string& where) {
  if (!object.is_object()) throw Refusal{where + " is not an object"};
  const auto found = object.find(name);
  if (found == object.end()) throw Refusal{"no field " + where + "." + name};
  return *found;
}

std::string text_field(const Json& object, const char* name, const std::string& where) {
  const Json& value = field(object, name, where);
  if (!value.is_string()) throw Refusal{where + "." + name + " is not text"};
  return value.get<std::string>();
}

std::int64_t whole_field(const Json& value, const std::string& what, std::int64_t low,
                         std::int64_t high) {
  if (!value.is_number_integer()) throw Refusal{what + " is not a whole number"};
  const std::int64_t number = value.get<std::int64_t>();
  if (number < low || number > high)
    throw Refusal{what + " is " + std::to_string(number) + ", not in " + std::to_string(low) +
                  ".." + std::to_string(high)};
  return number;
}

std::int32_t whole(const Json& object, const char* name, const std::string& where, std::int64_t low,
                   std::int64_t high) {
  return static_cast<std::int32_t>(
      whole_field(field(object, name, where), where + "." + name, low, high));
}

float real(const Json& object, const char* name, const std::string& where) {
  const Json& value = field(object, name, where);
  if (!value.is_number()) throw Refusal{where + "." + name + " is not a number"};
  return static_cast<float>(value.get<double>());
}

std::string digest(const Json& object, const std::string& where) {
  std::string text = text_field(object, "sha256", where);
  if (!is_sha256_hex(text)) throw Refusal{where + ".sha256 is not 64 lower-case hex digits"};
  return text;
}

// A file name alone, as the record keeps it: no folder part.
std::string file_name(const Json& object, const std::string& where) {
  std::string name = text_field(object, "file", where);
  if (name.empty() || name.find_first_of("/\\") != std::string::npos)
    throw Refusal{where + ".file is not a file name"};
  return name;
}

std::int32_t point_index(const Json& points, const char* name) {
  const std::string where = std::string("fiducial_points.") + name;
  const Json& entry = field(points, name, "fiducial_points");
  const std::int32_t index = whole(entry, "index", where, -1'000'000, 1'000'000);
  const std::int32_t ms = whole(entry, "ms_from_r", where, -1'000'000, 1'000'000);
  if (ms != index - r_peak_index)
    throw Refusal{where + ": ms_from_r " + std::to_string(ms) + " is not index " +
                  std::to_string(index) + " - 200"};
  return index;
}

RecordProposal proposal_of(const Json& block) {
  RecordProposal p;
  p.method = text_field(block, "method", "proposal");
  p.version = whole(block, "version", "proposal", 0, 1'000'000);
  const Json& doubtful = field(block, "doubtful", "proposal");
  if (!doubtful.is_boolean()) throw Refusal{"proposal.doubtful is not true or false"};
  p.doubtful = doubtful.get<bool>();
  const Json& reasons = field(block, "reasons", "proposal");
  if (!reasons.is_array()) throw Refusal{"proposal.reasons is not a list"};
  for (const Json& reason : reasons) {
    if (!reason.is_string()) throw Refusal{"proposal.reasons holds a reason that is not text"};
    p.reasons.push_back(reason.get<std::string>());
  }
  const Json& confidence = field(block, "confidence", "proposal");
  p.pq_confidence = real(confidence, "pq", "proposal.confidence");
  p.q_confidence = real(confidence, "q_start", "proposal.confidence");
  p.t_end_confidence = real(confidence, "t_end", "proposal.confidence");
  return p;
}

// The format's name and version; the refusal when the record is not one this
// program reads.
void check_format(const Json& root) {
  if (!root.is_object()) throw Refusal{"not a JSON object"};
  const auto format = root.find("format");
  if (format == root.end() || !format->is_string() || *format != record_format)
    throw Refusal{"not an analysis record (format is not \"" + std::string(record_format) + "\")"};
  const std::int32_t version = whole(root, "version", "record", 0, 1'000'000);
  if (version != record_version)
    throw Refusal{"record version " + std::to_string(version) + " is not one this program reads (" +
                  std::to_string(record_version) + ")"};
}

void parse_conditions(const Json& conditions, AnalysisRecord& r) {
  const Json& leads = field(conditions, "leads", "conditions");
  if (!leads.is_array() || leads.size() != 3) throw Refusal{"conditions.leads is not three leads"};
  for (std::size_t k = 0; k < 3; ++k)
    r.leads[k] = static_cast<std::int32_t>(
        whole_field(leads[k], "conditions.leads[" + std::to_string(k + 1) + "]", -7, 64));
  r.corr_threshold = real(conditions, "correlation_threshold", "conditions");
  r.r_ratio = real(conditions, "amplitude_ratio", "conditions");
  const Json& print = field(conditions, "print", "conditions");
  if (!print.is_boolean()) throw Refusal{"conditions.print is not true or false"};
  r.print = print.get<bool>();
}

// The command that measured, the reference beat and its fiducial points.
void parse_marking(const Json& root, AnalysisRecord& r) {
  const Json& command = field(root, "measured_by", "record");
  if (command.is_null()) {
    r.command = 0;
  } else if (command == "c" || command == "v") {
    r.command = command.get<std::string>()[0];
  } else {
    throw Refusal{"measured_by is not \"c\", \"v\" or null"};
  }
  r.reference_r =
      whole(field(root, "reference_beat", "record"), "r_ms", "reference_beat", 0, recorded_samples);
  const Json& points = field(root, "fiducial_points", "record");
  r.pq_point = point_index(points, "pq");
  r.q_start = point_index(points, "q_start");
  r.t_end = point_index(points, "t_end");
  // Records made before the J point was measured have none.
  if (points.is_object() && points.contains("j")) {
    r.j_point = point_index(points, "j");
    const Json& given = field(points["j"], "given", "fiducial_points.j");
    if (!given.is_boolean()) throw Refusal{"fiducial_points.j.given is not true or false"};
    r.j_given = given.get<bool>();
  }
}

void parse_beats(const Json& root, AnalysisRecord& r) {
  const Json& accepted = field(root, "accepted_r_ms", "record");
  if (!accepted.is_array()) throw Refusal{"accepted_r_ms is not a list"};
  for (const Json& r_ms : accepted)
    r.accepted_r.push_back(
        static_cast<std::int32_t>(whole_field(r_ms, "an accepted R time", 1, recorded_samples)));
  const Json& left_out = field(root, "left_out", "record");
  if (!left_out.is_array()) throw Refusal{"left_out is not a list"};
  for (const Json& beat : left_out)
    r.left_out.push_back({whole(beat, "r_ms", "left_out", 1, recorded_samples),
                          text_field(beat, "reason", "left_out")});
}

AnalysisRecord parse(const Json& root) {
  check_format(root);
  AnalysisRecord r;
  r.program_version = text_field(root, "program_version", "record");
  const Json& recording = field(root, "recording", "record");
  r.recording_file = file_name(recording, "recording");
  r.recording_size = static_cast<std::uint64_t>(
      whole_field(field(recording, "size", "recording"), "recording.size", 0, INT64_MAX));
  r.recording_sha256 = digest(recording, "recording");
  parse_conditions(field(root, "conditions", "record"), r);
  parse_marking(root, r);
  parse_beats(root, r);
  const Json& result = field(root, "result_file", "record");
  r.result_file = file_name(result, "result_file");
  r.result_sha256 = digest(result, "result_file");
  r.written_utc = text_field(root, "written_utc", "record");
  if (root.contains("proposal")) r.proposal = proposal_of(root["proposal"]);
  return r;
}

std::string trimmed_path(const std::string& program_path) {
  return program_path.substr(0, program_path.find_last_not_of(' ') + 1);
}

// "d:\data\map\NAMEst.txt" -> "NAMEst.txt"
std::string name_of(const std::string& program_path) {
  const std::string path = trimmed_path(program_path);
  return path.substr(path.find_last_of('\\') + 1);
}

}  // namespace

std::string record_text(const AnalysisRecord& r) {
  Json root;
  root["format"] = record_format;
  root["version"] = record_version;
  root["program_version"] = r.program_version;
  root["recording"] = {
      {"file", r.recording_file}, {"size", r.recording_size}, {"sha256", r.recording_sha256}};
  root["conditions"] = {{"leads", r.leads},
                        {"correlation_threshold", shortest_decimal(r.corr_threshold)},
                        {"amplitude_ratio", shortest_decimal(r.r_ratio)},
                        {"print", r.print}};
  root["measured_by"] = r.command == 0 ? Json(nullptr) : Json(std::string(1, r.command));
  root["reference_beat"] = {{"r_ms", r.reference_r}};
  root["fiducial_points"] = {
      {"pq", point(r.pq_point)}, {"q_start", point(r.q_start)}, {"t_end", point(r.t_end)}};
  if (r.j_point != 0) {
    Json j = point(r.j_point);
    j["given"] = r.j_given;
    root["fiducial_points"]["j"] = j;
  }
  root["accepted_r_ms"] = r.accepted_r;
  Json left_out = Json::array();
  for (const LeftOutBeat& beat : r.left_out)
    left_out.push_back({{"r_ms", beat.r_ms}, {"reason", beat.reason}});
  root["left_out"] = left_out;
  root["result_file"] = {{"file", r.result_file}, {"sha256", r.result_sha256}};
  if (r.proposal)
    root["proposal"] = {{"method", r.proposal->method},
                        {"version", r.proposal->version},
                        {"doubtful", r.proposal->doubtful},
                        {"reasons", r.proposal->reasons},
                        {"confidence",
                         {{"pq", shortest_decimal(r.proposal->pq_confidence)},
                          {"q_start", shortest_decimal(r.proposal->q_confidence)},
                          {"t_end", shortest_decimal(r.proposal->t_end_confidence)}}}};
  root["written_utc"] = r.written_utc;
  // Names are shown as text; bytes that are not UTF-8 must not stop the save.
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::variant<AnalysisRecord, std::string> read_record(std::string_view text) {
  const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
  if (root.is_discarded()) return std::string("not JSON");
  try {
    return parse(root);
  } catch (const Refusal& unusable) {
    return unusable.reason;
  }
}

std::string utc_now_iso8601() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

void keep_analysis_record(Io& io, const std::string& result_path, const std::string& recording_path,
                          const SelectionSource& source,
                          const std::vector<std::int32_t>& accepted_r,
                          const std::vector<std::vector<Item>>& result) {
  std::string txt = trimmed_path(result_path);
  if (txt.ends_with(".txt")) txt.resize(txt.size() - 4);
  const std::string record_path = txt + std::string(record_suffix);
  auto fail = [&](const std::string& reason) {
    io.platform().remark("cannot write the analysis record " + record_path + ": " + reason);
  };
  const auto host = io.folder().host_path(record_path);
  const auto recording = io.folder().host_path(recording_path);
  if (!host || !recording) return fail("outside the data folder");

  AnalysisRecord r;
  r.program_version = BEAT_VERSION;
  r.recording_file = name_of(recording_path);
  const auto digest = io.files().digest(*recording);
  if (const auto* failure = std::get_if<std::string>(&digest))
    return fail("the recording cannot be read: " + *failure);
  r.recording_size = std::get<FileDigest>(digest).size;
  r.recording_sha256 = std::get<FileDigest>(digest).sha256;
  r.leads = source.leads;
  r.corr_threshold = source.corr_threshold;
  r.r_ratio = source.r_ratio;
  r.print = source.print_flag == 1;
  r.command = source.command;
  r.reference_r = source.reference_r;
  r.pq_point = source.pq_point;
  r.q_start = source.q_start;
  r.t_end = source.t_end;
  r.j_point = source.j_point;
  r.j_given = source.j_given;
  r.accepted_r = accepted_r;
  r.left_out = source.left_out;
  r.result_file = name_of(result_path);
  std::string bytes;
  for (const auto& statement : result) bytes += file_bytes(statement);
  r.result_sha256 = sha256_hex(bytes);
  r.written_utc = utc_now_iso8601();
  if (auto error = io.files().replace_file(*host, record_text(r))) fail(*error);
}

}  // namespace ba

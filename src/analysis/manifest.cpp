#include "analysis/manifest.h"

#include <array>
#include <charconv>
#include <functional>
#include <map>
#include <system_error>

#include "analysis/choice_rules.h"
#include "runtime/quoting.h"
#include "runtime/text_lines.h"

namespace ba {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view recording_suffix = ".dat";

enum Column {
  recording,
  record,
  reference_ms,
  pq_ms,
  q_ms,
  t_end_ms,
  leads,
  threshold,
  ratio,
  print,
  automatic
};
constexpr std::array<std::string_view, 11> column_names = {
    "recording", "record",    "reference_ms", "pq_ms", "q_ms", "t_end_ms",
    "leads",     "threshold", "ratio",        "print", "auto"};
constexpr std::array<Column, 4> point_columns = {reference_ms, pq_ms, q_ms, t_end_ms};

// Three whole numbers separated by commas, semicolons or, when there is
// neither, blanks.
std::optional<std::array<std::int32_t, 3>> lead_field(std::string_view text) {
  const bool marked = text.find_first_of(",;") != std::string_view::npos;
  std::vector<std::string_view> numbers;
  std::size_t from = 0;
  for (std::size_t k = 0; k <= text.size(); ++k) {
    const bool separator = k == text.size() || (marked ? text[k] == ',' || text[k] == ';'
                                                       : text[k] == ' ' || text[k] == '\t');
    if (!separator) continue;
    const std::string_view number = trimmed(text.substr(from, k - from));
    if (!number.empty() || marked) numbers.push_back(number);
    from = k + 1;
  }
  if (numbers.size() != 3) return std::nullopt;
  std::array<std::int32_t, 3> leads{};
  for (std::size_t k = 0; k < 3; ++k) {
    const auto lead = parse_int32(numbers[k]);
    if (!lead) return std::nullopt;
    leads[k] = *lead;
  }
  return leads;
}

// A control character (C0, DEL, or C1 written in UTF-8) in a path would
// act on a terminal that shows it, and a NUL would end the name the system
// is given before its end, so that two rows could name one file.
bool holds_control(std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && k + 1 < text.size() && static_cast<unsigned char>(text[k + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[k + 1]) <= 0x9F)
      return true;
  }
  return false;
}

// A number as the shortest text that reads back as the same float.
std::string float_text(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::optional<bool> print_field(std::string_view text) {
  const std::string word = ascii_lower(text);
  if (word == "1" || word == "yes" || word == "true" || word == "on") return true;
  if (word == "0" || word == "no" || word == "false" || word == "off") return false;
  return std::nullopt;
}

// The recording's output files are named from its folder and its name
// without ".dat": two rows with the same key would write the same files.
std::string output_key(const fs::path& recording) {
  std::error_code ignored;
  fs::path folder = fs::weakly_canonical(recording.parent_path(), ignored);
  if (folder.empty()) folder = recording.parent_path().lexically_normal();
  std::string name = recording.filename().string();
  if (name.ends_with(recording_suffix)) name.resize(name.size() - recording_suffix.size());
  return (folder / name).string();
}

fs::path beside_recording(const fs::path& recording, std::string_view ending) {
  std::string name = recording.filename().string();
  if (name.ends_with(recording_suffix)) name.resize(name.size() - recording_suffix.size());
  return recording.parent_path() / (name + std::string(ending));
}

// The header's columns in their order, and where each stands.
struct Header {
  std::size_t count = 0;
  std::map<Column, std::size_t> place;
};

std::variant<Header, std::string> header_of(std::string_view line) {
  auto split = csv_fields(line);
  if (auto* reason = std::get_if<std::string>(&split)) return std::move(*reason);
  Header header;
  for (const std::string& name : std::get<std::vector<std::string>>(split)) {
    std::optional<Column> found;
    for (std::size_t c = 0; c < column_names.size(); ++c)
      if (ascii_lower(name) == column_names[c]) found = static_cast<Column>(c);
    if (!found) return "unknown column " + quote(name);
    if (header.place.contains(*found)) return "column " + quote(name) + " twice";
    header.place[*found] = header.count++;
  }
  if (!header.place.contains(recording)) return std::string("no column 'recording'");
  int points_given = 0;
  for (Column point : point_columns) points_given += header.place.contains(point) ? 1 : 0;
  if (points_given > 0 && points_given < 4) {
    for (Column point : point_columns)
      if (!header.place.contains(point))
        return "no column " + quote(column_names[point]) + " beside the other fiducial points";
  }
  if (points_given == 0 && !header.place.contains(record) && !header.place.contains(automatic))
    return std::string(
        "neither a column 'record' nor the columns reference_ms,pq_ms,q_ms,t_end_ms");
  return header;
}

// The optional settings of a row: leads, thresholds and the print flag.
std::optional<std::string> read_settings(const std::function<std::string_view(Column)>& field,
                                         ManifestRow& row) {
  if (!field(leads).empty()) {
    row.leads = lead_field(field(leads));
    if (!row.leads) return "leads " + quote(field(leads)) + " are not three lead numbers";
  }
  for (auto [column, target] : {std::pair{threshold, &row.threshold}, {ratio, &row.ratio}}) {
    if (field(column).empty()) continue;
    *target = parse_float(field(column));
    if (!*target)
      return "bad number " + quote(field(column)) + " in " + quote(column_names[column]);
    if (auto fault = fraction_fault(column_names[column], **target)) return fault;
  }
  if (!field(print).empty()) {
    const auto print_flag = print_field(field(print));
    if (!print_flag) return "print " + quote(field(print)) + " is not 1 or 0";
    row.print = *print_flag;
  }
  return std::nullopt;
}

// The reference time and the fiducial points, whole ms; points given in full
// must be in order.
std::optional<std::string> read_times(const std::function<std::string_view(Column)>& field,
                                      ManifestRow& row) {
  std::optional<std::int32_t>* times[] = {&row.reference_ms, &row.pq_ms, &row.q_ms, &row.t_end_ms};
  for (std::size_t p = 0; p < point_columns.size(); ++p) {
    const std::string_view value = field(point_columns[p]);
    if (value.empty()) {
      if (!row.record) return "missing field " + quote(column_names[point_columns[p]]);
      continue;
    }
    *times[p] = parse_int32(value);
    if (!*times[p])
      return "bad time " + quote(value) + " in " + quote(column_names[point_columns[p]]) +
             ": a whole number of ms";
  }
  if (row.pq_ms && row.q_ms && row.t_end_ms)
    return point_order_fault(*row.pq_ms, *row.q_ms, *row.t_end_ms);
  return std::nullopt;
}

// One row, its recording and record taken from `folder` when relative.
std::variant<ManifestRow, std::string> row_of(const Header& header, std::string_view line,
                                              const fs::path& folder) {
  auto split = csv_fields(line);
  if (auto* reason = std::get_if<std::string>(&split)) return std::move(*reason);
  const auto& fields = std::get<std::vector<std::string>>(split);
  if (fields.size() != header.count)
    return std::to_string(fields.size()) + " fields where the header has " +
           std::to_string(header.count);
  const std::function<std::string_view(Column)> field = [&](Column column) {
    const auto at = header.place.find(column);
    return at == header.place.end() ? std::string_view() : std::string_view(fields[at->second]);
  };
  ManifestRow row;
  if (field(recording).empty()) return std::string("missing field 'recording'");
  for (Column path : {recording, record})
    if (holds_control(field(path)))
      return "a control character in " + quote(column_names[path]) + " " + quote(field(path));
  row.recording_text = field(recording);
  row.recording = folder / row.recording_text;
  if (!field(record).empty()) row.record = folder / std::string(field(record));
  if (!field(automatic).empty()) {
    const auto proposed = print_field(field(automatic));
    if (!proposed) return "auto " + quote(field(automatic)) + " is not 1 or 0";
    row.propose = *proposed;
  }
  if (row.propose) {
    // The program proposes the beat and the points: the row gives none.
    for (Column given : {record, reference_ms, pq_ms, q_ms, t_end_ms})
      if (!field(given).empty()) return "auto 1 and " + quote(column_names[given]) + " in one row";
  } else if (auto reason = read_times(field, row)) {
    return std::move(*reason);
  }
  if (auto reason = read_settings(field, row)) return std::move(*reason);
  return row;
}

}  // namespace

std::vector<std::string> ManifestRow::analyse_arguments() const {
  std::vector<std::string> arguments = {"analyse", recording.string()};
  auto add = [&](std::string_view name, const std::optional<std::int32_t>& value) {
    if (value) arguments.push_back(std::string(name) + "=" + std::to_string(*value));
  };
  if (record) arguments.push_back("--record=" + record->string());
  if (propose) arguments.emplace_back("--auto");
  add("--reference", reference_ms);
  add("--pq", pq_ms);
  add("--q", q_ms);
  add("--t-end", t_end_ms);
  if (leads)
    arguments.push_back("--leads=" + std::to_string((*leads)[0]) + "," +
                        std::to_string((*leads)[1]) + "," + std::to_string((*leads)[2]));
  if (threshold) arguments.push_back("--threshold=" + float_text(*threshold));
  if (ratio) arguments.push_back("--ratio=" + float_text(*ratio));
  if (!print) arguments.emplace_back("--no-print");
  return arguments;
}

AnalyseRequest ManifestRow::request() const {
  AnalyseRequest request;
  request.recording = recording;
  request.record = record;
  request.reference_ms = reference_ms;
  request.pq_ms = pq_ms;
  request.q_ms = q_ms;
  request.t_end_ms = t_end_ms;
  request.leads = leads;
  request.threshold = threshold;
  request.ratio = ratio;
  request.no_print = !print;
  request.propose = propose;
  return request;
}

fs::path ManifestRow::record_written() const {
  return beside_recording(recording, "st.record.json");
}

fs::path ManifestRow::result_written() const { return beside_recording(recording, "st.txt"); }

fs::path ManifestRow::unfinished_mark() const {
  return beside_recording(recording, "st.unfinished");
}

std::variant<Manifest, LineFault> parse_manifest(const fs::path& file, std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a spreadsheet's byte-order mark
  std::error_code no_folder;
  const fs::path folder = fs::absolute(file, no_folder).parent_path();
  TextLines lines(text);
  std::optional<std::string_view> header_line;
  while ((header_line = lines.next()) && trimmed(*header_line).empty()) {
  }
  if (!header_line) return LineFault{0, "no header line"};
  auto read_header = header_of(*header_line);
  if (auto* reason = std::get_if<std::string>(&read_header))
    return LineFault{static_cast<int>(lines.number()), *reason};
  const Header& header = std::get<Header>(read_header);

  Manifest manifest{file, {}};
  std::map<std::string, int> writers;  // output key -> line of the row writing it
  while (auto line = lines.next()) {
    if (trimmed(*line).empty()) continue;
    const int number = static_cast<int>(lines.number());
    auto read_row = row_of(header, *line, folder);
    if (auto* reason = std::get_if<std::string>(&read_row)) return LineFault{number, *reason};
    ManifestRow& row = std::get<ManifestRow>(read_row);
    row.line = number;
    const auto [earlier, fresh] = writers.emplace(output_key(row.recording), number);
    if (!fresh)
      return LineFault{number, "writes the same files as line " + std::to_string(earlier->second) +
                                   " (" + quote(row.recording_text) + ")"};
    manifest.rows.push_back(std::move(row));
  }
  if (manifest.rows.empty()) return LineFault{0, "no rows to run"};
  return manifest;
}

}  // namespace ba

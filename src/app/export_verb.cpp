// beat_analyser export: results as CSV or a MATLAB file, the recording as
// EDF+ or with a WFDB header, for other tools.

#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/verbs.h"
#include "interchange/csv_tables.h"
#include "interchange/edf_file.h"
#include "interchange/log_reader.h"
#include "interchange/mat_file.h"
#include "interchange/recording_export.h"
#include "map/layout.h"
#include "recording/recording.h"
#include "results/result_file.h"
#include "runtime/files.h"
#include "runtime/messages.h"
#include "runtime/size_limits.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

namespace fs = std::filesystem;

enum class Target { none, csv, edf, wfdb, mat };

struct ExportOptions {
  fs::path input;
  Target target = Target::none;
  fs::path output;
  std::optional<fs::path> result;
  std::optional<fs::path> layout;
  double units_per_uv = 1.0;
  bool long_form = false;
};

void print_export_help(std::ostream& out) {
  out << "Usage: beat_analyser export RESULT_FILE --csv OUT.csv [--long]\n"
         "  or:  beat_analyser export RESULT_FILE --mat OUT.mat [--layout FILE]\n"
         "  or:  beat_analyser export LOG_FILE --csv OUT.csv\n"
         "  or:  beat_analyser export RECORDING --edf OUT.edf [--result RESULT_FILE]\n"
         "                            [--units-per-uv F]\n"
         "  or:  beat_analyser export RECORDING --wfdb [--units-per-uv F]\n"
         "Write saved results, a log or a recording in forms other tools read.\n"
         "\n"
         "  --csv OUT.csv       a result file (NAMEst.txt) as the table\n"
         "                        beat,r_ms,lead_1,...,lead_64; a log (NAMEstlog.txt)\n"
         "                        as run,reference_ms,k,best_r,shift,aligned_ms,accepted\n"
         "                        with one row per candidate of each c or v run\n"
         "                        (reference_ms: R time of the selected beat;\n"
         "                        accepted: yes, no, or left_out for a beat whose\n"
         "                        fiducial points fall outside the recording)\n"
         "  --long              the result file as beat,r_ms,lead,area instead\n"
         "  --mat OUT.mat       a result file as a MATLAB v5 file: areas (beats x 64),\n"
         "                        r_ms (beats x 1), leads (1 x 64), recording (its name)\n"
         "  --layout FILE       with --mat: also layout.x, layout.y and layout.label\n"
         "                        (64 x 1 each, NaN and '' for a lead it does not place)\n"
         "                        from a layout file as the map verb reads it\n"
         "  --edf OUT.edf       the recording as EDF+: 72 signals at 1000 Hz in uV\n"
         "  --result FILE       with --edf: an annotation R at every beat of FILE, on\n"
         "                        its R sample; EDF+ times the first sample 0 s, so\n"
         "                        the beat at R 435 ms (the sample the result file,\n"
         "                        the CSV and the map number 435) is at 0.434 s\n"
         "  --wfdb              a WFDB header NAME.hea beside RECORDING NAME.dat\n"
         "                        (format 61: the file is read as it stands)\n"
         "  --units-per-uv F    recorder units per microvolt (default 1; with --edf\n"
         "                        about 0.0033 to 49999, as EDF's header holds them)\n"
         "      --help          display this help and exit\n"
         "\n"
         "With --csv the file is taken as a log when its first line that is not blank\n"
         "starts with a log record (selected time, k=, left out time, print on time,\n"
         "off_x) or when it is empty, and as a result file otherwise; its name does\n"
         "not matter. Each output is written whole or not at all, replacing a file of\n"
         "the same name; an output that is one of the inputs is refused.\n"
         "\n"
         "Exit status: 0 written, 1 wrong command line, 2 a bad input (nothing written).\n";
}

struct Choices {
  std::optional<std::string> csv, edf, mat, result, layout, units;
  bool wfdb = false;
};

// The command line, or the status to end with.
std::variant<ExportOptions, ExitStatus> parse(CommandLine& line, int argc, char** argv) {
  ExportOptions options;
  Choices given;
  std::vector<std::string> files;
  CommandLine& app = line;
  app.add_option("--csv", given.csv);
  app.add_flag("--long", options.long_form);
  app.add_option("--mat", given.mat);
  app.add_option("--layout", given.layout);
  app.add_option("--edf", given.edf);
  app.add_option("--result", given.result);
  app.add_flag("--wfdb", given.wfdb);
  app.add_option("--units-per-uv", given.units);
  app.add_option("file", files);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  auto usage = [&](const char* reason) { return line.usage(reason, std::cerr); };
  if (given.units) {
    const auto value = parse_real(*given.units);
    if (!value || *value <= 0) return usage("--units-per-uv needs a number above 0");
    options.units_per_uv = *value;
  }
  const int targets = static_cast<int>(given.csv.has_value()) + given.edf.has_value() +
                      given.mat.has_value() + given.wfdb;
  if (files.size() != 1) return usage("name one file to export");
  if (targets != 1) return usage("choose one of --csv, --edf, --wfdb and --mat");
  const std::pair<const std::optional<std::string>&, Target> named[] = {
      {given.csv, Target::csv}, {given.edf, Target::edf}, {given.mat, Target::mat}};
  options.target = Target::wfdb;
  for (const auto& [output, target] : named) {
    if (!output) continue;
    options.target = target;
    options.output = *output;
  }
  if (options.long_form && options.target != Target::csv) return usage("--long goes with --csv");
  if (given.result && options.target != Target::edf) return usage("--result goes with --edf");
  if (given.layout && options.target != Target::mat) return usage("--layout goes with --mat");
  if (options.target == Target::edf) {
    if (auto fault = edf_factor_fault(options.units_per_uv))
      return line.usage("--units-per-uv " + *given.units + ": " + *fault, std::cerr);
  }
  if (given.result) options.result = *given.result;
  if (given.layout) options.layout = *given.layout;
  options.input = files.front();
  return options;
}

// A whole input file, or why it cannot be read. A pipe or a device is never
// opened: the read would wait for ever; a file over the limit is refused
// before it fills the memory.
std::optional<std::string> read_input(FileOps& files, const fs::path& path, std::string& text) {
  std::error_code error;
  if (fs::is_directory(path, error)) return path.string() + ": is a folder";
  if (fs::exists(path, error) && !fs::is_regular_file(path, error))
    return path.string() + ": is not a plain file";
  Bytes bytes;
  if (auto reason = files.read_whole(path, largest_study_input, bytes)) {
    if (reason->starts_with(runtime_text::larger_than)) return path.string() + ": " + *reason;
    return path.string() + ": cannot be opened";
  }
  text.assign(bytes.begin(), bytes.end());
  return std::nullopt;
}

// The beats of a result text, or the message that names where it goes wrong.
std::variant<std::vector<ResultBeat>, std::string> result_beats(const fs::path& path,
                                                                const std::string& text) {
  auto parsed = parse_result_file(text);
  if (const auto* fault = std::get_if<LineFault>(&parsed))
    return describe_fault(path.string(), *fault);
  return std::get<std::vector<ResultBeat>>(std::move(parsed));
}

std::variant<std::vector<ResultBeat>, std::string> read_result(FileOps& files,
                                                               const fs::path& path) {
  std::string text;
  if (auto error = read_input(files, path, text)) return *error;
  return result_beats(path, text);
}

// The recording's bytes, exactly one recording long and read no further.
std::optional<std::string> read_recording(FileOps& files, const fs::path& path, Bytes& bytes) {
  std::error_code error;
  if (fs::is_directory(path, error)) return path.string() + ": is a folder";
  if (fs::exists(path, error) && !fs::is_regular_file(path, error))
    return path.string() + ": is not a plain file";
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) return path.string() + ": cannot be opened";
  if (size != recording_bytes)
    return path.string() + ": holds " + std::to_string(size) +
           " bytes; a recording holds 4608000 (32000 frames of 72 16-bit samples)";
  if (files.read_prefix(path, recording_bytes, bytes) || bytes.size() != recording_bytes)
    return path.string() + ": cannot be read";
  return std::nullopt;
}

// Why `output` may not be written: it is one of the inputs (links and other
// names of the same file included).
std::optional<std::string> overwrites_input(const fs::path& output,
                                            std::initializer_list<std::optional<fs::path>> inputs) {
  for (const auto& input : inputs)
    if (input && same_file(output, *input))
      return output.string() + " is " + input->string() + " itself; name another output";
  return std::nullopt;
}

class Exporter {
 public:
  Exporter(const CommandLine& line, const ExportOptions& options, FileOps& files)
      : line_(line), options_(options), files_(files) {}

  ExitStatus run() {
    const fs::path output = options_.target == Target::wfdb ? header_path() : options_.output;
    if (auto clash = overwrites_input(output, {options_.input, options_.result, options_.layout}))
      return refuse(*clash);
    switch (options_.target) {
      case Target::csv:
        return csv();
      case Target::edf:
        return edf();
      case Target::wfdb:
        return wfdb();
      case Target::mat:
        return mat();
      case Target::none:
        break;
    }
    return ExitStatus::usage;
  }

 private:
  ExitStatus refuse(const std::string& message) const { return line_.refuse(message, std::cerr); }

  ExitStatus written(const std::optional<std::string>& error, const fs::path& output) const {
    if (error) return refuse("cannot write " + output.string() + ": " + *error);
    return ExitStatus::ok;
  }

  ExitStatus write(const fs::path& output, std::string_view bytes) const {
    return written(files_.replace_file(output, bytes), output);
  }

  fs::path header_path() const {
    fs::path header = options_.input;
    return header.replace_extension(".hea");
  }

  ExitStatus csv() {
    std::string content;
    if (auto error = read_input(files_, options_.input, content)) return refuse(*error);
    if (looks_like_log(content)) {
      if (options_.long_form)
        return refuse(options_.input.string() + ": --long is for result files; this is a log");
      const LogAudit audit = read_log_audit(content);
      if (const auto* fault = std::get_if<LineFault>(&audit))
        return refuse(describe_fault(options_.input.string(), *fault));
      return write(options_.output, audit_csv(std::get<std::vector<CandidateRecord>>(audit)));
    }
    const auto beats = result_beats(options_.input, content);
    if (const auto* message = std::get_if<std::string>(&beats)) return refuse(*message);
    const auto& read = std::get<std::vector<ResultBeat>>(beats);
    return write(options_.output,
                 options_.long_form ? result_csv_long(read) : result_csv_wide(read));
  }

  ExitStatus edf() {
    Bytes recording;
    if (auto error = read_recording(files_, options_.input, recording)) return refuse(*error);
    std::vector<EdfAnnotation> annotations;
    if (options_.result) {
      auto beats = read_result(files_, *options_.result);
      if (const auto* message = std::get_if<std::string>(&beats)) return refuse(*message);
      auto made = beat_annotations(std::get<std::vector<ResultBeat>>(beats));
      if (const auto* reason = std::get_if<std::string>(&made))
        return refuse(options_.result->string() + ": " + *reason);
      annotations = std::get<std::vector<EdfAnnotation>>(std::move(made));
    }
    return written(write_edf_plus(files_, options_.output,
                                  recording_signals(recording, options_.units_per_uv), annotations),
                   options_.output);
  }

  ExitStatus wfdb() {
    const std::string record = options_.input.stem().string();
    if (!wfdb_record_name(record))
      return refuse(options_.input.string() +
                    ": WFDB record names hold only letters, digits and underscores; '" + record +
                    "' does not");
    Bytes recording;
    if (auto error = read_recording(files_, options_.input, recording)) return refuse(*error);
    return write(header_path(), wfdb_header(record, options_.input.filename().string(), recording,
                                            options_.units_per_uv));
  }

  ExitStatus mat() {
    std::string content;
    if (auto error = read_input(files_, options_.input, content)) return refuse(*error);
    if (looks_like_log(content))
      return refuse(options_.input.string() + ": --mat is for result files; this is a log");
    auto beats = result_beats(options_.input, content);
    if (const auto* message = std::get_if<std::string>(&beats)) return refuse(*message);
    MatResults results{recording_name(options_.input),
                       std::get<std::vector<ResultBeat>>(std::move(beats)), std::nullopt};
    if (options_.layout) {
      std::string text;
      if (auto error = read_input(files_, *options_.layout, text)) return refuse(*error);
      const LayoutText parsed = parse_layout(text);
      if (const auto* fault = std::get_if<LayoutFault>(&parsed))
        return refuse(describe_fault(options_.layout->string(),
                                     {static_cast<int>(fault->line), fault->reason}));
      results.layout = mat_layout(std::get<LeadLayout>(parsed));
    }
    const auto module = module_entries();
    if (const auto* reason = std::get_if<std::string>(&module)) return refuse(*reason);
    return written(
        std::get<const ModuleEntries*>(module)->write_mat(files_, options_.output, results),
        options_.output);
  }

  // WFDB record names hold letters, digits and underscores only.
  static bool wfdb_record_name(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
      if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
        return false;
    return true;
  }

  // NAME of a result file NAMEst.txt; otherwise the file's name without its
  // extension.
  static std::string recording_name(const fs::path& result) {
    const std::string file = result.filename().string();
    constexpr std::string_view suffix = "st.txt";
    if (file.size() > suffix.size() && ascii_lower(file).ends_with(suffix))
      return file.substr(0, file.size() - suffix.size());
    return result.stem().string();
  }

  static MatLayout mat_layout(const LeadLayout& layout) {
    MatLayout made;
    for (long lead = 1; lead <= lead_point_count; ++lead) {
      const Electrode& electrode = layout.leads(lead);
      const auto at = static_cast<std::size_t>(lead - 1);
      made.x[at] = electrode.listed ? electrode.x : std::nan("");
      made.y[at] = electrode.listed ? electrode.y : std::nan("");
      made.label[at] = electrode.listed ? electrode.label : std::string();
    }
    return made;
  }

  const CommandLine& line_;
  const ExportOptions& options_;
  FileOps& files_;
};

}  // namespace

ExitStatus run_export(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser export", print_export_help);
  const auto parsed = parse(line, argc, argv);
  if (const auto* status = std::get_if<ExitStatus>(&parsed)) return *status;
  return Exporter(line, std::get<ExportOptions>(parsed), files).run();
}

}  // namespace ba

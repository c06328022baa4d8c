// beat_analyser export: results as CSV, the recording as EDF+ or with a
// WFDB header, for other tools.

#include <getopt.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "app/verbs.h"
#include "interchange/csv_tables.h"
#include "interchange/log_reader.h"
#include "interchange/output_file.h"
#include "interchange/recording_export.h"
#include "recording/recording.h"
#include "results/result_file.h"

namespace ba {

namespace {

enum class Target { none, csv, edf, wfdb };

struct ExportOptions {
  std::filesystem::path input;
  Target target = Target::none;
  std::filesystem::path output;
  std::optional<std::filesystem::path> result;
  double units_per_uv = 1.0;
  bool long_form = false;
};

void print_export_help() {
  std::cout << "Usage: beat_analyser export RESULT_FILE --csv OUT.csv [--long]\n"
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
               "  --edf OUT.edf       the recording as EDF+: 72 signals at 1000 Hz in uV\n"
               "  --result FILE       with --edf: an annotation R at every beat of FILE\n"
               "  --wfdb              a WFDB header NAME.hea beside RECORDING NAME.dat\n"
               "                        (format 61: the file is read as it stands)\n"
               "  --units-per-uv F    recorder units per microvolt (default 1)\n"
               "      --help          display this help and exit\n"
               "\n"
               "With --csv the file is taken as a log when its first line that is not blank\n"
               "starts with a log record (selected time, k=, left out time, print on time,\n"
               "off_x) or when it is empty, and as a result file otherwise; its name does\n"
               "not matter. Each output is written whole or not at all, replacing a file of\n"
               "the same name.\n"
               "\n"
               "Exit status: 0 written, 1 wrong command line, 2 a bad input (nothing written).\n";
}

int usage(const std::string& message) {
  std::cerr << "beat_analyser export: " << message << "\n"
            << "Try 'beat_analyser export --help' for more information.\n";
  return verb_usage;
}

int refuse(const std::string& message) {
  std::cerr << "beat_analyser export: " << message << "\n";
  return verb_failed;
}

int choose_target(ExportOptions& options, Target target, const char* path) {
  if (options.target != Target::none) return usage("choose one of --csv, --edf and --wfdb");
  options.target = target;
  if (path) options.output = path;
  return verb_done;
}

std::variant<ExportOptions, int> parse(int argc, char** argv) {
  enum { csv = 1000, long_form, edf, result, wfdb, units_per_uv, help };
  const option long_options[] = {{"csv", required_argument, nullptr, csv},
                                 {"long", no_argument, nullptr, long_form},
                                 {"edf", required_argument, nullptr, edf},
                                 {"result", required_argument, nullptr, result},
                                 {"wfdb", no_argument, nullptr, wfdb},
                                 {"units-per-uv", required_argument, nullptr, units_per_uv},
                                 {"help", no_argument, nullptr, help},
                                 {nullptr, 0, nullptr, 0}};
  ExportOptions options;
  optind = 1;
  int chosen;
  while ((chosen = getopt_long(argc, argv, "", long_options, nullptr)) != -1) {
    int status = verb_done;
    switch (chosen) {
      case csv:
        status = choose_target(options, Target::csv, optarg);
        break;
      case edf:
        status = choose_target(options, Target::edf, optarg);
        break;
      case wfdb:
        status = choose_target(options, Target::wfdb, nullptr);
        break;
      case long_form:
        options.long_form = true;
        break;
      case result:
        options.result = optarg;
        break;
      case units_per_uv: {
        const std::string_view text(optarg);
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
            !std::isfinite(value) || value <= 0)
          return usage("--units-per-uv needs a number above 0");
        options.units_per_uv = value;
        break;
      }
      case help:
        print_export_help();
        return verb_done;
      default:
        return usage("wrong option");
    }
    if (status != verb_done) return status;
  }
  if (optind + 1 != argc) return usage("name one file to export");
  if (options.target == Target::none) return usage("choose one of --csv, --edf and --wfdb");
  if (options.long_form && options.target != Target::csv) return usage("--long goes with --csv");
  if (options.result && options.target != Target::edf) return usage("--result goes with --edf");
  options.input = argv[optind];
  return options;
}

// The whole file, or why it cannot be read.
std::variant<std::string, std::string> read_whole(const std::filesystem::path& path) {
  auto failure = [&](const char* reason) {
    return std::variant<std::string, std::string>(std::in_place_index<1>,
                                                  path.string() + ": " + reason);
  };
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return failure("is a folder");
  // A pipe or a device would make the read wait for ever.
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
    return failure("is not a plain file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return failure("cannot be opened");
  return std::variant<std::string, std::string>(
      std::in_place_index<0>, std::string(std::istreambuf_iterator<char>(in), {}));
}

std::string fault_text(const std::filesystem::path& path, long line, const std::string& reason) {
  return path.string() + ": line " + std::to_string(line) + ": " + reason;
}

// The beats of a result file, or the message that names where it goes wrong.
std::variant<std::vector<ResultBeat>, std::string> read_result(const std::filesystem::path& path) {
  auto text = read_whole(path);
  if (text.index() == 1) return std::get<1>(text);
  auto parsed = parse_result_file(std::get<0>(text));
  if (const auto* fault = std::get_if<LineFault>(&parsed))
    return fault_text(path, fault->line, fault->reason);
  return std::get<std::vector<ResultBeat>>(std::move(parsed));
}

int write(const std::filesystem::path& output, std::string_view bytes) {
  if (auto error = write_output_file(output, bytes, true))
    return refuse("cannot write " + output.string() + ": " + *error);
  return verb_done;
}

int export_csv(const ExportOptions& options) {
  auto text = read_whole(options.input);
  if (text.index() == 1) return refuse(std::get<1>(text));
  const std::string& content = std::get<0>(text);
  if (looks_like_log(content)) {
    if (options.long_form)
      return refuse(options.input.string() +
                    ": --long is for result files; "
                    "this is a log");
    const LogAudit audit = read_log_audit(content);
    if (const auto* fault = std::get_if<LogFault>(&audit))
      return refuse(fault_text(options.input, fault->line, fault->reason));
    return write(options.output, audit_csv(std::get<std::vector<CandidateRecord>>(audit)));
  }
  const auto parsed = parse_result_file(content);
  if (const auto* fault = std::get_if<LineFault>(&parsed))
    return refuse(fault_text(options.input, fault->line, fault->reason));
  const auto& beats = std::get<std::vector<ResultBeat>>(parsed);
  return write(options.output, options.long_form ? result_csv_long(beats) : result_csv_wide(beats));
}

// The recording's bytes, or why it is no recording.
std::variant<std::string, std::string> read_recording(const std::filesystem::path& path) {
  auto text = read_whole(path);
  if (text.index() == 1) return text;
  if (std::get<0>(text).size() < recording_bytes)
    return std::variant<std::string, std::string>(
        std::in_place_index<1>, path.string() + ": holds " +
                                    std::to_string(std::get<0>(text).size()) +
                                    " bytes; a recording holds 4608000 (32000 frames of 72 "
                                    "16-bit samples)");
  std::get<0>(text).resize(recording_bytes);
  return text;
}

std::span<const unsigned char> as_bytes(const std::string& text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

int export_edf(const ExportOptions& options) {
  const auto recording = read_recording(options.input);
  if (recording.index() == 1) return refuse(std::get<1>(recording));
  std::vector<EdfAnnotation> annotations;
  if (options.result) {
    auto beats = read_result(*options.result);
    if (const auto* message = std::get_if<std::string>(&beats)) return refuse(*message);
    auto made = beat_annotations(std::get<std::vector<ResultBeat>>(beats));
    if (const auto* reason = std::get_if<std::string>(&made))
      return refuse(options.result->string() + ": " + *reason);
    annotations = std::get<std::vector<EdfAnnotation>>(std::move(made));
  }
  OutputFile output(options.output);
  std::optional<std::string> error = output.error();
  if (!error)
    error = write_edf_plus(
        output.path(), recording_signals(as_bytes(std::get<0>(recording)), options.units_per_uv),
        annotations);
  if (!error) error = output.commit(true);
  if (error) return refuse("cannot write " + options.output.string() + ": " + *error);
  return verb_done;
}

// WFDB record names hold letters, digits and underscores only.
bool wfdb_record_name(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!(c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
      return false;
  return true;
}

int export_wfdb(const ExportOptions& options) {
  const std::string record = options.input.stem().string();
  if (!wfdb_record_name(record))
    return refuse(options.input.string() +
                  ": WFDB record names hold only letters, digits and "
                  "underscores; '" +
                  record + "' does not");
  const auto recording = read_recording(options.input);
  if (recording.index() == 1) return refuse(std::get<1>(recording));
  std::filesystem::path header = options.input;
  header.replace_extension(".hea");
  return write(header, wfdb_header(record, options.input.filename().string(),
                                   as_bytes(std::get<0>(recording)), options.units_per_uv));
}

}  // namespace

int run_export(int argc, char** argv) {
  auto parsed = parse(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const ExportOptions& options = std::get<ExportOptions>(parsed);
  switch (options.target) {
    case Target::csv:
      return export_csv(options);
    case Target::edf:
      return export_edf(options);
    case Target::wfdb:
      return export_wfdb(options);
    case Target::none:
      break;
  }
  return verb_usage;
}

}  // namespace ba

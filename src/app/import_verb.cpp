// beat_analyser import: an EDF or BDF recording into the program's own
// recording format.

#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/verbs.h"
#include "dialogue/paths.h"
#include "interchange/edf_file.h"
#include "interchange/recording_import.h"
#include "runtime/files.h"
#include "runtime/quoting.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

constexpr std::string_view recording_suffix = ".dat";

struct ImportOptions {
  std::filesystem::path input;
  std::filesystem::path output;
  std::string channels;
  std::string start_text = "0";  // as typed, for messages
  double start_seconds = 0.0;
  double units_per_uv = 1.0;
  bool force = false;
};

void print_import_help(std::ostream& out) {
  out << "Usage: beat_analyser import IN.edf|IN.bdf -o DATA_DIR/NAME.dat [OPTION]...\n"
         "Turn 32 s of an EDF, EDF+, BDF or BDF+ recording into a recording the\n"
         "program reads (72 channels, 1000 samples per second, 16-bit).\n"
         "\n"
         "  -o DATA_DIR/NAME.dat  the recording to write; NAME is what you type at the\n"
         "                          program's recording-name prompt (at most five\n"
         "                          characters, no blanks or folder separators)\n"
         "      --start SECONDS   where the 32 s begin in the file (default 0), taken\n"
         "                          to the nearest millisecond\n"
         "      --channels LIST   the signals for channels 1, 2, ... in order: numbers\n"
         "                          (annotation signals not counted), labels and\n"
         "                          ranges, e.g. 1-8,V1-V64; channels left over hold 0.\n"
         "                          Default: the first 72 signals\n"
         "      --units-per-uv F  recorder units per microvolt (default 1); values\n"
         "                          beyond -32767 to 32767 are clipped and counted\n"
         "      --force           replace NAME.dat when it exists\n"
         "      --help            display this help and exit\n"
         "\n"
         "Signals at 1000 samples per second are copied; others are converted with a\n"
         "sinc filter whose error stays below the 16-bit steps. Physical values in\n"
         "uV, mV or V are converted to microvolts, multiplied by F and rounded to\n"
         "whole recorder units, a value halfway between two to the even one. -32768\n"
         "is never written: WFDB readers take it for a missing sample.\n"
         "\n"
         "Exit status: 0 written, 1 wrong command line, 2 a bad input (nothing written).\n";
}

// The command line, or the status to end with.
std::variant<ImportOptions, ExitStatus> parse(CommandLine& line, int argc, char** argv) {
  ImportOptions options;
  std::vector<std::string> files;
  std::string output;
  std::optional<std::string> start;
  std::optional<std::string> units;
  CommandLine& app = line;
  app.add_option("-o", output);
  app.add_option("--start", start);
  app.add_option("--channels", options.channels);
  app.add_option("--units-per-uv", units);
  app.add_flag("--force", options.force);
  app.add_option("file", files);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  if (start) {
    const auto value = parse_real(*start);
    if (!value || *value < 0) return line.usage("--start needs seconds, 0 or more", std::cerr);
    options.start_seconds = *value;
    options.start_text = *start;
  }
  if (units) {
    const auto value = parse_real(*units);
    if (!value || *value <= 0)
      return line.usage("--units-per-uv needs a number above 0", std::cerr);
    options.units_per_uv = *value;
  }
  if (files.size() != 1) return line.usage("name one EDF or BDF file to import", std::cerr);
  if (output.empty())
    return line.usage("name the recording to write with -o DATA_DIR/NAME.dat", std::cerr);
  options.input = files.front();
  options.output = output;
  return options;
}

// True when typing NAME at the program's prompt makes it read `output`.
bool program_opens(const std::filesystem::path& output) {
  const std::string file = output.filename().string();
  if (!file.ends_with(recording_suffix)) return false;
  RecordingPaths paths;
  build_paths(file.substr(0, file.size() - recording_suffix.size()), paths);
  const DataFolder folder(output.parent_path());
  const std::string wanted = std::string(data_folder) + file;
  return paths_usable(folder, paths) &&
         paths.recording_path.substr(0, paths.recording_path.find_last_not_of(' ') + 1) == wanted;
}

std::string channel_ranges(const ChannelSignals& chosen) {
  std::string text;
  for (int c = 1; c <= channel_count; ++c) {
    if (chosen(c) != 0 || (c > 1 && chosen(c - 1) == 0)) continue;
    int last = c;
    while (last < channel_count && chosen(last + 1) == 0) ++last;
    text += (text.empty() ? "" : ", ") + std::to_string(c) +
            (last > c ? "-" + std::to_string(last) : std::string());
  }
  return text;
}

void report(const ImportOptions& options, const ChannelSignals& chosen,
            const ImportedRecording& imported, const std::vector<SignalInfo>& signals) {
  if (options.channels.empty() && signals.size() > static_cast<std::size_t>(channel_count))
    std::cerr << "beat_analyser import: the file has " << signals.size() << " signals; signals "
              << channel_count + 1 << "-" << signals.size()
              << " are left out (--channels chooses others)\n";
  if (const std::string empty = channel_ranges(chosen); !empty.empty())
    std::cerr << "beat_analyser import: no signal for channel(s) " << empty << "; they hold 0\n";
  for (int c = 1; c <= channel_count; ++c)
    if (imported.saturated(c) > 0)
      std::cerr << "beat_analyser import: channel " << c << " (signal " << chosen(c) << " "
                << quote(signals[static_cast<std::size_t>(chosen(c) - 1)].label)
                << "): " << imported.saturated(c) << " samples beyond the 16-bit range, clipped\n";
  std::cout << "wrote " << options.output.string() << ": 32 s from " << options.start_seconds
            << " s of " << options.input.string() << "\n";
}

// The first millisecond to take, or nothing when the start lies beyond the
// end of the file (also when it lies beyond any time a file can state).
std::optional<std::int64_t> start_ms(const ImportOptions& options, const SignalSource& file) {
  const double ms = std::nearbyint(options.start_seconds * 1000.0);
  if (ms > static_cast<double>(file.duration() / ticks_per_ms)) return std::nullopt;
  return static_cast<std::int64_t>(ms);
}

std::string seconds_of(const SignalSource& file) {
  char text[64];
  const double seconds = static_cast<double>(file.duration()) / ticks_per_second;
  return std::string(
             text, std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed).ptr) +
         " s";
}

ExitStatus import_file(const CommandLine& line, const ImportOptions& options, FileOps& files) {
  const std::string out = options.output.string();
  if (!program_opens(options.output))
    return line.refuse(out +
                           ": the program cannot open this name; write NAME.dat where NAME has at "
                           "most five characters and no blanks, folder separators, ':' or '..'",
                       std::cerr);
  if (!options.force && std::filesystem::exists(std::filesystem::symlink_status(options.output)))
    return line.refuse(out + " exists; add --force to replace it", std::cerr);
  const std::string in = options.input.string();
  if (same_file(options.input, options.output))
    return line.refuse(out + " is " + in + " itself; write the recording elsewhere", std::cerr);

  auto opened = EdfFile::open(files, options.input);
  if (const auto* reason = std::get_if<std::string>(&opened))
    return line.refuse(in + ": " + *reason, std::cerr);
  EdfFile& file = *std::get<std::unique_ptr<EdfFile>>(opened);
  const auto chosen = choose_signals(file.signals(), options.channels);
  if (const auto* reason = std::get_if<std::string>(&chosen))
    return line.refuse(in + ": --channels: " + *reason, std::cerr);
  const ChannelSignals& channels = std::get<ChannelSignals>(chosen);
  const auto first_ms = start_ms(options, file);
  if (!first_ms)
    return line.refuse(in + ": --start " + options.start_text +
                           " lies beyond the end of the recording (it lasts " + seconds_of(file) +
                           ")",
                       std::cerr);
  const auto imported = import_recording(file, channels, {*first_ms, options.units_per_uv});
  if (const auto* reason = std::get_if<std::string>(&imported))
    return line.refuse(in + ": " + *reason, std::cerr);
  const ImportedRecording& recording = std::get<ImportedRecording>(imported);
  const std::string_view bytes(reinterpret_cast<const char*>(recording.bytes.data()),
                               recording.bytes.size());
  const auto error = options.force ? files.replace_file(options.output, bytes)
                                   : files.create_file(options.output, bytes);
  if (error) return line.refuse("cannot write " + out + ": " + *error, std::cerr);
  report(options, channels, recording, file.signals());
  return ExitStatus::ok;
}

}  // namespace

ExitStatus run_import(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser import", print_import_help);
  const auto parsed = parse(line, argc, argv);
  if (const auto* status = std::get_if<ExitStatus>(&parsed)) return *status;
  return import_file(line, std::get<ImportOptions>(parsed), files);
}

}  // namespace ba

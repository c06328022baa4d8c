// beat_analyser import: an EDF or BDF recording into the program's own
// recording format.

#include <getopt.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/verbs.h"
#include "dialogue/paths.h"
#include "interchange/edf_file.h"
#include "interchange/output_file.h"
#include "interchange/recording_import.h"
#include "runtime/files.h"
#include "runtime/quoting.h"

namespace ba {

namespace {

constexpr std::string_view recording_suffix = ".dat";

struct ImportOptions {
  std::filesystem::path input;
  std::filesystem::path output;
  std::string channels;
  double start_seconds = 0.0;
  double units_per_uv = 1.0;
  bool force = false;
};

void print_import_help() {
  std::cout << "Usage: beat_analyser import IN.edf|IN.bdf -o DATA_DIR/NAME.dat [OPTION]...\n"
               "Turn 32 s of an EDF, EDF+, BDF or BDF+ recording into a recording the\n"
               "program reads (72 channels, 1000 samples per second, 16-bit).\n"
               "\n"
               "  -o DATA_DIR/NAME.dat  the recording to write; NAME is what you type at the\n"
               "                          program's recording-name prompt (at most five\n"
               "                          characters, no blanks or folder separators)\n"
               "      --start SECONDS   where the 32 s begin in the file (default 0)\n"
               "      --channels LIST   the signals for channels 1, 2, ... in order: numbers\n"
               "                          (annotation signals not counted), labels and\n"
               "                          ranges, e.g. 1-8,V1-V64; channels left over hold 0.\n"
               "                          Default: the first 72 signals\n"
               "      --units-per-uv F  recorder units per microvolt (default 1); values\n"
               "                          beyond the 16-bit range are clipped and counted\n"
               "      --force           replace NAME.dat when it exists\n"
               "      --help            display this help and exit\n"
               "\n"
               "Signals at 1000 samples per second are copied; others are converted with a\n"
               "high-quality sinc filter. Physical values in uV, mV or V are converted to\n"
               "microvolts, multiplied by F and rounded to whole recorder units.\n"
               "\n"
               "Exit status: 0 written, 1 wrong command line, 2 a bad input (nothing written).\n";
}

int usage(const std::string& message) {
  std::cerr << "beat_analyser import: " << message << "\n"
            << "Try 'beat_analyser import --help' for more information.\n";
  return verb_usage;
}

int refuse(const std::string& message) {
  std::cerr << "beat_analyser import: " << message << "\n";
  return verb_failed;
}

std::optional<double> number(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

// The command line, or the status to end with.
std::variant<ImportOptions, int> parse(int argc, char** argv) {
  enum { start = 1000, channels, units_per_uv, force, help };
  const option long_options[] = {{"start", required_argument, nullptr, start},
                                 {"channels", required_argument, nullptr, channels},
                                 {"units-per-uv", required_argument, nullptr, units_per_uv},
                                 {"force", no_argument, nullptr, force},
                                 {"help", no_argument, nullptr, help},
                                 {nullptr, 0, nullptr, 0}};
  ImportOptions options;
  optind = 1;
  int chosen;
  while ((chosen = getopt_long(argc, argv, "o:", long_options, nullptr)) != -1) {
    switch (chosen) {
      case 'o':
        options.output = optarg;
        break;
      case start: {
        const auto value = number(optarg);
        if (!value || *value < 0) return usage("--start needs seconds, 0 or more");
        options.start_seconds = *value;
        break;
      }
      case channels:
        options.channels = optarg;
        break;
      case units_per_uv: {
        const auto value = number(optarg);
        if (!value || *value <= 0) return usage("--units-per-uv needs a number above 0");
        options.units_per_uv = *value;
        break;
      }
      case force:
        options.force = true;
        break;
      case help:
        print_import_help();
        return verb_done;
      default:
        return usage("wrong option");
    }
  }
  if (optind + 1 != argc) return usage("name one EDF or BDF file to import");
  if (options.output.empty()) return usage("name the recording to write with -o DATA_DIR/NAME.dat");
  options.input = argv[optind];
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

}  // namespace

int run_import(int argc, char** argv) {
  const auto parsed = parse(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const ImportOptions& options = std::get<ImportOptions>(parsed);
  const std::string out = options.output.string();
  if (!program_opens(options.output))
    return refuse(out +
                  ": the program cannot open this name; write NAME.dat where NAME has at "
                  "most five characters and no blanks, folder separators, ':' or '..'");
  std::error_code ignored;
  if (!options.force && std::filesystem::exists(options.output, ignored))
    return refuse(out + " exists; add --force to replace it");

  const std::string in = options.input.string();
  auto opened = EdfFile::open(options.input);
  if (const auto* reason = std::get_if<std::string>(&opened)) return refuse(in + ": " + *reason);
  EdfFile& file = *std::get<std::unique_ptr<EdfFile>>(opened);
  const auto chosen = choose_signals(file.signals(), options.channels);
  if (const auto* reason = std::get_if<std::string>(&chosen))
    return refuse(in + ": --channels: " + *reason);
  const ChannelSignals& channels = std::get<ChannelSignals>(chosen);
  const ImportSettings settings{std::llround(options.start_seconds * 1000.0), options.units_per_uv};
  const auto imported = import_recording(file, channels, settings);
  if (const auto* reason = std::get_if<std::string>(&imported)) return refuse(in + ": " + *reason);
  const ImportedRecording& recording = std::get<ImportedRecording>(imported);
  const std::string_view bytes(reinterpret_cast<const char*>(recording.bytes.data()),
                               recording.bytes.size());
  if (auto error = write_output_file(options.output, bytes, options.force))
    return refuse("cannot write " + out + ": " + *error);
  report(options, channels, recording, file.signals());
  return verb_done;
}

}  // namespace ba

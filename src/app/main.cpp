// beat_analyser: measures the QRST area of the mapping leads over every beat
// of a body-surface ECG recording that has the shape of a chosen reference
// beat. Runs in a desktop window, or headless from a script of typed lines
// and clicks.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/user_data.h"
#include "app/verbs.h"
#include "program/program.h"
#include "program/program_state.h"
#include "runtime/exit_status.h"
#include "runtime/files.h"
#include "runtime/io.h"
#include "runtime/large_block.h"

namespace {

struct Options {
  bool headless = false;
  std::filesystem::path data_dir = "data/map";
  bool user_data = false;
  std::optional<std::filesystem::path> snapshot_dir;
};

void print_help(std::ostream& out) {
  out << "Usage: beat_analyser [OPTION]...\n"
         "  or:  beat_analyser VERB [ARGUMENT]...  (beat_analyser VERB --help for more)\n"
         "Measure the QRST area of the 64 mapping leads over every beat of a\n"
         "body-surface ECG recording that has the shape of a chosen reference beat.\n"
         "\n"
         "  --headless          run without a display: typed lines and clicks come\n"
         "                        from standard input, one per line (!click X Y,\n"
         "                        !rclick X Y, !snapshot PATH, !map PATH for the\n"
         "                        mean QRST map of the last c or v as PNG, SVG\n"
         "                        or PDF, !!text for a line starting with !,\n"
         "                        any other line is typed);\n"
         "                        the lines the program shows go to standard output\n"
         "  --data-dir DIR      host folder that stands for the data folder\n"
         "                        d:\\data\\map\\ (default: data/map)\n"
         "  --user-data         the data folder is beat-analyser in your documents\n"
         "                        folder (XDG_DOCUMENTS_DIR, usually ~/Documents),\n"
         "                        made when missing; the desktop menu entry uses it\n"
         "  --snapshot-dir DIR  at exit, save every window as DIR/unitN.png and the\n"
         "                        console as DIR/console.png\n"
         "      --help          display this help and exit\n"
         "      --version       output version information and exit\n"
         "\n"
         "Verbs (beat_analyser VERB --help describes one):\n"
         "  map                 the QRST integral map of a result file as PNG, SVG or PDF\n"
         "  import              an EDF or BDF recording into a recording to analyse\n"
         "  export              results or a log as CSV, a recording as EDF+ or WFDB\n"
         "  analyse             one analysis without a window, from choices or a record\n"
         "  reference           a reference group from the result files of several people\n"
         "  metrics             measures of result files as CSV, against a group\n"
         "  report              a study report of result files as PDF\n"
         "  propose             the reference beat and the three points the program proposes\n"
         "  batch               analyse every recording of a manifest, on every core\n"
         "\n"
         "Exit status:\n"
         " 0  if the program ended normally,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a typed answer, a file open or a file read failed,\n"
         " 3  if headless input did not fit what the program waited for.\n";
}

// The options of the program itself, or the status to end with at once
// (after --help, --version or a wrong command line).
std::variant<Options, ba::ExitStatus> parse_options(int argc, char** argv) {
  ba::CommandLine command_line("beat_analyser", print_help);
  ba::CommandLine& app = command_line;
  Options options;
  bool version = false;
  std::string data_dir;
  std::string snapshot_dir;
  app.add_flag("--headless", options.headless);
  // A repeated option counts with its last value.
  app.add_option("--data-dir", data_dir).take_last();
  app.add_flag("--user-data", options.user_data);
  app.add_option("--snapshot-dir", snapshot_dir).take_last();
  app.add_flag("--version", version);
  if (auto ended = command_line.parse(argc, argv, std::cout, std::cerr)) return *ended;
  if (version) {
    std::cout << "beat_analyser " << BEAT_VERSION << "\n";
    return ba::ExitStatus::ok;
  }
  if (app.count("--data-dir") > 0) {
    if (options.user_data)
      return command_line.usage("--user-data and --data-dir each name the data folder; give one",
                                std::cerr);
    options.data_dir = data_dir;
  }
  if (app.count("--snapshot-dir") > 0) options.snapshot_dir = snapshot_dir;
  return options;
}

// The window mode needs a display; without one Qt would abort.
bool display_available() {
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  // Every verb and the program itself read and write through this one file
  // layer.
  ba::HostFileOps files;
  if (argc > 1) {
    const std::string_view verb = argv[1];
    if (verb == "map") return ba::exit_code(ba::run_map_verb(argc - 1, argv + 1, files));
    if (verb == "import") return ba::exit_code(ba::run_import(argc - 1, argv + 1, files));
    if (verb == "export") return ba::exit_code(ba::run_export(argc - 1, argv + 1, files));
    if (verb == "analyse") return ba::exit_code(ba::run_analyse(argc - 1, argv + 1, files));
    if (verb == "reference")
      return ba::exit_code(ba::run_reference_verb(argc - 1, argv + 1, files));
    if (verb == "metrics") return ba::exit_code(ba::run_metrics_verb(argc - 1, argv + 1, files));
    if (verb == "report") return ba::exit_code(ba::run_report_verb(argc - 1, argv + 1, files));
    if (verb == "propose") return ba::exit_code(ba::run_propose(argc - 1, argv + 1, files));
    if (verb == "batch") return ba::exit_code(ba::run_batch(argc - 1, argv + 1, files));
  }
  auto parsed = parse_options(argc, argv);
  if (const auto* ended = std::get_if<ba::ExitStatus>(&parsed)) return ba::exit_code(*ended);
  Options& options = std::get<Options>(parsed);
  if (!options.headless && !display_available()) {
    std::cerr << "beat_analyser: no display to open the window on; use --headless\n";
    return ba::exit_code(ba::ExitStatus::usage);
  }
  const auto module = ba::module_entries();
  if (const auto* reason = std::get_if<std::string>(&module)) {
    std::cerr << "beat_analyser: " << *reason << "\n";
    return ba::exit_code(ba::ExitStatus::failed);
  }
  const ba::ModuleEntries& entries = *std::get<const ba::ModuleEntries*>(module);
  if (options.user_data) {
    const ba::UserDataFolder user = ba::user_data_folder(entries.documents_folder());
    if (!user.fault.empty()) {
      std::cerr << "beat_analyser: " << user.fault << "\n";
      return ba::exit_code(ba::ExitStatus::failed);
    }
    options.data_dir = user.folder;
  }
  const ba::ProgramMode mode{options.headless, options.data_dir, options.snapshot_dir};
  // The program state holds the whole recording: too large for the stack.
  auto state = ba::make_large<ba::ProgramState>();
  return ba::exit_code(entries.run_program(
      mode, argv[0], files,
      [&](ba::SelectionListener& listener, ba::Io& io) { ba::run_program(*state, io, listener); }));
}

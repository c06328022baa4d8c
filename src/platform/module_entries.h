#pragma once
// What the program needs from Qt and from matio, as one table of entry
// points. They are built into a module of their own (module_entries.cpp),
// loaded only when a run first needs one of them: a run that opens no
// window and draws no page, map or report, and writes no MATLAB file, starts
// without loading Qt, its image and font libraries or matio's HDF5 chain.
// This header names no Qt type.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cohort/report_sheet.h"
#include "interchange/mat_file.h"
#include "map/layout.h"
#include "map/page.h"
#include "map/picture.h"
#include "results/selection.h"
#include "runtime/exit_status.h"
#include "runtime/files.h"
#include "runtime/platform.h"

namespace ba {

// The program's own mode: the window, or the headless session driven from
// standard input.
struct ProgramMode {
  bool headless = false;
  std::filesystem::path data_dir;
  std::optional<std::filesystem::path> snapshot_dir;
};

// Print pages drawn for a run without a window; Qt starts with the first.
class PageDrawing {
 public:
  virtual ~PageDrawing() = default;
  virtual Platform& platform() = 0;
};

class Io;

// The program itself, run with the platform and files of the mode's `io`;
// the platform, as `listener`, hears of every selection the program saves.
using ProgramBody = std::function<void(SelectionListener& listener, Io& io)>;

struct ModuleEntries {
  // The program version the module was built with: a table of another
  // version may hold other entries.
  const char* version;
  // The window or headless program until it ends; `program_name` is argv[0].
  // Whichever way the program ends becomes the exit status.
  // Every file the run reads or writes goes through `files`.
  ExitStatus (*run_program)(const ProgramMode& mode, char* program_name, FileOps& files,
                            const ProgramBody& body);
  // The person's documents folder as the desktop names it (XDG_DOCUMENTS_DIR,
  // usually ~/Documents); empty when none is known.
  std::string (*documents_folder)();
  // A drawing platform for print pages. Qt's own failures go to standard
  // error after `message_prefix`.
  std::unique_ptr<PageDrawing> (*page_drawing)(FileOps& files, const std::string& message_prefix);
  // Draws the map page as PNG, SVG or PDF by the extension of `host_path`
  // and writes it whole or not at all; the reason when that fails.
  std::optional<std::string> (*save_map)(FileOps& files, const std::string& host_path,
                                         const MapPage& page, int width, int height,
                                         const MapDrawOptions& options);
  // Paints the study report's pages 0..pages-1 from `sheets` as a PDF, its
  // bytes handed to `sink` as they are made; the reason when a page or the
  // PDF cannot be made. `progress` hears of each page drawn.
  std::optional<std::string> (*study_report_pdf)(
      std::size_t pages, const ReportSheetSource& sheets,
      const std::function<void(std::string_view)>& sink,
      const std::function<void(std::size_t, std::size_t)>& progress);
  // Results as a MATLAB file, whole or not at all.
  std::optional<std::string> (*write_mat)(FileOps& files, const std::filesystem::path& path,
                                          const MatResults& results);
};

// The name under which the module exports its table.
inline constexpr const char* module_entries_symbol = "beat_analyser_module_entries";

}  // namespace ba

// beat_analyser analyse: one analysis of a recording without a window, from
// the reference time and the three fiducial points (or a record), writing
// what a person's session with the same choices writes.

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "analysis/analyse.h"
#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/verbs.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

void print_analyse_help(std::ostream& out) {
  out << "Usage: beat_analyser analyse RECORDING.dat --reference MS --pq MS --q MS --t-end MS\n"
         "                            [OPTION]...\n"
         "  or:  beat_analyser analyse RECORDING.dat --record FILE [OPTION]...\n"
         "Analyse a recording without a window, as a session with s, the marking of\n"
         "the three points, c (or v) and d would: the result file, the log and the\n"
         "print pages go beside the recording, with the analysis record NAMEst.record.json.\n"
         "\n"
         "  --reference MS   the beat of the preview nearest this time (201 to 3000 ms)\n"
         "  --pq MS          PQ-segment point, ms from R (negative before R)\n"
         "  --q MS           Q start, ms from R\n"
         "  --t-end MS       T end, ms from R\n"
         "  --leads A,B,C    the three displayed leads (default 13,23,37)\n"
         "  --threshold R    correlation threshold (default 0.95)\n"
         "  --ratio X        amplitude ratio of the differentiated R wave (default 0.5)\n"
         "  --no-print       no print pages\n"
         "  --view           measure with v instead of c\n"
         "  --record FILE    every choice from an analysis record; options beside it\n"
         "                     override\n"
         "  --force          analyse a recording whose SHA-256 differs from the record's\n"
         "  --check          run again in a temporary folder and compare the result file\n"
         "                     and the log with those beside the recording; nothing\n"
         "                     beside the recording changes\n"
         "  --help           display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the analysis was written (with --check: both files are identical),\n"
         " 1  if the command line was wrong (with --check: a file differs, the first\n"
         "    difference is named),\n"
         " 2  if the recording or the record cannot be used, or the run failed;\n"
         "    nothing is written for a recording or record that cannot be used.\n";
}

std::int32_t whole_option(const std::string& option, const std::string& text) {
  const auto value = parse_int32(text);
  if (!value) throw UsageError{option + " needs a whole number of ms, not '" + text + "'"};
  return *value;
}

float real_option(const std::string& option, const std::string& text) {
  const auto value = parse_float(text);
  if (!value) throw UsageError{option + " needs a number, not '" + text + "'"};
  return *value;
}

std::array<std::int32_t, 3> leads_option(const std::string& text) {
  std::array<std::int32_t, 3> leads{};
  std::istringstream parts(text);
  std::string part;
  int count = 0;
  while (std::getline(parts, part, ',')) {
    const auto lead = parse_int32(trimmed(part));
    if (!lead || count == 3)
      throw UsageError{"--leads needs three lead numbers A,B,C, not '" + text + "'"};
    leads[static_cast<std::size_t>(count++)] = *lead;
  }
  if (count != 3) throw UsageError{"--leads needs three lead numbers A,B,C, not '" + text + "'"};
  return leads;
}

struct ModuleMissing {
  std::string reason;
};

// The print pages are drawn by the module's headless platform, loaded and
// started only when a page is to be drawn.
class Pages {
 public:
  Platform& get() {
    if (!drawing_) {
      auto module = module_entries();
      if (auto* reason = std::get_if<std::string>(&module)) throw ModuleMissing{*reason};
      drawing_ = std::get<const ModuleEntries*>(module)->page_drawing("beat_analyser analyse: ");
    }
    return drawing_->platform();
  }

 private:
  std::unique_ptr<PageDrawing> drawing_;
};

}  // namespace

ExitStatus run_analyse(int argc, char** argv) {
  CommandLine line("beat_analyser analyse", print_analyse_help);
  CommandLine& app = line;
  std::string recording, reference, pq, q, t_end, leads, threshold, ratio, record;
  AnalyseRequest request;
  app.add_option("RECORDING", recording).required();
  app.add_option("--reference", reference);
  app.add_option("--pq", pq);
  app.add_option("--q", q);
  app.add_option("--t-end", t_end);
  app.add_option("--leads", leads);
  app.add_option("--threshold", threshold);
  app.add_option("--ratio", ratio);
  app.add_option("--record", record);
  app.add_flag("--no-print", request.no_print);
  app.add_flag("--view", request.view);
  app.add_flag("--force", request.force);
  app.add_flag("--check", request.check);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  try {
    request.recording = recording;
    if (!record.empty()) request.record = record;
    if (!reference.empty()) request.reference_ms = whole_option("--reference", reference);
    if (!pq.empty()) request.pq_ms = whole_option("--pq", pq);
    if (!q.empty()) request.q_ms = whole_option("--q", q);
    if (!t_end.empty()) request.t_end_ms = whole_option("--t-end", t_end);
    if (!leads.empty()) request.leads = leads_option(leads);
    if (!threshold.empty()) request.threshold = real_option("--threshold", threshold);
    if (!ratio.empty()) request.ratio = real_option("--ratio", ratio);
    if (!request.record &&
        (!request.reference_ms || !request.pq_ms || !request.q_ms || !request.t_end_ms))
      throw UsageError{"--reference, --pq, --q and --t-end are needed without --record"};
  } catch (const UsageError& wrong) {
    return line.usage(wrong.reason, std::cerr);
  }
  Pages pages;
  AnalyseOutcome outcome;
  try {
    outcome = analyse(request, [&]() -> Platform& { return pages.get(); });
  } catch (const ModuleMissing& missing) {
    return line.refuse(missing.reason, std::cerr);
  }
  if (outcome.status == ExitStatus::failed) return line.refuse(outcome.message, std::cerr);
  if (outcome.status != ExitStatus::ok)
    std::cerr << "beat_analyser analyse: " << outcome.message << "\n";
  return outcome.status;
}

}  // namespace ba

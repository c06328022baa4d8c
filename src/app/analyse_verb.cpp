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
         "  or:  beat_analyser analyse RECORDING.dat --auto [OPTION]...\n"
         "Analyse a recording without a window, as a session with s, the marking of\n"
         "the three points, c (or v) and d would: the result file, the log and the\n"
         "print pages go beside the recording, with the analysis record NAMEst.record.json\n"
         "and the lead table NAMEst.leads.csv.\n"
         "\n"
         "  --reference MS   the beat of the preview nearest this time (201 to 3000 ms)\n"
         "  --pq MS          PQ-segment point, ms from R (negative before R)\n"
         "  --q MS           Q start, ms from R\n"
         "  --t-end MS       T end, ms from R\n"
         "  --j MS           J point (end of QRS), ms from R, from the Q start to the\n"
         "                     T end (default: proposed from all leads)\n"
         "  --leads A,B,C    the three displayed leads (default 13,23,37)\n"
         "  --threshold R    correlation threshold, 0.0 to 1.0 (default 0.95)\n"
         "  --ratio X        amplitude ratio of the differentiated R wave, 0.0 to 1.0\n"
         "                     (default 0.5)\n"
         "  --no-print       no print pages\n"
         "  --view           measure with v instead of c\n"
         "  --record FILE    every choice from an analysis record; options beside it\n"
         "                     override\n"
         "  --force          analyse a recording whose SHA-256 differs from the record's\n"
         "  --auto           the program proposes the reference beat and the three\n"
         "                     points (see beat_analyser propose); the files are those\n"
         "                     of --reference, --pq, --q and --t-end with its values,\n"
         "                     and the record adds how they were proposed\n"
         "  --check          run again in a temporary folder and compare the result file,\n"
         "                     the log and the lead table (when there is one) with\n"
         "                     those beside the recording; nothing beside the recording\n"
         "                     changes\n"
         "  --help           display this help and exit\n"
         "\n"
         "The points, given or from the record, go PQ < Q start < T end; a threshold\n"
         "or ratio outside 0.0 to 1.0 (the range the start-up dialogue asks for) or\n"
         "points out of order are refused with exit status 2.\n"
         "\n"
         "Exit status:\n"
         " 0  if the analysis was written (with --check: the files are identical),\n"
         " 1  if the command line was wrong (with --check: a file differs, the first\n"
         "    difference is named),\n"
         " 2  if the recording or the record cannot be used, or the run failed;\n"
         "    nothing is written for a recording or record that cannot be used.\n";
}

std::int32_t whole_option(const std::string& option, const std::string& text) {
  const auto value = parse_int32(text);
  if (!value) throw Refusal{option + " needs a whole number of ms, not '" + text + "'"};
  return *value;
}

float real_option(const std::string& option, const std::string& text) {
  const auto value = parse_float(text);
  if (!value) throw Refusal{option + " needs a number, not '" + text + "'"};
  return *value;
}

// The options as given, before they are turned into numbers.
struct AnalyseTexts {
  std::string recording, reference, pq, q, t_end, j, leads, threshold, ratio, record;
};

// The options of the command line: those with values into `texts`, the
// flags straight into `request`.
void add_analyse_options(CommandLine& line, AnalyseTexts& texts, AnalyseRequest& request) {
  line.add_option("RECORDING", texts.recording).required();
  line.add_option("--reference", texts.reference);
  line.add_option("--pq", texts.pq);
  line.add_option("--q", texts.q);
  line.add_option("--t-end", texts.t_end);
  line.add_option("--j", texts.j);
  line.add_option("--leads", texts.leads);
  line.add_option("--threshold", texts.threshold);
  line.add_option("--ratio", texts.ratio);
  line.add_option("--record", texts.record);
  line.add_flag("--no-print", request.no_print);
  line.add_flag("--view", request.view);
  line.add_flag("--force", request.force);
  line.add_flag("--check", request.check);
  line.add_flag("--auto", request.propose);
}

// The options given, turned into the request's values (a Refusal when one
// is not a number or the points come from more than one source or none).
void fill_request(const AnalyseTexts& texts, AnalyseRequest& request) {
  request.recording = texts.recording;
  if (!texts.record.empty()) request.record = texts.record;
  if (!texts.reference.empty()) request.reference_ms = whole_option("--reference", texts.reference);
  if (!texts.pq.empty()) request.pq_ms = whole_option("--pq", texts.pq);
  if (!texts.q.empty()) request.q_ms = whole_option("--q", texts.q);
  if (!texts.t_end.empty()) request.t_end_ms = whole_option("--t-end", texts.t_end);
  if (!texts.j.empty()) request.j_ms = whole_option("--j", texts.j);
  if (!texts.leads.empty()) request.leads = leads_option(texts.leads);
  if (!texts.threshold.empty()) request.threshold = real_option("--threshold", texts.threshold);
  if (!texts.ratio.empty()) request.ratio = real_option("--ratio", texts.ratio);
  if (request.propose &&
      (request.record || request.reference_ms || request.pq_ms || request.q_ms || request.t_end_ms))
    throw Refusal{
        "--auto proposes the reference beat and the points: give neither "
        "--record nor --reference, --pq, --q or --t-end with it"};
  if (!request.record && !request.propose &&
      (!request.reference_ms || !request.pq_ms || !request.q_ms || !request.t_end_ms))
    throw Refusal{"--reference, --pq, --q and --t-end are needed without --record"};
}

// The print pages are drawn by the module's headless platform, loaded and
// started only when a page is to be drawn.
class Pages {
 public:
  explicit Pages(FileOps& files) : files_(files) {}
  Platform& get() {
    if (!drawing_) {
      auto module = module_entries();
      if (auto* reason = std::get_if<std::string>(&module)) throw Refusal{*reason};
      drawing_ =
          std::get<const ModuleEntries*>(module)->page_drawing(files_, "beat_analyser analyse: ");
    }
    return drawing_->platform();
  }

 private:
  FileOps& files_;
  std::unique_ptr<PageDrawing> drawing_;
};

}  // namespace

ExitStatus run_analyse(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser analyse", print_analyse_help);
  AnalyseTexts texts;
  AnalyseRequest request;
  add_analyse_options(line, texts, request);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  try {
    fill_request(texts, request);
  } catch (const Refusal& wrong) {
    return line.usage(wrong.reason, std::cerr);
  }
  Pages pages(files);
  AnalyseOutcome outcome;
  RecordProposal proposal;
  try {
    outcome = analyse(
        request, [&]() -> Platform& { return pages.get(); }, files, &proposal);
  } catch (const Refusal& missing) {
    return line.refuse(missing.reason, std::cerr);
  }
  if (outcome.status == ExitStatus::failed) return line.refuse(outcome.message, std::cerr);
  if (proposal.doubtful && outcome.status == ExitStatus::ok) {
    std::cout << "doubtful:";
    for (const auto& reason : proposal.reasons) std::cout << " " << reason << ";";
    std::cout << "\n";
  }
  if (outcome.status != ExitStatus::ok)
    std::cerr << "beat_analyser analyse: " << outcome.message << "\n";
  return outcome.status;
}

}  // namespace ba

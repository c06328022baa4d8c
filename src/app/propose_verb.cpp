// beat_analyser propose: the reference beat and the three fiducial points the
// program proposes for a recording, with their confidence and any doubt.
// Nothing is written.

#include <iostream>
#include <sstream>
#include <string>

#include "app/command_line.h"
#include "app/verbs.h"
#include "proposal/proposal.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

void print_propose_help(std::ostream& out) {
  out << "Usage: beat_analyser propose RECORDING.dat [OPTION]...\n"
         "Propose the reference beat and the PQ point, Q start and T end of a recording,\n"
         "found from all 64 mapping leads on the mean of the beats alike, with a\n"
         "confidence per point and the reasons to doubt them. Nothing is written.\n"
         "\n"
         "  --json           one JSON object instead of the table\n"
         "  --leads A,B,C    the three displayed leads of the preview (default 13,23,37)\n"
         "  --ratio X        amplitude ratio of the differentiated R wave (default 0.5)\n"
         "  --help           display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if a proposal was made (doubtful or not),\n"
         " 1  if the command line was wrong,\n"
         " 2  if the recording cannot be used (unreadable, flat, fewer than three\n"
         "    beats alike).\n";
}

std::string confidence_text(float value) {
  std::ostringstream out;
  out.precision(2);
  out << std::fixed << value;
  return out.str();
}

void print_table(const Proposal& p, std::ostream& out) {
  out << "reference " << p.reference_ms << " ms (" << p.matching << " of " << p.beats
      << " beats alike)\n"
      << "PQ point  " << p.pq_ms << " ms from R, confidence " << confidence_text(p.pq_confidence)
      << "\n"
      << "Q start   " << p.q_ms << " ms from R, confidence " << confidence_text(p.q_confidence)
      << "\n"
      << "T end     " << p.t_end_ms << " ms from R, confidence "
      << confidence_text(p.t_end_confidence) << "\n"
      << "J point   " << p.j_ms << " ms from R\n";
  if (!p.doubtful) {
    out << "doubtful  no\n";
    return;
  }
  out << "doubtful  yes\n";
  for (const auto& reason : p.reasons) out << "  " << reason << "\n";
}

}  // namespace

ExitStatus run_propose(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser propose", print_propose_help);
  CommandLine& app = line;
  std::string recording, leads, ratio;
  bool json = false;
  app.add_option("RECORDING", recording).required();
  app.add_option("--leads", leads);
  app.add_option("--ratio", ratio);
  app.add_flag("--json", json);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  ProposalOptions options;
  try {
    if (!leads.empty()) options.leads = leads_option(leads);
    for (std::int32_t lead : options.leads)
      if (lead < 1 || lead > lead_point_count)
        throw Refusal{"--leads: lead " + std::to_string(lead) + " is not one of 1 to 64"};
    if (!ratio.empty()) {
      const auto value = parse_float(ratio);
      if (!value) throw Refusal{"--ratio needs a number, not '" + ratio + "'"};
      options.ratio = *value;
    }
  } catch (const Refusal& wrong) {
    return line.usage(wrong.reason, std::cerr);
  }
  auto proposal = propose_recording(recording, options, files);
  if (auto* reason = std::get_if<std::string>(&proposal)) return line.refuse(*reason, std::cerr);
  const Proposal& p = std::get<Proposal>(proposal);
  if (json)
    std::cout << proposal_json(p) << "\n";
  else
    print_table(p, std::cout);
  return ExitStatus::ok;
}

}  // namespace ba

// beat_analyser reference: a reference group from the result files of
// several people, written as JSON.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/verbs.h"
#include "cohort/inputs.h"
#include "cohort/reference_file.h"
#include "runtime/sha256.h"

namespace ba {

namespace {

void print_reference_help(std::ostream& out) {
  out << "Usage: beat_analyser reference RESULT_FILE... -o GROUP.ref.json [--layout FILE]\n"
         "Make a reference group from the result files (NAMEst.txt) of at least three\n"
         "people: per lead the mean and the standard deviation (N - 1) of their mean\n"
         "QRST maps, and the Karhunen-Loeve basis of those maps (eigenvectors of\n"
         "S = (1/N) sum m m', by decreasing eigenvalue, at most 12, each signed so\n"
         "that its largest element is positive), with each file's name and SHA-256.\n"
         "\n"
         "  -o, --output FILE   the group to write (JSON)\n"
         "      --layout FILE   electrode places as for 'beat_analyser map'; only its\n"
         "                        usable leads enter the group (default: all 64)\n"
         "      --help          display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the group was written,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a file could not be read or used, there were fewer than three, or\n"
         "    the group could not be written (nothing is written then).\n";
}

}  // namespace

ExitStatus run_reference_verb(int argc, char** argv) {
  CommandLine line("beat_analyser reference", print_reference_help);
  std::vector<std::string> results;
  std::string output;
  std::optional<std::string> layout_path;
  line.add_option("RESULT_FILE", results).required();
  line.add_option("-o,--output", output).required();
  line.add_option("--layout", layout_path);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  if (auto input = replaced_input(output, results))
    return line.usage("the output " + output + " would replace the input " + *input, std::cerr);

  HostFileOps files;
  auto read_setting = read_study_setting(files, layout_path, std::nullopt);
  if (const auto* error = std::get_if<std::string>(&read_setting))
    return line.refuse(*error, std::cerr);
  const LeadSet& leads = std::get<StudySetting>(read_setting).leads;
  std::vector<LeadValues> means;
  std::vector<ReferenceGroup::Member> members;
  for (const std::string& path : results) {
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return line.refuse(*error, std::cerr);
    const StudyFile& study = std::get<StudyFile>(read);
    means.push_back(mean_map(beat_maps(study.beats), leads));
    members.push_back({path, sha256_hex(study.bytes)});
  }
  GroupOutcome outcome = make_reference_group(means, leads);
  if (const auto* reason = std::get_if<std::string>(&outcome))
    return line.refuse(*reason, std::cerr);
  ReferenceGroup& group = std::get<ReferenceGroup>(outcome);
  group.members = std::move(members);
  if (auto error = files.replace_file(output, reference_group_json(group)))
    return line.refuse("cannot write " + output + ": " + *error, std::cerr);
  for (const std::string& gap : group_gaps(group))
    std::cerr << "beat_analyser reference: " << output << ": " << gap << '\n';
  return ExitStatus::ok;
}

}  // namespace ba

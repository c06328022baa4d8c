// beat_analyser reference: a reference group from the result files of
// several people, written as JSON.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/verbs.h"
#include "cohort/inputs.h"
#include "cohort/kind_group.h"
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
         "Each file counts once: two files with the same bytes are refused.\n"
         "When every file has its lead table NAMEst.leads.csv beside it, the group also\n"
         "keeps per lead the mean and SD of the QRS and ST-T maps and of the AT, RT\n"
         "and ARI maps, for 'beat_analyser map --kind K --departure'.\n"
         "\n"
         "  -o, --output FILE   the group to write (JSON)\n"
         "      --layout FILE   electrode places as for 'beat_analyser map'; only its\n"
         "                        usable leads enter the group (default: all 64)\n"
         "      --help          display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the group was written,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a file could not be read or used, there were fewer than three, two\n"
         "    held the same bytes, or the group could not be written (nothing is\n"
         "    written then).\n";
}

// What the group is made from, one entry a file in order.
struct GroupInputs {
  std::vector<LeadValues> means;
  std::vector<ReferenceGroup::Member> members;
  std::vector<std::vector<BeatLeads>> tables;  // of the files that have one
  std::vector<std::string> without_table;      // the files with no lead table beside them
};

std::variant<GroupInputs, std::string> read_group_inputs(FileOps& files,
                                                         const std::vector<std::string>& results,
                                                         const LeadSet& leads) {
  GroupInputs in;
  for (const std::string& path : results) {
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return *error;
    StudyFile& study = std::get<StudyFile>(read);
    const std::string digest = sha256_hex(study.bytes);
    // One person's file twice would count that person twice.
    for (const ReferenceGroup::Member& earlier : in.members)
      if (earlier.sha256 == digest)
        return describe_fault(path, {0, "holds the same bytes as " + earlier.name +
                                            "; a group counts each file once"});
    if (auto error = read_study_leads(files, study)) return *error;
    if (study.leads)
      in.tables.push_back(std::move(*study.leads));
    else
      in.without_table.push_back(path);
    in.means.push_back(mean_map(beat_maps(study.beats), leads));
    in.members.push_back({path, digest});
  }
  return in;
}

// Says on `err` what the group written to `output` lacks: the kinds its
// members cannot give, and the other kinds' maps when some of the
// `file_count` files have no lead table.
void print_group_gaps(const std::string& output, const ReferenceGroup& group,
                      const std::vector<std::string>& without_table, std::size_t file_count,
                      std::ostream& err) {
  for (const std::string& gap : group_gaps(group))
    err << "beat_analyser reference: " << output << ": " << gap << '\n';
  if (!without_table.empty() && without_table.size() < file_count)
    err << "beat_analyser reference: " << output
        << ": keeps QRST maps only: " << without_table.front() << " has no lead table beside it\n";
}

}  // namespace

ExitStatus run_reference_verb(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser reference", print_reference_help);
  std::vector<std::string> results;
  std::string output;
  std::optional<std::string> layout_path;
  line.add_option("RESULT_FILE", results).required();
  line.add_option("-o,--output", output).required();
  line.add_option("--layout", layout_path);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  std::vector<std::string> inputs = results;
  if (layout_path) inputs.push_back(*layout_path);
  if (auto input = replaced_input(output, inputs))
    return line.usage("the output " + output + " would replace the input " + *input, std::cerr);

  auto read_setting = read_study_setting(files, layout_path, std::nullopt);
  if (const auto* error = std::get_if<std::string>(&read_setting))
    return line.refuse(*error, std::cerr);
  const LeadSet& leads = std::get<StudySetting>(read_setting).leads;
  auto read = read_group_inputs(files, results, leads);
  if (const auto* error = std::get_if<std::string>(&read)) return line.refuse(*error, std::cerr);
  GroupInputs& in = std::get<GroupInputs>(read);
  GroupOutcome outcome = make_reference_group(in.means, leads);
  if (const auto* reason = std::get_if<std::string>(&outcome))
    return line.refuse(*reason, std::cerr);
  ReferenceGroup& group = std::get<ReferenceGroup>(outcome);
  group.members = std::move(in.members);
  // The other kinds only when every member gives them.
  if (in.without_table.empty()) add_group_kinds(group, in.tables);
  if (auto error = files.replace_file(output, reference_group_json(group)))
    return line.refuse("cannot write " + output + ": " + *error, std::cerr);
  print_group_gaps(output, group, in.without_table, results.size(), std::cerr);
  return ExitStatus::ok;
}

}  // namespace ba

// beat_analyser metrics: the measures of result files, one CSV row each,
// against a reference group when one is given.

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/verbs.h"
#include "cohort/inputs.h"
#include "cohort/metrics.h"

namespace ba {

namespace {

void print_metrics_help(std::ostream& out) {
  out << "Usage: beat_analyser metrics RESULT_FILE... -o OUT.csv [OPTION]...\n"
         "Measure the QRST maps of result files (NAMEst.txt), one CSV row per file:\n"
         "  file,beats,max,max_lead,min,min_lead,variability,ndi,ndi_beats_mean,\n"
         "  ndi_beats_sd,max_abs_z,max_abs_z_lead,leads_z2,leads_z3,\n"
         "  total_activation_ms,ari_dispersion_ms,ari_sd_ms,rt_dispersion_ms,rt_sd_ms,\n"
         "  total_activation_z,ari_dispersion_z,rt_dispersion_z,kl1..klK\n"
         "max and min of the mean map (the first lead on a tie); variability the root\n"
         "mean square over the leads of each lead's SD over the beats; against a\n"
         "group, the KL coefficients of the mean map, its non-dipolarity index (the\n"
         "share of energy beyond the first three coefficients, needs 4), the beats'\n"
         "NDI mean and SD, the largest |z| of its departure and the leads with\n"
         "|z| >= 2 and >= 3. Without a group those cells stay empty. With the lead\n"
         "table NAMEst.leads.csv beside a result file, from each lead's mean times:\n"
         "the latest less the earliest activation, and the range and SD over the\n"
         "leads of the activation-recovery interval and of the recovery time (ms);\n"
         "against a group made from files with lead tables, the z of the first, the\n"
         "ARI range and the RT range among its members.\n"
         "\n"
         "  -o, --output FILE      the table to write (CSV)\n"
         "      --reference GROUP  a group made by 'beat_analyser reference'\n"
         "      --per-beat         after each file's row one row per beat, with the\n"
         "                           columns beat and r_ms after file\n"
         "      --layout FILE      electrode places as for 'beat_analyser map'\n"
         "                           (default: the group's leads, else all 64)\n"
         "      --help             display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the table was written,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a file could not be read or used, the group's leads are not the\n"
         "    layout's, or the table could not be written (nothing is written then).\n";
}

}  // namespace

ExitStatus run_metrics_verb(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser metrics", print_metrics_help);
  std::vector<std::string> results;
  std::string output;
  std::optional<std::string> layout_path;
  std::optional<std::string> group_path;
  bool per_beat = false;
  line.add_option("RESULT_FILE", results).required();
  line.add_option("-o,--output", output).required();
  line.add_option("--layout", layout_path);
  line.add_option("--reference", group_path);
  line.add_flag("--per-beat", per_beat);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  std::vector<std::string> inputs = results;
  if (layout_path) inputs.push_back(*layout_path);
  if (group_path) inputs.push_back(*group_path);
  if (auto input = replaced_input(output, inputs))
    return line.usage("the output " + output + " would replace the input " + *input, std::cerr);

  auto read_setting = read_study_setting(files, layout_path, group_path);
  if (const auto* error = std::get_if<std::string>(&read_setting))
    return line.refuse(*error, std::cerr);
  const StudySetting& setting = std::get<StudySetting>(read_setting);
  for (const std::string& note : setting.notes)
    std::cerr << "beat_analyser metrics: " << note << '\n';
  const ReferenceGroup* group = setting.group ? &*setting.group : nullptr;

  std::vector<MetricsRow> rows;
  for (const std::string& path : results) {
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return line.refuse(*error, std::cerr);
    StudyFile& file = std::get<StudyFile>(read);
    if (auto error = read_study_leads(files, file)) return line.refuse(*error, std::cerr);
    for (MetricsRow& row : study_rows(file, setting.leads, group, per_beat))
      rows.push_back(std::move(row));
  }
  const std::size_t kl_columns = group ? group->basis.size() : 0;
  if (auto error = files.replace_file(output, metrics_csv(rows, kl_columns, per_beat)))
    return line.refuse("cannot write " + output + ": " + *error, std::cerr);
  return ExitStatus::ok;
}

}  // namespace ba

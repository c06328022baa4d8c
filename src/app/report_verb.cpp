// beat_analyser report: a study report as a PDF, the cohort table first and
// then one page per result file.

#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/batch_process.h"
#include "app/command_line.h"
#include "app/module_loader.h"
#include "app/verbs.h"
#include "cohort/report.h"
#include "cohort/report_sheet.h"
#include "runtime/sha256.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

void print_report_help(std::ostream& out) {
  out << "Usage: beat_analyser report RESULT_FILE... -o STUDY.pdf [OPTION]...\n"
         "Write a study report, A4 landscape: on the first page the measures of every\n"
         "result file (as 'beat_analyser metrics' gives them), then one page per file\n"
         "with its mean and SD maps, its AT and ARI maps when its lead table\n"
         "NAMEst.leads.csv lies beside it and, against a group, its departure, its KL\n"
         "coefficients against the group's +-2 SD band and the NDI of its beats over\n"
         "time; the choices of the analysis record NAMEst.record.json when it lies\n"
         "beside the result file. The mean maps of all files share one colour scale,\n"
         "and so do the SD, AT and ARI maps; each page states them. Progress goes to\n"
         "a terminal.\n"
         "\n"
         "  -o, --output FILE      the report to write (PDF; its name ends in .pdf)\n"
         "      --reference GROUP  a group made by 'beat_analyser reference'\n"
         "      --layout FILE      electrode places as for 'beat_analyser map'\n"
         "                           (default: the group's leads, else all 64)\n"
         "      --help             display this help and exit\n"
         "\n"
         "Exit status:\n"
         " 0  if the report was written,\n"
         " 1  if the command line was wrong,\n"
         " 2  if a file could not be read or used, the group's leads are not the\n"
         "    layout's, or the report could not be written (nothing is written then).\n";
}

}  // namespace

ExitStatus run_report_verb(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser report", print_report_help);
  std::vector<std::string> results;
  std::string output;
  std::optional<std::string> layout_path;
  std::optional<std::string> group_path;
  line.add_option("RESULT_FILE", results).required();
  line.add_option("-o,--output", output).required();
  line.add_option("--layout", layout_path);
  line.add_option("--reference", group_path);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return *status;
  if (!ascii_lower(output).ends_with(".pdf"))
    return line.usage("the report is a PDF: " + output + " must end in .pdf", std::cerr);
  std::vector<std::string> inputs = results;
  if (layout_path) inputs.push_back(*layout_path);
  if (group_path) inputs.push_back(*group_path);
  for (const std::string& result : results) {
    inputs.push_back(record_path(result));
    inputs.push_back(lead_table_path(result));
  }
  if (auto input = replaced_input(output, inputs))
    return line.usage("the output " + output + " would replace the input " + *input, std::cerr);

  auto read_setting = read_study_setting(files, layout_path, group_path);
  if (const auto* error = std::get_if<std::string>(&read_setting))
    return line.refuse(*error, std::cerr);
  const StudySetting& setting = std::get<StudySetting>(read_setting);
  for (const std::string& note : setting.notes)
    std::cerr << "beat_analyser report: " << note << '\n';
  const ReferenceGroup* chosen_group = setting.group ? &*setting.group : nullptr;
  const LeadSet& leads = setting.leads;
  // The maps leave out the leads the measures leave out.
  const std::optional<LeadLayout> mapped = layout_over(setting.layout, leads);
  if (!mapped) return line.refuse("the leads measured leave no area to map", std::cerr);

  // The table comes first but needs every file: the files are read once
  // for it and the scales, and once more each for its page, so that only
  // one file's beats are held at a time.
  StudyReport report;
  report.columns = report_columns();
  report.with_group = chosen_group != nullptr;
  std::vector<std::string> digests;
  for (const std::string& path : results) {
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return line.refuse(*error, std::cerr);
    StudyFile& study = std::get<StudyFile>(read);
    if (auto error = read_study_leads(files, study)) return line.refuse(*error, std::cerr);
    add_study_file(report, study, leads, chosen_group, *mapped);
    digests.push_back(sha256_hex(study.bytes));
  }
  const std::size_t tables = table_sheet_count(report);
  std::optional<std::string> sheet_error;
  const ReportSheetSource sheets =
      [&](std::size_t index) -> std::variant<ReportSheet, std::string> {
    if (index < tables) return table_sheet(report, index);
    const std::string& path = results[index - tables];
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return *(sheet_error = *error);
    StudyFile& study = std::get<StudyFile>(read);
    if (sha256_hex(study.bytes) != digests[index - tables])
      return *(sheet_error = describe_fault(path, {0, "changed while the report was made"}));
    if (auto error = read_study_leads(files, study)) return *(sheet_error = *error);
    std::optional<std::string> record;
    Bytes bytes;
    if (!files.read_prefix(record_path(path), largest_study_input, bytes))
      record = std::string(bytes.begin(), bytes.end());
    return file_sheet(describe_file(study, leads, chosen_group, record), *mapped, report.scales);
  };

  const auto module = module_entries();
  if (const auto* reason = std::get_if<std::string>(&module))
    return line.refuse(*reason, std::cerr);
  // The pages go to the disk as they are painted, so the memory used does
  // not grow with the number of files; the report takes its name only once
  // it is whole.
  auto opened = files.stream_file(output);
  if (const auto* error = std::get_if<std::string>(&opened))
    return line.refuse("cannot write " + output + ": " + *error, std::cerr);
  StreamedFile& pdf = *std::get<std::unique_ptr<StreamedFile>>(opened);
  std::optional<std::string> write_error;
  // Ctrl+C or a termination ends the report between pages, so that the
  // unfinished file is removed rather than left under its temporary name.
  const StopSignals stops;
  const ReportSheetSource written_sheets =
      [&](std::size_t index) -> std::variant<ReportSheet, std::string> {
    if (write_error) return *write_error;  // no more pages for a file that cannot take them
    if (stops.level() > 0) return *(write_error = "stopped by a signal");
    return sheets(index);
  };
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  const auto failure = std::get<const ModuleEntries*>(module)->study_report_pdf(
      tables + results.size(), written_sheets,
      [&](std::string_view bytes) {
        if (!write_error) write_error = pdf.append(bytes);
      },
      [&](std::size_t page, std::size_t pages) {
        if (terminal) std::cerr << "\rpage " << page << " of " << pages << std::flush;
      });
  if (terminal) std::cerr << "\n";
  if (sheet_error) return line.refuse(*sheet_error, std::cerr);
  if (!write_error && !failure) write_error = pdf.finish();
  if (write_error) return line.refuse("cannot write " + output + ": " + *write_error, std::cerr);
  if (failure) return line.refuse("cannot make the PDF " + output + ": " + *failure, std::cerr);
  return ExitStatus::ok;
}

}  // namespace ba

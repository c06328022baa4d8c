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

// What the command line asks for.
struct ReportRequest {
  std::vector<std::string> results;
  std::string output;
  std::optional<std::string> layout_path;
  std::optional<std::string> group_path;
};

// The files a report reads, which its output must not replace.
std::vector<std::string> report_inputs(const std::vector<std::string>& results,
                                       const std::optional<std::string>& layout_path,
                                       const std::optional<std::string>& group_path) {
  std::vector<std::string> inputs = results;
  if (layout_path) inputs.push_back(*layout_path);
  if (group_path) inputs.push_back(*group_path);
  for (const std::string& result : results) {
    inputs.push_back(record_path(result));
    inputs.push_back(lead_table_path(result));
  }
  return inputs;
}

// The cohort table and the shared scales, from every file read once, with
// each file's digest, so that its page can tell whether it changed since.
struct ReportTable {
  StudyReport report;
  std::vector<std::string> digests;
};

std::variant<ReportTable, std::string> read_report_table(FileOps& files,
                                                         const std::vector<std::string>& results,
                                                         const LeadSet& leads,
                                                         const ReferenceGroup* group,
                                                         const LeadLayout& mapped) {
  ReportTable table;
  table.report.columns = report_columns();
  table.report.with_group = group != nullptr;
  for (const std::string& path : results) {
    auto read = read_study_file(files, path);
    if (const auto* error = std::get_if<std::string>(&read)) return *error;
    StudyFile& study = std::get<StudyFile>(read);
    if (auto error = read_study_leads(files, study)) return *error;
    add_study_file(table.report, study, leads, group, mapped);
    table.digests.push_back(sha256_hex(study.bytes));
  }
  return table;
}

// The page of the result file at `path`, read again; refused when its bytes
// no longer have the digest they had for the table.
std::variant<ReportSheet, std::string> result_sheet(FileOps& files, const std::string& path,
                                                    const std::string& digest, const LeadSet& leads,
                                                    const ReferenceGroup* group,
                                                    const LeadLayout& mapped,
                                                    const StudyScales& scales) {
  auto read = read_study_file(files, path);
  if (const auto* error = std::get_if<std::string>(&read)) return *error;
  StudyFile& study = std::get<StudyFile>(read);
  if (sha256_hex(study.bytes) != digest)
    return describe_fault(path, {0, "changed while the report was made"});
  if (auto error = read_study_leads(files, study)) return *error;
  std::optional<std::string> record;
  Bytes bytes;
  if (!files.read_prefix(record_path(path), largest_study_input, bytes))
    record = std::string(bytes.begin(), bytes.end());
  return file_sheet(describe_file(study, leads, group, record), mapped, scales);
}

// Reads the command line into `request`; the status to end with when it is
// wrong or asks for help.
std::optional<ExitStatus> parse_report_line(CommandLine& line, int argc, char** argv,
                                            ReportRequest& request) {
  line.add_option("RESULT_FILE", request.results).required();
  line.add_option("-o,--output", request.output).required();
  line.add_option("--layout", request.layout_path);
  line.add_option("--reference", request.group_path);
  if (auto status = line.parse(argc, argv, std::cout, std::cerr)) return status;
  const std::string& output = request.output;
  if (!ascii_lower(output).ends_with(".pdf"))
    return line.usage("the report is a PDF: " + output + " must end in .pdf", std::cerr);
  if (auto input = replaced_input(
          output, report_inputs(request.results, request.layout_path, request.group_path)))
    return line.usage("the output " + output + " would replace the input " + *input, std::cerr);
  return std::nullopt;
}

// What a report is made of: the setting, the layout of its maps (which
// leave out the leads the measures leave out) and the table.
struct ReportContent {
  StudySetting setting;
  LeadLayout mapped;
  ReportTable table;
  const ReferenceGroup* group() const { return setting.group ? &*setting.group : nullptr; }
};

// Reads the setting, saying its notes on `err`, and the table.
std::variant<ReportContent, std::string> read_report_content(FileOps& files,
                                                             const ReportRequest& request,
                                                             std::ostream& err) {
  auto read_setting = read_study_setting(files, request.layout_path, request.group_path);
  if (const auto* error = std::get_if<std::string>(&read_setting)) return *error;
  StudySetting& setting = std::get<StudySetting>(read_setting);
  for (const std::string& note : setting.notes) err << "beat_analyser report: " << note << '\n';
  std::optional<LeadLayout> mapped = layout_over(setting.layout, setting.leads);
  if (!mapped) return std::string("the leads measured leave no area to map");
  ReportContent content{std::move(setting), std::move(*mapped), {}};
  // The table comes first but needs every file: the files are read once
  // for it and the scales, and once more each for its page, so that only
  // one file's beats are held at a time.
  auto read_table = read_report_table(files, request.results, content.setting.leads,
                                      content.group(), content.mapped);
  if (const auto* error = std::get_if<std::string>(&read_table)) return *error;
  content.table = std::move(std::get<ReportTable>(read_table));
  return content;
}

// The pages in order: the table's, then one per result file; the failure
// of a file's page also goes to `sheet_error`.
ReportSheetSource report_sheets(FileOps& files, const std::vector<std::string>& results,
                                const ReportContent& content,
                                std::optional<std::string>& sheet_error) {
  const std::size_t tables = table_sheet_count(content.table.report);
  return [&files, &results, &content, &sheet_error,
          tables](std::size_t index) -> std::variant<ReportSheet, std::string> {
    const StudyReport& report = content.table.report;
    if (index < tables) return table_sheet(report, index);
    auto sheet =
        result_sheet(files, results[index - tables], content.table.digests[index - tables],
                     content.setting.leads, content.group(), content.mapped, report.scales);
    if (const auto* error = std::get_if<std::string>(&sheet)) sheet_error = *error;
    return sheet;
  };
}

// `sheets`, ended early once a write has failed (`write_error`) or a stop
// signal came: Ctrl+C or a termination ends the report between pages, so
// that the unfinished file is removed rather than left under its temporary
// name.
ReportSheetSource stoppable(const ReportSheetSource& sheets, const StopSignals& stops,
                            std::optional<std::string>& write_error) {
  return
      [&sheets, &stops, &write_error](std::size_t index) -> std::variant<ReportSheet, std::string> {
        if (write_error) return *write_error;  // no more pages for a file that cannot take them
        if (stops.level() > 0) return *(write_error = "stopped by a signal");
        return sheets(index);
      };
}

}  // namespace

ExitStatus run_report_verb(int argc, char** argv, FileOps& files) {
  CommandLine line("beat_analyser report", print_report_help);
  ReportRequest request;
  if (auto status = parse_report_line(line, argc, argv, request)) return *status;
  const std::vector<std::string>& results = request.results;
  const std::string& output = request.output;
  auto read = read_report_content(files, request, std::cerr);
  if (const auto* error = std::get_if<std::string>(&read)) return line.refuse(*error, std::cerr);
  const ReportContent& content = std::get<ReportContent>(read);
  const std::size_t tables = table_sheet_count(content.table.report);
  std::optional<std::string> sheet_error;
  const ReportSheetSource sheets = report_sheets(files, results, content, sheet_error);

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
  const StopSignals stops;
  const ReportSheetSource written_sheets = stoppable(sheets, stops, write_error);
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

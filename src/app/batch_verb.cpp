// beat_analyser batch: analyse every row of a manifest, each row a process
// of its own, on every core, with a summary beside the manifest.

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "analysis/batch.h"
#include "analysis/batch_process.h"
#include "analysis/batch_records.h"
#include "analysis/manifest.h"
#include "app/command_line.h"
#include "app/verbs.h"
#include "runtime/files.h"
#include "runtime/size_limits.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

constexpr const char* summary_name = "batch_summary.csv";

void print_batch_help(std::ostream& out) {
  out << "Usage: beat_analyser batch MANIFEST.csv [OPTION]...\n"
         "Analyse every recording a manifest lists, as `beat_analyser analyse` would one by\n"
         "one, each row in a process of its own, and write batch_summary.csv beside the\n"
         "manifest: row,recording,status,message,beats_accepted,beats_left_out,seconds.\n"
         "\n"
         "The manifest is CSV with a header: recording, then either record or\n"
         "reference_ms,pq_ms,q_ms,t_end_ms; optionally leads (\"A,B,C\"), threshold, ratio\n"
         "and print (1 or 0), or auto (1: the program proposes the reference beat and\n"
         "the points, as analyse --auto; a doubtful row stays ok and its message says\n"
         "doubtful: REASON). Paths are relative to the manifest's folder; each row's\n"
         "files go beside its recording. Times are whole ms; threshold and ratio lie\n"
         "within 0.0 to 1.0, the range the start-up dialogue asks for; points go\n"
         "PQ < Q start < T end; a path holds no control character. A manifest with any\n"
         "fault is refused whole.\n"
         "\n"
         "While a row runs, and after a run that did not end well, NAMEst.unfinished\n"
         "beside its recording says so; such a row is not done.\n"
         "\n"
         "  --jobs N     run at most N rows at once (default: every core)\n"
         "  --row K      run row K alone and write no summary (for job arrays:\n"
         "                 sbatch --array=1-N, GNU parallel)\n"
         "  --collect    run nothing: write the summary from the rows' records\n"
         "  --resume     skip the rows that are done: their record holds exactly the\n"
         "                 row's choices and still matches its recording and result\n"
         "                 file, and their last run ended well\n"
         "  --help       display this help and exit\n"
         "\n"
         "Ctrl+C or SIGTERM starts no more rows and lets the running ones finish (a\n"
         "second one ends them, leaving no temporary file); the summary lists the rows\n"
         "not run.\n"
         "\n"
         "Exit status:\n"
         " 0  if every row is ok,\n"
         " 1  if a row failed or was not run, or the command line was wrong,\n"
         " 2  if the manifest cannot be read or has a fault (FILE:LINE: reason), or the\n"
         "    summary cannot be written or would replace the manifest or a file a row\n"
         "    reads.\n";
}

struct BatchOptions {
  std::string manifest;
  std::string jobs;
  std::string row;
  bool collect = false;
  bool resume = false;
};

ExitStatus finish(const std::vector<SummaryRow>& rows) {
  for (const SummaryRow& row : rows)
    if (!row.ok) return ExitStatus::some_failed;
  return ExitStatus::ok;
}

// The cores to use and the one row to run, if one is asked for.
std::variant<std::pair<BatchChoice, std::optional<int>>, ExitStatus> checked_choice(
    const BatchOptions& options, CommandLine& command) {
  BatchChoice choice;
  choice.jobs = available_cores();
  choice.resume = options.resume;
  if (!options.jobs.empty()) {
    const auto jobs = parse_int32(options.jobs);
    if (!jobs || *jobs < 1)
      return command.usage("--jobs needs a whole number of 1 or more, not '" + options.jobs + "'",
                           std::cerr);
    choice.jobs = static_cast<std::size_t>(*jobs);
  }
  std::optional<int> row;
  if (!options.row.empty()) {
    row = parse_int32(options.row);
    if (!row || *row < 1)
      return command.usage("--row needs a row number of 1 or more, not '" + options.row + "'",
                           std::cerr);
  }
  if (row && options.collect)
    return command.usage("--row and --collect cannot go together", std::cerr);
  return std::pair{choice, row};
}

std::variant<Manifest, std::string> read_manifest(FileOps& files, const std::string& path) {
  Bytes bytes;
  if (auto reason = files.read_prefix(path, largest_manifest + 1, bytes))
    return describe_fault(path, {0, *reason});
  if (bytes.size() > largest_manifest)
    return describe_fault(path, {0, "larger than 64 MB: not a manifest"});
  auto parsed = parse_manifest(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (const auto* fault = std::get_if<LineFault>(&parsed)) return describe_fault(path, *fault);
  return std::get<Manifest>(std::move(parsed));
}

// Why the summary may not be written where it goes: it would replace the
// manifest or a file a row reads (links and other names included).
std::optional<std::string> overwrites_input(const std::filesystem::path& summary,
                                            const Manifest& manifest) {
  const std::string refusal = summary.string() + " is ";
  if (same_file(summary, manifest.file))
    return refusal + "the manifest itself; give the manifest another name";
  for (const ManifestRow& row : manifest.rows)
    for (const auto& input : {std::optional(row.recording), row.record})
      if (input && same_file(summary, *input))
        return refusal + "read by line " + std::to_string(row.line) +
               " of the manifest; give that file another name";
  return std::nullopt;
}

// The places in the manifest of the rows to run: the one of --row (1-based)
// or all of them.
std::vector<std::size_t> chosen_rows(const std::optional<int>& row, std::size_t row_count) {
  std::vector<std::size_t> chosen;
  if (row) {
    chosen.push_back(static_cast<std::size_t>(*row - 1));
  } else {
    for (std::size_t place = 0; place < row_count; ++place) chosen.push_back(place);
  }
  return chosen;
}

}  // namespace

ExitStatus run_batch(int argc, char** argv, FileOps& files) {
  CommandLine command("beat_analyser batch", print_batch_help);
  BatchOptions options;
  CommandLine& app = command;
  app.add_option("manifest", options.manifest).required();
  app.add_option("--jobs", options.jobs);
  app.add_option("--row", options.row);
  app.add_flag("--collect", options.collect);
  app.add_flag("--resume", options.resume);
  if (auto status = command.parse(argc, argv, std::cout, std::cerr)) return *status;

  auto checked = checked_choice(options, command);
  if (const auto* status = std::get_if<ExitStatus>(&checked)) return *status;
  const auto& [choice, row] = std::get<std::pair<BatchChoice, std::optional<int>>>(checked);

  auto read = read_manifest(files, options.manifest);
  if (const auto* reason = std::get_if<std::string>(&read))
    return command.refuse(*reason, std::cerr);
  const Manifest& manifest = std::get<Manifest>(read);
  if (row && static_cast<std::size_t>(*row) > manifest.rows.size())
    return command.usage("--row " + options.row + " but the manifest has " +
                             std::to_string(manifest.rows.size()) + " rows",
                         std::cerr);

  const std::filesystem::path summary_path =
      std::filesystem::path(options.manifest).parent_path() / summary_name;
  if (!row)
    if (auto reason = overwrites_input(summary_path, manifest))
      return command.refuse(*reason, std::cerr);
  auto write_summary = [&](const std::vector<SummaryRow>& rows) -> ExitStatus {
    if (auto reason = files.replace_file(summary_path, summary_csv(rows)))
      return command.refuse(describe_fault(summary_path.string(), {0, *reason}), std::cerr);
    return finish(rows);
  };

  DiskRowFiles row_files(files);
  if (options.collect) return write_summary(collect_rows(manifest, row_files));

  const std::vector<std::size_t> chosen = chosen_rows(row, manifest.rows.size());
  const auto started = std::chrono::steady_clock::now();
  StreamProgress progress(std::cout, ::isatty(STDOUT_FILENO) == 1, [started] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  });
  StopSignals signals;
  ProcessLauncher launcher("/proc/self/exe");
  const std::vector<SummaryRow> rows = run_rows(
      manifest, chosen, choice, launcher, row_files, [&] { return signals.level(); }, progress);
  if (row) return finish(rows);
  return write_summary(rows);
}

}  // namespace ba

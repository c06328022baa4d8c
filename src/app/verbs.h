#pragma once
// Command-line verbs beside the interactive program. Each takes the
// arguments from its own name on (argv[0] is the verb) and the one file
// layer every read and write goes through, and returns the exit
// status: 0 done, 1 wrong command line, 2 a bad input or a failed write, with
// nothing written.

#include "runtime/exit_status.h"
#include "runtime/files.h"

namespace ba {

inline constexpr int verb_done = 0;
inline constexpr int verb_usage = 1;
inline constexpr int verb_failed = 2;

// `map`: draws the QRST integral map of a result file as PNG, SVG or PDF.
ExitStatus run_map_verb(int argc, char** argv, FileOps& files);
ExitStatus run_import(int argc, char** argv, FileOps& files);
ExitStatus run_export(int argc, char** argv, FileOps& files);
// `analyse`: one analysis without a window, from choices or a record.
ExitStatus run_analyse(int argc, char** argv, FileOps& files);
// `reference`: a reference group from several result files.
ExitStatus run_reference_verb(int argc, char** argv, FileOps& files);
// `metrics`: the measures of result files as CSV.
ExitStatus run_metrics_verb(int argc, char** argv, FileOps& files);
// `report`: a study report of result files as PDF.
ExitStatus run_report_verb(int argc, char** argv, FileOps& files);
// `propose`: the reference beat and fiducial points proposed for a recording.
ExitStatus run_propose(int argc, char** argv, FileOps& files);
// `batch`: analyses every row of a manifest, each in a process of its own.
ExitStatus run_batch(int argc, char** argv, FileOps& files);

}  // namespace ba

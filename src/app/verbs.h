#pragma once
// Command-line verbs beside the interactive program. Each takes the
// arguments from its own name on (argv[0] is the verb) and returns the exit
// status: 0 done, 1 wrong command line, 2 a bad input or a failed write, with
// nothing written.

#include "runtime/exit_status.h"

namespace ba {

inline constexpr int verb_done = 0;
inline constexpr int verb_usage = 1;
inline constexpr int verb_failed = 2;

// `map`: draws the QRST integral map of a result file as PNG, SVG or PDF.
ExitStatus run_map_verb(int argc, char** argv);
ExitStatus run_import(int argc, char** argv);
ExitStatus run_export(int argc, char** argv);
// `analyse`: one analysis without a window, from choices or a record.
ExitStatus run_analyse(int argc, char** argv);
// `reference`: a reference group from several result files.
ExitStatus run_reference_verb(int argc, char** argv);
// `metrics`: the measures of result files as CSV.
ExitStatus run_metrics_verb(int argc, char** argv);
// `report`: a study report of result files as PDF.
ExitStatus run_report_verb(int argc, char** argv);
// `propose`: the reference beat and fiducial points proposed for a recording.
ExitStatus run_propose(int argc, char** argv);
// `batch`: analyses every row of a manifest, each in a process of its own.
ExitStatus run_batch(int argc, char** argv);

}  // namespace ba

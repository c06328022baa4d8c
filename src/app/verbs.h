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
int run_map_verb(int argc, char** argv);
ExitStatus run_import(int argc, char** argv);
ExitStatus run_export(int argc, char** argv);

}  // namespace ba

#pragma once
// Command-line verbs: `beat_analyser VERB ...` runs one job on saved files
// instead of the interactive program. Each takes the arguments after the
// program name (argv[0] is the verb) and returns the exit status.

namespace ba {

// `map`: draws the QRST integral map of a result file as PNG, SVG or PDF.
int run_map_verb(int argc, char** argv);

}  // namespace ba

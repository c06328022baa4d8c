#pragma once
// The result file (NAMEst.txt), written by command d and read back by the
// tools that work on saved results: its count line, then per beat a line
// with the R time and the 64 areas over the following lines, every value a
// whole number.

#include <string_view>
#include <variant>
#include <vector>

#include "results/beat.h"
#include "results/selection.h"
#include "runtime/text_kit.h"
#include "runtime/textform.h"

namespace ba {

// The statements of the result file for a selection: line 1 the number of
// beats; per beat its R position (samples), then its 64 areas as one
// statement, which the 80-character file lines break into ten lines of six
// values and one of four.
std::vector<std::vector<Item>> result_statements(const Selection& selection);

// The beats of a result file, or the line where reading stopped and what
// was wrong there.
using ResultFileText = std::variant<std::vector<ResultBeat>, LineFault>;

// Parses the whole text of a result file. Lines may end in CRLF (as the
// program writes them) or LF; blank lines after the last beat are allowed.
ResultFileText parse_result_file(std::string_view text);

}  // namespace ba

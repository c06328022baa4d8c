#pragma once
// Reading back a result file (NAMEst.txt) for the tools that work on saved
// results: its count line, then per beat a line with the R time and the 64
// areas over the following lines, every value a whole number.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "recording/recording.h"
#include "runtime/one_based.h"

namespace ba {

struct ResultBeat {
  std::int32_t r_ms = 0;                         // R position, samples (1 ms each)
  Array1<std::int32_t, lead_point_count> areas;  // AQRST of leads 1..64
};

// Why a text is not a result file: the 1-based line where reading stopped
// and what was wrong there.
struct ResultFileFault {
  long line = 0;
  std::string reason;
};

using ResultFileText = std::variant<std::vector<ResultBeat>, ResultFileFault>;

// Parses the whole text of a result file. Lines may end in CRLF (as the
// program writes them) or LF; blank lines after the last beat are allowed.
ResultFileText parse_result_file(std::string_view text);

}  // namespace ba

#pragma once
// Reading the recognition decisions back from a log file (NAMEstlog.txt):
// which reference beat each c or v run compared against, and what became of
// every candidate.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/text_kit.h"

namespace ba {

enum class Verdict { accepted, rejected, left_out };

// One "k=" record with what is known around it.
struct CandidateRecord {
  int run = 0;                               // 1 for the first c or v run of the log
  std::optional<std::int32_t> reference_ms;  // R time of the reference beat, if one was selected
  std::int32_t k = 0;                        // candidate number within the run
  std::string best_r;                        // best coefficient as the log writes it
  std::int32_t shift = 0;                    // best shift, samples (1 ms each)
  std::int32_t aligned_ms = 0;               // aligned R time; 0 when rejected
  Verdict verdict = Verdict::rejected;
};

using LogAudit = std::variant<std::vector<CandidateRecord>, LineFault>;

// Parses the whole text of a log. A run starts at each record k=1; a
// "left out time" record marks the accepted beat of the run just read whose
// fiducial points fall outside the recording.
LogAudit read_log_audit(std::string_view text);

// Whether a saved text is a log rather than a result file: its first line
// that is not blank starts with a log record's word. An empty text is the log
// of a run that selected nothing.
bool looks_like_log(std::string_view text);

}  // namespace ba

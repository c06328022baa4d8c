#pragma once
// Saved results as CSV for spreadsheets and data frames: comma-separated,
// a header row, LF line ends, numbers as plain decimal text.

#include <string>
#include <vector>

#include "interchange/log_reader.h"
#include "results/result_file.h"

namespace ba {

// One row per beat: beat,r_ms,lead_1,...,lead_64.
std::string result_csv_wide(const std::vector<ResultBeat>& beats);
// One row per beat and lead: beat,r_ms,lead,area.
std::string result_csv_long(const std::vector<ResultBeat>& beats);
// One row per candidate of each run:
// run,reference_ms,k,best_r,shift,aligned_ms,accepted, where accepted is
// yes, no or left_out, and reference_ms is empty when no beat was selected.
std::string audit_csv(const std::vector<CandidateRecord>& records);

}  // namespace ba

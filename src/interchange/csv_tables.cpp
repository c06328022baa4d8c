#include "interchange/csv_tables.h"

namespace ba {

namespace {

const char* verdict_text(Verdict verdict) {
  switch (verdict) {
    case Verdict::accepted:
      return "yes";
    case Verdict::rejected:
      return "no";
    case Verdict::left_out:
      return "left_out";
  }
  return "";
}

}  // namespace

std::string result_csv_wide(const std::vector<ResultBeat>& beats) {
  std::string csv = "beat,r_ms";
  for (int lead = 1; lead <= lead_point_count; ++lead) csv += ",lead_" + std::to_string(lead);
  csv += '\n';
  for (std::size_t b = 0; b < beats.size(); ++b) {
    csv += std::to_string(b + 1) + ',' + std::to_string(beats[b].r_ms);
    for (long lead = 1; lead <= lead_point_count; ++lead)
      csv += ',' + std::to_string(beats[b].areas(lead));
    csv += '\n';
  }
  return csv;
}

std::string result_csv_long(const std::vector<ResultBeat>& beats) {
  std::string csv = "beat,r_ms,lead,area\n";
  for (std::size_t b = 0; b < beats.size(); ++b) {
    const std::string beat = std::to_string(b + 1) + ',' + std::to_string(beats[b].r_ms) + ',';
    for (long lead = 1; lead <= lead_point_count; ++lead)
      csv += beat + std::to_string(lead) + ',' + std::to_string(beats[b].areas(lead)) + '\n';
  }
  return csv;
}

std::string audit_csv(const std::vector<CandidateRecord>& records) {
  std::string csv = "run,reference_ms,k,best_r,shift,aligned_ms,accepted\n";
  for (const CandidateRecord& record : records) {
    csv += std::to_string(record.run) + ',' +
           (record.reference_ms ? std::to_string(*record.reference_ms) : std::string()) + ',' +
           std::to_string(record.k) + ',' + record.best_r + ',' + std::to_string(record.shift) +
           ',' + std::to_string(record.aligned_ms) + ',' + verdict_text(record.verdict) + '\n';
  }
  return csv;
}

}  // namespace ba

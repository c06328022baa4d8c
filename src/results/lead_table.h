#pragma once
// The lead table (NAMEst.leads.csv) beside the result file: per accepted
// beat and mapping lead, the QRST area and its two parts split at the J
// point, and the activation and recovery times of the lead.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "recording/recording.h"
#include "results/beat.h"
#include "runtime/one_based.h"
#include "runtime/text_kit.h"

namespace ba {

class Io;

inline constexpr std::string_view lead_table_suffix = ".leads.csv";
inline constexpr std::string_view lead_table_header =
    "beat,r_ms,lead,qrst_area,qrs_area,stt_area,at_ms,rt_ms,ari_ms";

// One beat's per-lead measures. Areas are in the result file's units;
// times in ms from the beat's R, empty where the lead's slope is too small
// to time.
struct BeatLeads {
  std::int32_t r_ms = 0;  // R position, samples (1 ms each)
  Array1<std::int32_t, lead_point_count> qrst_area;
  Array1<std::int32_t, lead_point_count> qrs_area;  // [Q start, J)
  Array1<std::int32_t, lead_point_count> stt_area;  // [J, T end]
  Array1<std::optional<std::int32_t>, lead_point_count> at_ms;
  Array1<std::optional<std::int32_t>, lead_point_count> rt_ms;
};

// RT - AT, or nothing when either is missing.
std::optional<std::int32_t> ari_ms(const BeatLeads& beat, long lead);

// The table's text: the header, then one LF-ended row per beat and lead,
// beats in the given (R) order, leads 1..64.
std::string lead_table_text(const std::vector<BeatLeads>& beats);

// The beats of a lead table, or where reading stopped and why.
using LeadTableText = std::variant<std::vector<BeatLeads>, LineFault>;
LeadTableText parse_lead_table(std::string_view text);

// Why a lead table cannot belong to the result file whose beats are given
// (another count of beats, another R, another QRST area), or nothing.
std::optional<std::string> lead_table_mismatch(const std::vector<BeatLeads>& table,
                                               const std::vector<ResultBeat>& result);

// NAMEst.leads.csv for the program path of NAMEst.txt (trailing blanks of
// the program's fixed-length path dropped).
std::string lead_table_path(const std::string& result_path);

// Writes the lead table beside the result file d has just written, whole or
// not at all. A failure changes nothing the program shows: it is passed to
// the platform's remark.
void keep_lead_table(Io& io, const std::string& result_path, const std::vector<BeatLeads>& beats);

}  // namespace ba

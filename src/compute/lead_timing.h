#pragma once
// Per-lead measures of one beat beside its QRST area: the area split at the
// J point into its depolarisation part (QRS) and repolarisation part (ST-T),
// the activation time (steepest downslope in the QRS) and the recovery time
// (steepest upslope in the ST-T), and the J point proposed from all leads.

#include <cstdint>

#include "recording/recording.h"
#include "results/lead_table.h"

namespace ba {

// Sample positions of a beat's points (1 sample = 1 ms).
struct LeadWindow {
  std::int32_t pq;  // baseline sample
  std::int32_t q;   // first sample of the QRS
  std::int32_t j;   // first sample of the ST-T
  std::int32_t t;   // last sample of the ST-T
};

// Steepest slopes below these cannot be told from noise and slow baseline
// drift: the lead is left untimed. Recorder units per ms (one unit is 5 uV,
// so 2 units/ms is 10 mV/s).
inline constexpr float least_qrs_slope = 2.0f;
inline constexpr float least_stt_slope = 0.5f;

// Every mapping lead of the beat with R at `r`. All points must lie in the
// recording, and q <= j <= t + 1 (the QRS or the ST-T may be empty). With
// t < q nothing is summed and nothing timed.
BeatLeads measure_leads(const SampleMatrix& sample_matrix, const LeadWindow& window,
                        std::int32_t r);

// The J point the leads together suggest for the beat between q and t
// (sample positions): the spatial velocity (the root of the summed squared
// slopes of all leads) has its peak in the QRS; J is the first sample from
// which it stays at the level of the ST segment until that segment. Lies in
// [q, t]; q when t <= q.
std::int32_t propose_j(const SampleMatrix& sample_matrix, std::int32_t q, std::int32_t t);

}  // namespace ba

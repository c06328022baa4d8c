#pragma once
// Beat detection from the differentiated R wave: the three displayed leads
// are squared and summed into a power curve, differentiated with a
// five-point difference, and the steepest falls are picked one after another.

#include <cstdint>

#include "recording/recording.h"
#include "runtime/one_based.h"

namespace ba {

struct AnalysisConditions;

inline constexpr int max_span = 32000;              // samples of a whole-recording run
inline constexpr int preview_span = 4000;           // samples of the preview (first 4 s)
inline constexpr int preview_reference_end = 3998;  // also used by command c
inline constexpr int whole_reference_end = 31998;   // used by command v
inline constexpr int candidate_slots = 200;         // entries of the candidate lists
inline constexpr int displayed_trace_count = 3;

struct DetectionState {
  std::int32_t span_len = 0;                                    // samples of the current run
  Array1<float, max_span> time_axis;                            // time_axis(i) = i
  Matrix1<float, max_span, displayed_trace_count> lead_traces;  // (sample, trace 1..3)
  Array1<float, max_span> lead_power;                           // sum of squares of the traces
  Array1<float, max_span> power_slope;                          // five-point difference
  float slope_min = 0.0f;                                // deepest fall in the reference range
  float peak_value = 0.0f;                               // value of the latest pick
  std::int16_t peak_pos = 0;                             // sample of the latest pick
  Array1<std::int16_t, candidate_slots> r_positions;     // picks in the order found, 0 = empty
  Array1<std::int16_t, candidate_slots> beat_positions;  // r_positions, latest first
  std::int32_t n_candidates = 0;
  float amp_max = 0.0f;  // largest |trace 1| over samples 100..1,000 (preview only)
};

// Detect over samples 1..span_len; reference_end bounds the search for
// slope_min (3,998 for the preview and c, 31,998 for v). `preview` also sets
// amp_max.
void detect(const SampleMatrix& sample_matrix, const AnalysisConditions& conditions,
            std::int32_t span_len, std::int32_t reference_end, bool preview,
            DetectionState& detection);
// beat_positions = r_positions in descending order, zeros last.
void sort_candidates(DetectionState& detection);
// n_candidates = number of leading nonzero entries of beat_positions.
void count_candidates(DetectionState& detection);

}  // namespace ba

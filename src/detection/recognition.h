#pragma once
// Waveform recognition: every candidate is compared with the template by the
// correlation coefficient over 51 samples at 21 trial shifts.

#include <cstdint>

#include "detection/detection.h"
#include "recording/recording.h"
#include "runtime/one_based.h"

namespace ba {

class Io;

inline constexpr int template_len = 51;                       // samples compared per shift
inline constexpr int template_half = (template_len - 1) / 2;  // samples either side of the centre
inline constexpr int template_room = 200;
inline constexpr int max_shift = 10;  // trial shifts -10..+10

struct RecognitionState {
  std::int32_t corr_lead = 0;  // channel used for recognition; 0 until the first s
  Array1<std::int32_t, template_room> template_wave;  // 51 used
};

// The best coefficient of one candidate over the trial shifts, and its shift.
struct ShapeMatch {
  float corr = 0.0f;
  std::int32_t shift = 0;
};

// Pearson's correlation coefficient of the first n elements (1..51) of x and
// y, in single precision, stored in r. When either series has no spread the
// coefficient is undefined and r is 0.0, which never counts as a match.
void CR(const Array1<std::int32_t, template_room>& x, const Array1<std::int32_t, template_room>& y,
        float& r, std::int32_t n);

// The candidate at `position` against the template on channel corr_lead
// at the 21 trial shifts. Only a strictly better coefficient replaces the
// best, so ties go to the more negative shift and coefficients at or below
// 0.0 never count (corr 0.0, shift 0).
ShapeMatch best_match(const SampleMatrix& sample_matrix, const RecognitionState& recognition,
                      std::int32_t position);

// Rewrites beat_positions(1..n_candidates): aligned position when accepted,
// 0 when rejected; one "k=" record per candidate to the log file.
void recognise(Io& io, const SampleMatrix& sample_matrix, float corr_threshold,
               DetectionState& detection, const RecognitionState& recognition);

}  // namespace ba

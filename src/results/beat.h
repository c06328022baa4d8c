#pragma once
// One measured beat: its R position and the QRST area of every mapping
// lead, as commands c and v measure it and as the result file keeps it.

#include <cstdint>

#include "recording/recording.h"
#include "runtime/one_based.h"

namespace ba {

// The one-beat window: index r_peak_index is the R peak, so index i is
// sample R - r_peak_index + i (1 ms each).
inline constexpr int r_peak_index = 200;

struct ResultBeat {
  std::int32_t r_ms = 0;                         // R position, samples (1 ms each)
  Array1<std::int32_t, lead_point_count> areas;  // AQRST of leads 1..64
};

}  // namespace ba

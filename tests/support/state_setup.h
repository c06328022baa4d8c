#pragma once
// Program state set by hand as the earlier commands would leave it, for tests
// that start in the middle of a session: the candidate list after
// recognition and the confirmed fiducial points.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "detection/detection.h"
#include "marking/marking.h"

namespace ba::test {

// beat_positions as recognition leaves them: latest first, 0 for a rejected
// candidate, the entries after the listed ones empty.
inline void set_candidates(DetectionState& detection,
                           const std::vector<std::int16_t>& latest_first) {
  detection.beat_positions.fill(0);
  long j = 0;
  for (std::int16_t position : latest_first) detection.beat_positions(++j) = position;
  detection.n_candidates = static_cast<std::int32_t>(j);
}

// The first `count` entries of a list of positions, for comparing whole lists.
template <typename T, std::size_t N>
std::vector<int> first_entries(const Array1<T, N>& list, int count) {
  std::vector<int> entries;
  for (long j = 1; j <= count; ++j) entries.push_back(static_cast<int>(list(j)));
  return entries;
}

// Confirmed fiducial points, beat-window indices (200 = R peak).
inline void set_fiducials(MarkingState& marking, std::int32_t pq_point, std::int32_t q_start,
                          std::int32_t t_end) {
  marking.pq_point = pq_point;
  marking.q_start = q_start;
  marking.t_end = t_end;
}

}  // namespace ba::test

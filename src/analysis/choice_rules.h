#pragma once
// What the verbs (analyse and a batch's manifest) ask of a choice of
// analysis beyond what a window session checks: the correlation threshold
// and the amplitude ratio within 0.0 to 1.0, the range the start-up
// dialogue asks for, and the three fiducial points in their order along the
// beat, PQ before Q start before T end. A value outside either rule gives an
// empty or meaningless analysis, never one a person meant.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ba {

// Why a threshold or ratio cannot be taken; `name` names it ("threshold").
std::optional<std::string> fraction_fault(std::string_view name, float value);

// Why three points, in ms from R, cannot be taken.
std::optional<std::string> point_order_fault(std::int32_t pq_ms, std::int32_t q_ms,
                                             std::int32_t t_end_ms);

}  // namespace ba

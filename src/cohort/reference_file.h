#pragma once
// The reference group as a JSON file (GROUP.ref.json):
//
//   {"format": "beat-analyser-reference", "version": 1, "count": N,
//    "leads": [1, 2, ...], "mean": [...], "sd": [...],
//    "basis": [{"eigenvalue": L, "vector": [...]}, ...],
//    "files": [{"name": "...", "sha256": "..."}, ...]}
//
// and, from the members' lead tables, "kinds": {"at": {"mean": [...],
// "sd": [...]}, ...} and "measures": {"total_activation_ms": {"mean": M,
// "sd": S}, ...} before "files" (absent in groups made without them).
//
// mean, sd and every basis vector hold one number per entry of "leads";
// numbers are written with enough digits to read back the same double.

#include <string>
#include <string_view>
#include <variant>

#include "cohort/study.h"

namespace ba {

inline constexpr std::string_view reference_format = "beat-analyser-reference";
inline constexpr int reference_version = 1;

std::string reference_group_json(const ReferenceGroup& group);

// The group, or why the text is not one: not JSON, a foreign file, another
// version, or parts that do not fit one another.
using ReferenceText = std::variant<ReferenceGroup, std::string>;
ReferenceText parse_reference_group(std::string_view text);

}  // namespace ba

// Reference group files: any bytes either give a reason or a group whose
// every part can be used against a map without reading outside it.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cohort/reference_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ba::ReferenceText parsed = ba::parse_reference_group(text);
  if (const auto* reason = std::get_if<std::string>(&parsed)) {
    if (reason->empty()) __builtin_trap();
    return 0;
  }
  const ba::ReferenceGroup& group = std::get<ba::ReferenceGroup>(parsed);
  if (group.leads.empty() || group.count < ba::smallest_group) __builtin_trap();
  ba::LeadValues map;
  for (int n = 1; n <= ba::lead_point_count; ++n) map(n) = n % 5;
  const ba::Departure found = ba::departure(group, map);
  if (found.max_abs_z_lead != 0 && !(found.max_abs_z >= 0)) __builtin_trap();
  (void)ba::non_dipolarity(ba::kl_coefficients(group, map));
  // What was read writes out and reads back again.
  if (!std::holds_alternative<ba::ReferenceGroup>(
          ba::parse_reference_group(ba::reference_group_json(group))))
    __builtin_trap();
  return 0;
}

#include "analysis/choice_rules.h"

#include <cstdio>

namespace ba {

namespace {

constexpr std::string_view point_rule = "the points go PQ < Q start < T end";

std::string shown(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

std::string ms(std::int32_t value) { return std::to_string(value) + " ms"; }

}  // namespace

std::optional<std::string> fraction_fault(std::string_view name, float value) {
  if (value >= 0.0f && value <= 1.0f) return std::nullopt;
  return std::string(name) + " " + shown(value) +
         " is outside 0.0 to 1.0, the range the start-up dialogue asks for";
}

std::optional<std::string> point_order_fault(std::int32_t pq_ms, std::int32_t q_ms,
                                             std::int32_t t_end_ms) {
  if (pq_ms >= q_ms)
    return "Q start " + ms(q_ms) + " is not after PQ " + ms(pq_ms) + ": " + std::string(point_rule);
  if (q_ms >= t_end_ms)
    return "T end " + ms(t_end_ms) + " is not after Q start " + ms(q_ms) + ": " +
           std::string(point_rule);
  return std::nullopt;
}

}  // namespace ba

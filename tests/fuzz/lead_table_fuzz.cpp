// Lead tables: any bytes either give a fault with its line (0 for the table
// as a whole, as a table that ends inside a beat), or beats whose
// text, read back, gives the same beats again.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "results/lead_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ba::LeadTableText parsed = ba::parse_lead_table(text);
  if (const auto* fault = std::get_if<ba::LineFault>(&parsed)) {
    if (fault->line < 0 || fault->reason.empty()) __builtin_trap();
    return 0;
  }
  const auto& beats = std::get<std::vector<ba::BeatLeads>>(parsed);
  const ba::LeadTableText again = ba::parse_lead_table(ba::lead_table_text(beats));
  const auto* read_back = std::get_if<std::vector<ba::BeatLeads>>(&again);
  if (!read_back || read_back->size() != beats.size()) __builtin_trap();
  for (std::size_t b = 0; b < beats.size(); ++b) {
    if ((*read_back)[b].r_ms != beats[b].r_ms) __builtin_trap();
    for (long lead = 1; lead <= ba::lead_point_count; ++lead)
      if ((*read_back)[b].qrst_area(lead) != beats[b].qrst_area(lead) ||
          (*read_back)[b].at_ms(lead) != beats[b].at_ms(lead) ||
          (*read_back)[b].rt_ms(lead) != beats[b].rt_ms(lead))
        __builtin_trap();
  }
  return 0;
}

// Typed answers read as fixed fields (the start-up dialogue): any bytes as
// the typed line, the field width and decimals taken from the first byte.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/quoting.h"
#include "runtime/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int width = 1 + data[0] % 12;         // the dialogue's widths are 2 to 6
  const int implied_decimals = data[0] >> 5;  // 0..7
  const std::string_view typed(reinterpret_cast<const char*>(data + 1), size - 1);

  std::int32_t whole = 0;
  ba::parse_whole_field(typed, width, whole);
  float real = 0.0f;
  ba::parse_real_field(typed, width, implied_decimals, real);
  const std::string field = ba::text_field(typed, width);
  // The field is what a report quotes: the quotation must show no control byte.
  for (unsigned char c : ba::quote(field))
    if (c < 0x20 || c == 0x7F) std::abort();
  return 0;
}

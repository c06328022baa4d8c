// Typed answers read in free form (menus, yes/no questions, reals): any
// bytes as the typed line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/quoting.h"
#include "runtime/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view typed(reinterpret_cast<const char*>(data), size);
  // The menu's answer buffer is 10 characters; other lengths as well.
  for (int length : {1, 6, 10, 32}) ba::first_word(typed, length);
  float value = 0.0f;
  ba::parse_free_real(typed, value);
  ba::sjis_width(typed);
  ba::to_sjis(typed);
  for (unsigned char c : ba::quote(typed))
    if (c < 0x20 || c == 0x7F) std::abort();
  ba::is_clean_text(typed);
  return 0;
}

// Any bytes as an analysis record: a refusal with a reason or a record that
// writes back to a text it reads again the same, never a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "results/analysis_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto read = ba::read_record(std::string_view(reinterpret_cast<const char*>(data), size));
  if (read.index() == 0) {
    const std::string text = ba::record_text(std::get<0>(read));
    const auto again = ba::read_record(text);
    if (again.index() != 0 || ba::record_text(std::get<0>(again)) != text) std::abort();
  }
  return 0;
}

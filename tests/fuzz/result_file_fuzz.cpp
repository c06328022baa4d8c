// Result files: any bytes either give a fault with its line or beats whose
// mean, spread and sheet can be drawn up.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "map/page.h"
#include "results/result_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ba::ResultFileText parsed = ba::parse_result_file(text);
  if (const auto* fault = std::get_if<ba::LineFault>(&parsed)) {
    if (fault->line < 1 || fault->reason.empty()) __builtin_trap();
    return 0;
  }
  const auto& beats = std::get<std::vector<ba::ResultBeat>>(parsed);
  if (beats.empty() || beats.size() > 300) return 0;  // a sheet of thousands adds nothing
  for (ba::MapKind kind : {ba::MapKind::mean, ba::MapKind::sd, ba::MapKind::sheet}) {
    ba::MapRequest request;
    request.kind = kind;
    const ba::MapPage page = ba::make_page(beats, ba::default_layout(), request);
    if (!(page.limit > 0)) __builtin_trap();
  }
  return 0;
}

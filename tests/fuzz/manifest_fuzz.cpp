// Batch manifests: any bytes either give a fault with a line inside the text
// and a reason, or rows in the order of their lines, each with a recording
// free of control characters, thresholds within 0..1, points in order, and
// an analyse command line that starts with the verb.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "analysis/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = ba::parse_manifest("fuzz/manifest.csv", text);
  const long lines = std::count(text.begin(), text.end(), '\n') + 1;
  if (const auto* fault = std::get_if<ba::LineFault>(&parsed)) {
    if (fault->line < 0 || fault->line > lines || fault->reason.empty()) __builtin_trap();
    return 0;
  }
  const ba::Manifest& manifest = std::get<ba::Manifest>(parsed);
  if (manifest.rows.empty()) __builtin_trap();
  int previous = 0;
  for (const ba::ManifestRow& row : manifest.rows) {
    if (row.line <= previous || row.line > lines || row.recording_text.empty()) __builtin_trap();
    previous = row.line;
    const auto arguments = row.analyse_arguments();
    if (arguments.size() < 2 || arguments[0] != "analyse") __builtin_trap();
    if (!row.record && !(row.reference_ms && row.pq_ms && row.q_ms && row.t_end_ms))
      __builtin_trap();
    for (const auto& fraction : {row.threshold, row.ratio})
      if (fraction && !(*fraction >= 0.0f && *fraction <= 1.0f)) __builtin_trap();
    if (row.pq_ms && row.q_ms && row.t_end_ms &&
        !(*row.pq_ms < *row.q_ms && *row.q_ms < *row.t_end_ms))
      __builtin_trap();
    for (unsigned char c : row.recording_text)
      if (c < 0x20 || c == 0x7F) __builtin_trap();
  }
  return 0;
}

// Any text as a log to read back as an audit table: the table or the line
// where the text stops being a log, never a crash.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "interchange/csv_tables.h"
#include "interchange/log_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ba::looks_like_log(text);
  const ba::LogAudit audit = ba::read_log_audit(text);
  if (audit.index() == 0) ba::audit_csv(std::get<0>(audit));
  return 0;
}

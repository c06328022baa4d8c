#include "analysis/batch_records.h"

#include <filesystem>

namespace ba {

RowRecord read_row_record(const ManifestRow& row) {
  RowRecord record;
  std::error_code ignored;
  if (!std::filesystem::exists(row.record_written(), ignored)) return record;
  record.state = RowRecord::State::unusable;
  record.reason = "record not read";
  return record;
}

}  // namespace ba

#include "analysis/batch_records.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace ba {
namespace {

// A file far larger than any record is refused by its size, unread.
TEST(BatchRecords, ARecordOver16MegabytesIsNotOne) {
  test::TempFolder folder("batch-records");
  ManifestRow row;
  row.recording = folder / "p1.dat";
  test::write_host_file(row.record_written(), "");
  std::filesystem::resize_file(row.record_written(), (16u << 20) + 1);
  const RowRecord record = read_row_record(row);
  EXPECT_EQ(record.state, RowRecord::State::unusable);
  EXPECT_EQ(record.reason, "p1st.record.json: larger than 16 MB: not a record");
}

}  // namespace
}  // namespace ba

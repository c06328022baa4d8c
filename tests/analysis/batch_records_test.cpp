#include "analysis/batch_records.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace ba {
namespace {

HostFileOps disk;

// A file far larger than any record is refused by its size, unread.
TEST(BatchRecords, ARecordOver16MegabytesIsNotOne) {
  test::TempFolder folder("batch-records");
  ManifestRow row;
  row.recording = folder / "p1.dat";
  test::write_host_file(row.record_written(), "");
  std::filesystem::resize_file(row.record_written(), (16u << 20) + 1);
  const RowRecord record = read_row_record(disk, row);
  EXPECT_EQ(record.state, RowRecord::State::unusable);
  EXPECT_EQ(record.reason, "p1st.record.json: larger than 16 MB: not a record");
}

// The mark of a run that has not ended well decides before any record:
// its first line is the reason, shown without what would act on a terminal.
TEST(BatchRecords, AMarkedRowIsNotDoneWhateverItsRecord) {
  test::TempFolder folder("batch-records");
  ManifestRow row;
  row.recording = folder / "p1.dat";
  const struct {
    const char* mark;
    const char* reason;
  } rows[] = {
      {"started 2026-12-10T02:00:00Z, not ended\n",
       "last run started 2026-12-10T02:00:00Z, not ended"},
      {"failed: ended by signal 15 (Terminated)\nmore\n",
       "last run failed: ended by signal 15 (Terminated)"},
      {"failed: \x1b[2J", "last run 'failed: \\033[2J'"},
  };
  for (const auto& mark : rows) {
    test::write_host_file(row.unfinished_mark(), mark.mark);
    const RowRecord record = read_row_record(disk, row);
    EXPECT_EQ(record.state, RowRecord::State::stale) << mark.mark;
    EXPECT_EQ(record.reason, mark.reason);
  }
}

}  // namespace
}  // namespace ba

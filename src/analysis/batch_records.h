#pragma once
// The files a row's analysis leaves beside its recording, as the batch sees
// them: the record, there or not, whether it holds exactly the row's choices
// and whether the recording and the result file are still those it
// describes; and the mark (NAMEst.unfinished) that stays from the start of
// a run until the run has ended well.

#include "analysis/batch.h"
#include "runtime/files.h"

namespace ba {

RowRecord read_row_record(FileOps& files, const ManifestRow& row);

// A row's files on disk, read and written through `files`.
class DiskRowFiles : public RowFiles {
 public:
  explicit DiskRowFiles(FileOps& files) : files_(files) {}
  RowRecord record(const ManifestRow& row) override { return read_row_record(files_, row); }
  std::optional<std::string> starting(const ManifestRow& row) override;
  std::optional<std::string> ended(const ManifestRow& row, const std::string& failure) override;

 private:
  FileOps& files_;
};

}  // namespace ba

#pragma once
// The record a row's analysis leaves beside its recording, as the batch
// sees it: there or not, and whether the recording and the result file are
// still those it describes.

#include "analysis/batch.h"

namespace ba {

RowRecord read_row_record(const ManifestRow& row);

}  // namespace ba

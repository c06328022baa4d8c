#pragma once
// Painting the pages of a study report (cohort/report_sheet.h) as an A4
// landscape PDF, one page at a time as they are made: only a page is held
// at once, and the file's bytes leave as they are written.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cohort/report_sheet.h"

namespace ba {

// Called after each page with its number and the number of pages.
using ReportProgress = std::function<void(std::size_t page, std::size_t pages)>;
// Takes the PDF's bytes in order.
using ReportSink = std::function<void(std::string_view bytes)>;

// Paints pages 0..count-1 from `sheets` into `sink`; the reason when a page
// cannot be made (then the bytes given so far are no whole file).
std::optional<std::string> paint_study_report(std::size_t count, const ReportSheetSource& sheets,
                                              const ReportSink& sink,
                                              const ReportProgress& progress = {});

}  // namespace ba

#pragma once
// Painting a study report (cohort/report.h) as an A4 landscape PDF: the
// cohort table first, then one page per result file with its mean and SD
// maps, its departure from the group, its KL coefficients against the
// group's +-2 SD band, the NDI of its beats over time and the record's
// choices.

#include <QByteArray>
#include <cstddef>
#include <functional>

#include "cohort/report.h"
#include "map/layout.h"

namespace ba {

// Called after each page with its number and the number of pages.
using ReportProgress = std::function<void(std::size_t page, std::size_t pages)>;

// The whole PDF file; empty when Qt could not make one.
QByteArray study_report_pdf(const StudyReport& report, const LeadLayout& layout,
                            const ReportProgress& progress = {});

}  // namespace ba

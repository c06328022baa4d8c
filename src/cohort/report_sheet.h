#pragma once
// The pages of a study report as descriptions in page units (one unit is a
// pixel at 96 per inch, so A4 landscape is 1123 x 794): the cohort table
// first, then one page per result file. A painter only draws what is
// listed, in the order of the members: maps, boxes, lines, dots, texts.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cohort/report.h"
#include "map/picture.h"

namespace ba {

inline constexpr double report_width = 1123;
inline constexpr double report_height = 794;

struct PageRect {
  PageBox box;
  std::optional<Ink> fill;
  std::optional<Ink> outline;
};

// A map picture drawn with its own origin at `at`.
struct PlacedMap {
  PagePoint at;
  MapPicture picture;
};

struct ReportSheet {
  std::vector<PlacedMap> maps;
  std::vector<PageRect> rects;
  std::vector<PageLine> lines;
  std::vector<PageDot> dots;
  std::vector<PageText> texts;
};

// How many table pages the report opens with (at least one).
std::size_t table_sheet_count(const StudyReport& report);
// Table page `index` (0-based): the measures of its files and, with a
// group, their KL coefficients below them; the shared colour scales.
ReportSheet table_sheet(const StudyReport& report, std::size_t index);

// The page of one file: its mean and SD maps on the study's scales, its
// departure map, its KL coefficients against the group's band, the NDI of
// its beats over time, and the record's choices. `layout` has only the
// measured leads usable.
ReportSheet file_sheet(const ReportFilePage& page, const LeadLayout& layout,
                       const StudyScales& scales);

// Page `index` of a report (0-based), or why it cannot be made.
using ReportSheetSource = std::function<std::variant<ReportSheet, std::string>(std::size_t index)>;

// Ticks for an axis over low..high (low < high): a 1-2-5 step that gives 3
// to 6 of them, from the first multiple at or below `low` to the first at
// or above `high`.
std::vector<double> axis_ticks(double low, double high);

}  // namespace ba

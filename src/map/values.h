#pragma once
// The values a map shows, one per lead, from the beats of a result file.

#include <optional>
#include <span>
#include <vector>

#include "map/layout.h"
#include "results/beat.h"

namespace ba {

using LeadValues = Array1<double, lead_point_count>;

// Every lead's area times `scale`.
LeadValues beat_values(const ResultBeat& beat, double scale);
// Mean over the beats; all zero for no beats.
LeadValues mean_values(const std::vector<ResultBeat>& beats, double scale);
// Sample standard deviation over the beats (n - 1 in the denominator); zero
// for fewer than two beats.
LeadValues sd_values(const std::vector<ResultBeat>& beats, double scale);

// The largest and the smallest value among some leads, with the first lead
// on a tie; lead 0 when there are no leads.
struct LeadExtremes {
  double max = 0;
  int max_lead = 0;
  double min = 0;
  int min_lead = 0;
};
LeadExtremes lead_extremes(const LeadValues& values, std::span<const int> leads);
// Among the usable leads of the layout, in lead order.
LeadExtremes lead_extremes(const LeadLayout& layout, const LeadValues& values);

// The isoline step from the 1-2-5 series (..., 0.1, 0.2, 0.5, 1, 2, 5, ...)
// that puts 8 to 15 of its multiples within [low, high]; when none does, the
// one whose count comes nearest. Nothing when low == high.
std::optional<double> isoline_step(double low, double high);
// The multiples of `step` within [low, high], ascending.
std::vector<double> isoline_levels(double low, double high, double step);

}  // namespace ba

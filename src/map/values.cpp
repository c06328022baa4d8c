#include "map/values.h"

#include <array>
#include <cmath>

namespace ba {

LeadValues beat_values(const ResultBeat& beat, double scale) {
  LeadValues values;
  for (int n = 1; n <= lead_point_count; ++n) values(n) = beat.areas(n) * scale;
  return values;
}

LeadValues mean_values(const std::vector<ResultBeat>& beats, double scale) {
  LeadValues sum;
  for (const ResultBeat& beat : beats)
    for (int n = 1; n <= lead_point_count; ++n) sum(n) += beat.areas(n);
  if (beats.empty()) return sum;
  for (int n = 1; n <= lead_point_count; ++n) sum(n) = sum(n) / beats.size() * scale;
  return sum;
}

LeadValues sd_values(const std::vector<ResultBeat>& beats, double scale) {
  LeadValues sd;
  if (beats.size() < 2) return sd;
  const LeadValues mean = mean_values(beats, 1.0);
  for (int n = 1; n <= lead_point_count; ++n) {
    double squares = 0;
    for (const ResultBeat& beat : beats)
      squares += (beat.areas(n) - mean(n)) * (beat.areas(n) - mean(n));
    sd(n) = std::sqrt(squares / (beats.size() - 1)) * std::abs(scale);
  }
  return sd;
}

LeadExtremes lead_extremes(const LeadValues& values, std::span<const int> leads) {
  LeadExtremes found;
  for (int n : leads) {
    if (found.max_lead == 0 || values(n) > found.max) {
      found.max = values(n);
      found.max_lead = n;
    }
    if (found.min_lead == 0 || values(n) < found.min) {
      found.min = values(n);
      found.min_lead = n;
    }
  }
  return found;
}

LeadExtremes lead_extremes(const LeadLayout& layout, const LeadValues& values) {
  std::vector<int> usable;
  for (int n = 1; n <= lead_point_count; ++n)
    if (layout.leads(n).usable()) usable.push_back(n);
  return lead_extremes(values, usable);
}

namespace {

constexpr int fewest_levels = 8;
constexpr int most_levels = 15;

// A level a rounding error beyond an end still counts (0.7 / 0.05 is
// 13.999... in binary).
constexpr double level_slack = 1e-9;

double first_multiple(double low, double step) { return std::ceil(low / step - level_slack); }
double last_multiple(double high, double step) { return std::floor(high / step + level_slack); }

long level_count(double low, double high, double step) {
  return static_cast<long>(last_multiple(high, step) - first_multiple(low, step)) + 1;
}

// How far a count lies outside 8..15, in levels.
long shortfall(long count) {
  return count < fewest_levels ? fewest_levels - count
                               : (count > most_levels ? count - most_levels : 0);
}

}  // namespace

std::optional<double> isoline_step(double low, double high) {
  if (!(high > low) || !std::isfinite(high - low)) return std::nullopt;
  // Start about a decade below the step that gives 10 levels and walk up the
  // series; the count falls monotonically as the step grows.
  double decade = std::pow(10.0, std::floor(std::log10((high - low) / 10)) - 1);
  std::optional<double> best;
  long best_shortfall = 0;
  for (int i = 0; i < 9; ++i) {
    const double step = decade * std::array{1.0, 2.0, 5.0}[i % 3];
    const long off = shortfall(level_count(low, high, step));
    if (!best || off < best_shortfall) {
      best = step;
      best_shortfall = off;
    }
    if (i % 3 == 2) decade *= 10;
  }
  return best;
}

std::vector<double> isoline_levels(double low, double high, double step) {
  std::vector<double> levels;
  if (!(step > 0)) return levels;
  const double last = last_multiple(high, step);
  for (double k = first_multiple(low, step); k <= last; ++k) levels.push_back(k * step);
  return levels;
}

}  // namespace ba

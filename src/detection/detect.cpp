#include <algorithm>
#include <cmath>

#include "detection/detection.h"
#include "dialogue/conditions.h"

namespace ba {

namespace {

// Edges of the picking search: a pick lies in samples 100..span_len - 100.
constexpr int search_margin = 100;
// Samples blanked around a pick: 100 before it, 200 after it.
constexpr int blank_before = 100;
constexpr int blank_after = 200;
// Starting values of the minimum searches; any real fall lies below them.
constexpr float search_start = 9999.0f;
constexpr float amp_start = -9999.0f;
// Samples of trace 1 that give the amplitude reference of the preview.
constexpr int amp_first = 100;
constexpr int amp_last = 1000;

// Traces, power curve and time axis over samples 1..span_len; power_slope
// starts at 0 everywhere in the span.
void fill_traces(const SampleMatrix& sample_matrix, const AnalysisConditions& conditions,
                 DetectionState& d) {
  const std::int16_t channels[displayed_trace_count] = {
      conditions.first_lead, conditions.second_lead, conditions.third_lead};
  for (int i = 1; i <= d.span_len; ++i) {
    d.time_axis(i) = static_cast<float>(i);
    for (int trace = 1; trace <= displayed_trace_count; ++trace)
      d.lead_traces(i, trace) = static_cast<float>(sample_matrix(channels[trace - 1], i));
    const double t1 = d.lead_traces(i, 1);
    const double t2 = d.lead_traces(i, 2);
    const double t3 = d.lead_traces(i, 3);
    // Summed in this order; exact in double, rounded once when stored.
    d.lead_power(i) = static_cast<float>(t2 * t2 + t1 * t1 + t3 * t3);
    d.power_slope(i) = 0.0f;
  }
}

void find_amp_max(DetectionState& d) {
  d.amp_max = amp_start;
  for (int i = amp_first; i <= amp_last; ++i)
    d.amp_max = std::max(d.amp_max, std::fabs(d.lead_traces(i, 1)));
}

// Five-point difference without scale factor; entries 1, 2 and the last
// three of the span stay 0.
void differentiate(DetectionState& d) {
  for (int i = 3; i <= d.span_len - 3; ++i) {
    const double ahead = 2.0 * d.lead_power(i + 1) + static_cast<double>(d.lead_power(i + 2));
    const double behind = 2.0 * d.lead_power(i - 1) + static_cast<double>(d.lead_power(i - 2));
    d.power_slope(i) = static_cast<float>(ahead - behind);
  }
}

void find_slope_min(DetectionState& d, std::int32_t reference_end) {
  d.slope_min = search_start;
  for (int i = 2; i <= reference_end; ++i)
    if (d.power_slope(i) < d.slope_min) d.slope_min = d.power_slope(i);
}

// The steepest remaining fall of the search range, earliest on ties. Kept
// as minima of fixed blocks so that a pick rescans only the blocks its
// blanking touched; the result is that of one ascending scan with a strict
// comparison. With r_ratio 0 (153 picks on the demonstration recording)
// command c takes about 6 ms with a full scan per pass, 2 ms with the blocks.
class FallSearch {
 public:
  explicit FallSearch(DetectionState& d)
      : d_(d), first_(search_margin), last_(d.span_len - search_margin) {
    for (int block = 0; first_ + block * block_len <= last_; ++block) rescan(block);
  }

  // peak_value and peak_pos as the ascending scan leaves them: peak_pos
  // keeps its value when nothing lies below the starting value.
  void pick() {
    d_.peak_value = search_start;
    for (int block = 0; block < block_count_; ++block) {
      if (block_min_[block] < d_.peak_value) {
        d_.peak_value = block_min_[block];
        d_.peak_pos = static_cast<std::int16_t>(block_pos_[block]);
      }
    }
  }

  // Zeroes samples peak_pos - 100 .. peak_pos + 200 that lie in the span.
  void blank() {
    const int from = std::max(1, d_.peak_pos - blank_before);
    const int to = std::min(d_.span_len, d_.peak_pos + blank_after);
    for (int j = from; j <= to; ++j) d_.power_slope(j) = 0.0f;
    const int first_block = std::max(0, (from - first_) / block_len);
    const int last_block = std::min(block_count_ - 1, (to - first_) / block_len);
    for (int block = first_block; block <= last_block; ++block) rescan(block);
  }

 private:
  static constexpr int block_len = 64;
  static constexpr int block_room = max_span / block_len + 1;

  void rescan(int block) {
    const int from = first_ + block * block_len;
    const int to = std::min(last_, from + block_len - 1);
    float low = search_start;
    int low_pos = 0;
    for (int i = from; i <= to; ++i) {
      if (d_.power_slope(i) < low) {
        low = d_.power_slope(i);
        low_pos = i;
      }
    }
    block_min_[block] = low;
    block_pos_[block] = low_pos;
    block_count_ = std::max(block_count_, block + 1);
  }

  DetectionState& d_;
  int first_;
  int last_;
  int block_count_ = 0;
  float block_min_[block_room] = {};
  int block_pos_[block_room] = {};
};

// The test before each pass: the previous pick (before the first pass,
// slope_min itself) lies strictly below r_ratio times slope_min.
bool previous_pick_passes(float r_ratio, const DetectionState& d) {
  return static_cast<double>(r_ratio) * d.slope_min > d.peak_value;
}

// Picks falls one after another while the previous pick passes, at most 199
// of them.
void pick_candidates(float r_ratio, DetectionState& d) {
  d.r_positions.fill(0);
  d.peak_value = d.slope_min;
  FallSearch search(d);
  for (int k = 1; k < candidate_slots && previous_pick_passes(r_ratio, d); ++k) {
    search.pick();
    d.r_positions(k) = d.peak_pos;
    search.blank();
  }
}

}  // namespace

void detect(const SampleMatrix& sample_matrix, const AnalysisConditions& conditions,
            std::int32_t span_len, std::int32_t reference_end, bool preview,
            DetectionState& detection) {
  detection.span_len = span_len;
  fill_traces(sample_matrix, conditions, detection);
  if (preview) find_amp_max(detection);
  differentiate(detection);
  find_slope_min(detection, reference_end);
  pick_candidates(conditions.r_ratio, detection);
}

void sort_candidates(DetectionState& detection) {
  Array1<std::int16_t, candidate_slots> work = detection.r_positions;
  for (int m = 1; m <= candidate_slots; ++m) {
    std::int16_t largest = 0;
    int largest_at = 1;
    // Greater or equal: among equal values the last entry is taken.
    for (int i = 1; i <= candidate_slots; ++i) {
      if (work(i) >= largest) {
        largest = work(i);
        largest_at = i;
      }
    }
    detection.beat_positions(m) = largest;
    work(largest_at) = 0;
  }
}

void count_candidates(DetectionState& detection) {
  detection.n_candidates = 0;
  while (detection.n_candidates < candidate_slots &&
         detection.beat_positions(detection.n_candidates + 1) != 0)
    ++detection.n_candidates;
}

}  // namespace ba

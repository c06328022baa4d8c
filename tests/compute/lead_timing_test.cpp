// Per-lead measures of a beat: the area split at J and the activation and
// recovery times, on shapes laid by hand and on the demonstration model
// against its noise-free heart signal.

#include "compute/lead_timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "runtime/large_block.h"
#include "tools/demo_model.h"

namespace ba {
namespace {

struct Recording {
  LargePtr<SampleMatrix> matrix = make_large<SampleMatrix>();
  std::int16_t& at(long lead, std::int32_t t) { return (*matrix)(lead + lead_channel_offset, t); }
  void fill(long lead, std::int32_t from, std::int32_t to, std::int16_t value) {
    for (std::int32_t t = from; t <= to; ++t) at(lead, t) = value;
  }
  // Adds a wave whose steps from one sample to the next form a tent of whole
  // units: `peak` into `centre` and out of it, one unit less each ms to
  // either side, negative when falling. The samples are whole and the tent
  // is symmetric about `centre`, so its steepest slope lies there exactly.
  void tent(long lead, std::int32_t centre, int peak, bool falling) {
    int level = 0;
    for (std::int32_t t = centre - peak; t <= 3000; ++t) {
      const int distance = t <= centre ? centre - t : t - centre - 1;
      level += std::max(0, peak - distance) * (falling ? -1 : 1);
      at(lead, t) = static_cast<std::int16_t>(at(lead, t) + level);
    }
  }
};

// R at 1000; PQ point 940, Q start 960, J 1040, T end 1300.
constexpr std::int32_t r = 1000;
constexpr LeadWindow window{940, 960, 1040, 1300};

TEST(LeadTiming, AreasSplitAtJ) {
  Recording rec;
  rec.fill(1, 960, 1300, 200);  // 80 QRS samples, 261 ST-T ones
  rec.fill(2, 960, 1300, 3);
  rec.at(3, 940) = 50;  // the baseline; -150 against it in the QRS, -50 in the ST-T
  rec.fill(3, 960, 1039, -100);
  const struct {
    const char* label;
    long lead;
    LeadWindow window;
    std::int32_t qrst, qrs, stt;
  } rows[] = {
      {"a plateau: 16,000 and 52,200 over 200", 1, window, 341, 80, 261},
      {"each part truncated: 1 + 3 against 1,023 / 200 = 5", 2, window, 5, 1, 3},
      {"negative parts truncate toward zero", 3, window, -125, -60, -65},
      {"J at the Q start: all of it ST-T", 1, {940, 960, 960, 1300}, 341, 0, 341},
      {"J after the T end: all of it QRS", 1, {940, 960, 1301, 1300}, 341, 341, 0},
      {"T end before the Q start: nothing summed", 1, {940, 1300, 1300, 960}, 0, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    const BeatLeads beat = measure_leads(*rec.matrix, row.window, r);
    EXPECT_EQ(beat.r_ms, r);
    EXPECT_EQ(beat.qrst_area(row.lead), row.qrst);
    EXPECT_EQ(beat.qrs_area(row.lead), row.qrs);
    EXPECT_EQ(beat.stt_area(row.lead), row.stt);
  }
}

TEST(LeadTiming, SteepestSlopesAndUntimedLeads) {
  Recording rec;
  const std::optional<std::int32_t> none;
  // Each lead: QRS downslope, then the T wave's slopes; centres are samples.
  struct Slope {
    std::int32_t centre;
    int peak;  // units per ms
    bool falling;
  };
  const struct {
    const char* label;
    std::vector<Slope> slopes;
    std::optional<std::int32_t> at, rt;  // ms from R
  } rows[] = {
      {"upright T: its upslope before the peak",
       {{1008, 40, true}, {1190, 12, false}, {1260, 12, true}},
       8,
       190},
      {"inverted T: its upslope after the trough",
       {{1008, 40, true}, {1190, 12, true}, {1250, 12, false}},
       8,
       250},
      {"the steeper of two downslopes",
       {{985, 20, true}, {1015, 30, true}, {1190, 12, false}},
       15,
       190},
      {"slopes too small to time", {{1008, 1, true}, {1190, 1, false}}, none, none},
      {"steepest where the windows begin: only flanks inside",
       {{958, 40, true}, {1040, 12, false}},
       none,
       none},
      {"steepest at the T end", {{1008, 40, true}, {1300, 12, false}}, 8, none},
  };
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    SCOPED_TRACE(rows[k].label);
    const long lead = static_cast<long>(k) + 1;
    for (const Slope& s : rows[k].slopes) rec.tent(lead, s.centre, s.peak, s.falling);
    const BeatLeads beat = measure_leads(*rec.matrix, window, r);
    EXPECT_EQ(beat.at_ms(lead), rows[k].at);
    EXPECT_EQ(beat.rt_ms(lead), rows[k].rt);
  }
}

// The demonstration recording against its noise-free heart signal, with
// the points of the scripted sessions (PQ -71, Q start -46, T end 379 ms
// from R) on every normal beat. The model's S wave ends (three of its fall
// widths past its centre) 49 ms after R: the true J. Truth per lead is the
// steepest slope of the heart signal alone (no drift, hum or noise) over the
// same windows at the true J, every beat having the same time course.
struct Demo {
  static constexpr std::int32_t pq = -71, q = -46, t_end = 379, true_j = 49;
  demo::DemoModel model;
  LargePtr<SampleMatrix> matrix = make_large<SampleMatrix>();
  Demo() { unpack_recording(model.recording_bytes(), *matrix); }

  std::vector<std::int32_t> normal_beats() const {
    std::vector<std::int32_t> beats;
    for (const demo::Beat& b : model.beats())
      if (b.kind == demo::BeatKind::normal && b.r + pq >= 1 && b.r + t_end <= recorded_samples)
        beats.push_back(b.r);
    return beats;
  }

  // The noise-free steepest slope over [from, to] ms from R of a lead at the
  // beat with R at `beat_r`, when it is clear: well above the least slope
  // timed, inside the window, and a quarter steeper than the steepest of the
  // window's other local extremes. Its time in ms from R.
  std::optional<std::int32_t> truth(long lead, std::int32_t beat_r, std::int32_t from,
                                    std::int32_t to, bool rising, float least) const {
    const int channel = static_cast<int>(lead) + lead_channel_offset;
    std::vector<double> d;
    for (std::int32_t t = from; t <= to; ++t)
      d.push_back((rising ? 1 : -1) *
                  (model.heart_value(channel, beat_r + t + 1) -
                   model.heart_value(channel, beat_r + t - 1)) /
                  2.0);
    const auto best = std::max_element(d.begin(), d.end());
    const auto at = static_cast<std::int32_t>(best - d.begin());
    double other = 0;  // the steepest of the other local extremes
    for (std::size_t k = 1; k + 1 < d.size(); ++k)
      if (d[k] >= d[k - 1] && d[k] > d[k + 1] && k != static_cast<std::size_t>(at))
        other = std::max(other, d[k]);
    if (*best < 4 * least || at == 0 || from + at == to || other * 1.25 > *best) return {};
    return from + at;
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}
double percentile95(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[(v.size() * 95) / 100];
}

TEST(LeadTiming, DemonstrationAgainstTheNoiseFreeSignal) {
  const Demo d;
  const std::int32_t pq = Demo::pq, q = Demo::q, t_end = Demo::t_end, true_j = Demo::true_j;
  const std::vector<std::int32_t> beats = d.normal_beats();
  // The beat the scripted sessions take for reference, at its true R.
  std::int32_t reference = 0;
  for (std::int32_t b : beats)
    if (std::abs(b - 1387) < std::abs(reference - 1387)) reference = b;
  const std::int32_t proposed_j =
      propose_j(*d.matrix, reference + q, reference + t_end) - reference;
  std::vector<double> at_error, rt_error, qrs_change, stt_change;
  int timed_cells = 0, empty_cells = 0;
  std::vector<BeatLeads> at_proposed, at_true;
  for (std::int32_t b : beats) {
    at_proposed.push_back(measure_leads(*d.matrix, {b + pq, b + q, b + proposed_j, b + t_end}, b));
    at_true.push_back(measure_leads(*d.matrix, {b + pq, b + q, b + true_j, b + t_end}, b));
  }
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    const auto at_truth = d.truth(lead, reference, q, true_j, false, least_qrs_slope);
    // The T wave's slopes from 10 ms past the true J, where the S wave's
    // return has faded.
    const auto rt_truth = d.truth(lead, reference, true_j + 10, t_end, true, least_stt_slope);
    const bool at_clear = at_truth.has_value();
    const bool rt_clear = rt_truth.has_value();
    double at_sum = 0, rt_sum = 0;
    int at_n = 0, rt_n = 0;
    for (std::size_t k = 0; k < beats.size(); ++k) {
      const BeatLeads& m = at_proposed[k];
      if (m.at_ms(lead)) at_sum += *m.at_ms(lead), ++at_n;
      if (m.rt_ms(lead)) rt_sum += *m.rt_ms(lead), ++rt_n;
      if (at_clear) (m.at_ms(lead) ? timed_cells : empty_cells) += 1;
      if (rt_clear) (m.rt_ms(lead) ? timed_cells : empty_cells) += 1;
      const BeatLeads& t = at_true[k];
      if (std::abs(t.qrs_area(lead)) >= 20)
        qrs_change.push_back(std::abs(m.qrs_area(lead) - t.qrs_area(lead)) /
                             std::abs(static_cast<double>(t.qrs_area(lead))));
      if (std::abs(t.stt_area(lead)) >= 20)
        stt_change.push_back(std::abs(m.stt_area(lead) - t.stt_area(lead)) /
                             std::abs(static_cast<double>(t.stt_area(lead))));
    }
    if (at_clear && at_n > 0) at_error.push_back(std::abs(at_sum / at_n - *at_truth));
    if (rt_clear && rt_n > 0) rt_error.push_back(std::abs(rt_sum / rt_n - *rt_truth));
  }
  std::printf(
      "J proposed at %d ms (true %d); AT: %zu clear leads, median |error| %.2f ms, 95th %.2f ms; "
      "RT: %zu clear leads, median %.2f ms, 95th %.2f ms; empty cells %d of %d; area change at "
      "the proposed J: QRS median %.2f%%, ST-T median %.2f%%\n",
      proposed_j, true_j, at_error.size(), median(at_error), percentile95(at_error),
      rt_error.size(), median(rt_error), percentile95(rt_error), empty_cells,
      empty_cells + timed_cells, 100 * median(qrs_change), 100 * median(stt_change));
  EXPECT_GE(at_error.size(), 48u);
  EXPECT_GE(rt_error.size(), 16u);
  EXPECT_LE(median(at_error), 4.0);
  EXPECT_LE(percentile95(at_error), 10.0);
  EXPECT_LE(median(rt_error), 4.0);
  EXPECT_LE(percentile95(rt_error), 10.0);
  EXPECT_LE(10 * empty_cells, empty_cells + timed_cells);
  EXPECT_LE(median(qrs_change), 0.02);
  EXPECT_LE(median(stt_change), 0.02);
}

}  // namespace
}  // namespace ba

#include "compute/lead_timing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "compute/compute.h"

namespace ba {

namespace {

// The slopes are differences across a span centred on the sample, which is
// the first difference averaged over the span: white noise shrinks with the
// span while a symmetric span does not move the time of the steepest slope.
// Depolarisation waves last a few tens of ms, so the QRS span is short (4
// ms); the T wave is slower, and its span of 20 ms is also one whole mains
// period at 50 Hz, which cancels the hum a small T slope would drown in.
constexpr std::int32_t qrs_half_span = 2;   // samples (ms)
constexpr std::int32_t stt_half_span = 10;  // samples (ms)
// The J point is sought on slopes over 8 ms: all 64 leads add their noise
// to the spatial velocity, and the QRS's fall is still resolved to a few ms.
constexpr std::int32_t j_half_span = 4;
// The spatial velocity has fallen back to the ST segment when it is within
// this share of the QRS peak's height above the segment's level.
constexpr float j_share_of_peak = 0.05f;

using LeadSums = std::array<std::int32_t, lead_point_count>;  // leads 1..64 at 0..63

// The frames of the 64 mapping leads over [first, last], copied from the
// matrix (which keeps a frame's channels together) so that the loops below
// work on all leads of one frame at once. Positions outside the recording
// read its first or last sample.
class BeatFrames {
 public:
  BeatFrames(const SampleMatrix& m, std::int32_t first, std::int32_t last) : first_(first) {
    frames_.reserve(static_cast<std::size_t>(std::max(last - first + 1, 0)));
    for (std::int32_t t = first; t <= last; ++t) {
      const std::int32_t inside = std::clamp<std::int32_t>(t, 1, recorded_samples);
      LeadSums& frame = frames_.emplace_back();
      for (long lead = 1; lead <= lead_point_count; ++lead)
        frame[static_cast<std::size_t>(lead - 1)] = m(lead + lead_channel_offset, inside);
    }
  }
  const LeadSums& operator[](std::int32_t t) const {
    return frames_[static_cast<std::size_t>(t - first_)];
  }

 private:
  std::int32_t first_;
  std::vector<LeadSums> frames_;
};

// Per lead the time of the most extreme slope over [from, to] (the most
// negative, or with `rising` the most positive), or nothing when it is too
// small or lies on the first or last sample: then the steepest part of the
// wave lies outside the window and this is only its flank. Compared as rises
// across the span, whole units, and turned into units per ms once.
using LeadTimes = Array1<std::optional<std::int32_t>, lead_point_count>;
LeadTimes steepest(const BeatFrames& frames, std::int32_t from, std::int32_t to,
                   std::int32_t half_span, bool rising, float least) {
  LeadTimes times;
  if (to - from < 2) return times;
  const std::int32_t sign = rising ? 1 : -1;
  LeadSums best{};
  LeadSums best_t{};
  best.fill(std::numeric_limits<std::int32_t>::min());
  for (std::int32_t t = from; t <= to; ++t) {
    const LeadSums& later = frames[t + half_span];
    const LeadSums& earlier = frames[t - half_span];
    // Selections, not branches: the 64 leads go through together.
    for (std::size_t n = 0; n < best.size(); ++n) {
      const std::int32_t rise = sign * (later[n] - earlier[n]);
      const bool steeper = rise > best[n];
      best[n] = steeper ? rise : best[n];
      best_t[n] = steeper ? t : best_t[n];
    }
  }
  for (std::size_t n = 0; n < best.size(); ++n) {
    const float per_ms = static_cast<float>(best[n]) / static_cast<float>(2 * half_span);
    if (per_ms >= least && best_t[n] != from && best_t[n] != to)
      times(static_cast<long>(n) + 1) = best_t[n];
  }
  return times;
}

}  // namespace

BeatLeads measure_leads(const SampleMatrix& m, const LeadWindow& w, std::int32_t r) {
  BeatLeads beat;
  beat.r_ms = r;
  const std::int32_t reach = std::max(qrs_half_span, stt_half_span);
  const BeatFrames frames(m, std::min({w.pq, w.q, w.j}) - reach,
                          std::max({w.pq, w.j, w.t}) + reach);
  const LeadSums& baseline = frames[w.pq];
  // Sums as the QRST area's: at most 32,000 terms of at most 65,535.
  LeadSums qrs{};
  LeadSums stt{};
  for (std::int32_t t = w.q; t <= w.t; ++t) {
    LeadSums& sum = t < w.j ? qrs : stt;
    const LeadSums& frame = frames[t];
    for (std::size_t n = 0; n < sum.size(); ++n) sum[n] += frame[n] - baseline[n];
  }
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    const auto n = static_cast<std::size_t>(lead - 1);
    beat.qrs_area(lead) = scaled_area(qrs[n]);
    beat.stt_area(lead) = scaled_area(stt[n]);
    beat.qrst_area(lead) = scaled_area(qrs[n] + stt[n]);
  }
  if (w.t < w.q) return beat;
  const LeadTimes at = steepest(frames, w.q, w.j, qrs_half_span, false, least_qrs_slope);
  // The ST-T's slopes start a half span after J, where their span no
  // longer reaches back into the QRS's last, steep return to baseline.
  const LeadTimes rt =
      steepest(frames, w.j + stt_half_span, w.t, stt_half_span, true, least_stt_slope);
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    if (at(lead)) beat.at_ms(lead) = *at(lead) - r;
    if (rt(lead)) beat.rt_ms(lead) = *rt(lead) - r;
  }
  return beat;
}

std::int32_t propose_j(const SampleMatrix& m, std::int32_t q, std::int32_t t) {
  if (t <= q) return q;
  const BeatFrames frames(m, q - j_half_span, t + j_half_span);
  std::vector<float> velocity;  // units per ms, index 0 = sample q
  for (std::int32_t s = q; s <= t; ++s) {
    const LeadSums& later = frames[s + j_half_span];
    const LeadSums& earlier = frames[s - j_half_span];
    double sum = 0.0;
    for (std::size_t n = 0; n < later.size(); ++n) {
      const double rise = later[n] - earlier[n];
      sum += rise * rise;
    }
    velocity.push_back(static_cast<float>(std::sqrt(sum) / (2 * j_half_span)));
  }
  const auto peak = std::max_element(velocity.begin(), velocity.end());
  // The ST segment's level: the median over the second quarter of what
  // follows the peak, past the QRS and before the T wave's steep parts.
  const auto rest = velocity.end() - peak;
  std::vector<float> segment(peak + rest / 4, peak + rest / 2);
  if (segment.empty()) return t;
  std::nth_element(segment.begin(), segment.begin() + segment.size() / 2, segment.end());
  const float level = segment[segment.size() / 2];
  const float fallen = level + j_share_of_peak * (*peak - level);
  // Sought backward from the segment, so that a dip between two phases of
  // the QRS is not taken for its end.
  auto j = peak + rest / 4;
  while (j > peak && *(j - 1) <= fallen) --j;
  return q + static_cast<std::int32_t>(j - velocity.begin());
}

}  // namespace ba

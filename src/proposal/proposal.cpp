// The proposal works on all 64 mapping leads at once and on the mean of the
// beats alike, never on one lead or one beat:
// - beats are found and aligned on the spatial velocity (root sum of squares
//   of the leads' first differences), which peaks in every QRS whatever its
//   axis;
// - the reference is the preview beat most like the others (highest median
//   64-lead correlation of the QRS);
// - Q start and J are where the mean beat's spatial velocity leaves and
//   returns to its floor in the PR segment;
// - the PQ point is the middle of the quietest stretch of the PR segment,
//   kept clear of Q start, so the one-sample baseline of the areas sits on a
//   flat part;
// - baseline wander is removed per beat and lead by a straight line through
//   the PQ levels of that beat and the next, and T end is where the spatial
//   RMS against that baseline falls back to its lowest level before the
//   next P wave (what wander the lines leave raises that level); the
//   tangent at its steepest descent is the second opinion only, because on a
//   wave that meets the baseline smoothly it ends early by about a fifth of
//   the wave's fall (published: -8 +- 16 ms against experts).
// Doubt is raised only from measured facts: noise in the PR segment, the
// share of beats alike, the two T end methods or the odd and even beats
// apart, a T wave near the noise, and how much the mean map moves within
// the T end's doubt.

#include "proposal/proposal.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <numeric>
#include <optional>

#include "detection/detection.h"
#include "dialogue/conditions.h"
#include "runtime/large_block.h"

namespace ba {

namespace {

namespace k = proposal_constants;

constexpr int leads = lead_point_count;
constexpr int window_len = k::window_to_ms - k::window_from_ms + 1;
constexpr int window_zero = -k::window_from_ms;  // index of the fiducial in a window

// The 64 mapping leads of the sample matrix: lead l (0-based) at position p
// (1-based); the leads of one position lie together.
struct LeadSamples {
  const std::int16_t* values;
  // The 64 leads at one position.
  const std::int16_t* row(int position) const {
    return values + static_cast<std::size_t>(position - 1) * channel_count + lead_channel_offset;
  }
  float at(int position, int lead) const {
    return values[static_cast<std::size_t>(position - 1) * channel_count +
                  static_cast<std::size_t>(lead + lead_channel_offset)];
  }
};

LeadSamples lead_samples(const SampleMatrix& m) { return {&m(1, 1)}; }

std::vector<float> moving_mean(const std::vector<float>& x, int width) {
  const int half = width / 2;
  const int n = static_cast<int>(x.size());
  std::vector<float> out(x.size());
  double sum = 0.0;
  int count = 0;
  for (int i = -half; i < n; ++i) {
    if (i + half < n) {
      sum += x[static_cast<std::size_t>(i + half)];
      ++count;
    }
    if (i - half - 1 >= 0) {
      sum -= x[static_cast<std::size_t>(i - half - 1)];
      --count;
    }
    if (i >= 0) out[static_cast<std::size_t>(i)] = static_cast<float>(sum / count);
  }
  return out;
}

// Spatial velocity of the recording: |x(t+h) - x(t-h)| / 2h over the leads,
// units per ms; index p - 1 for position p.
std::vector<float> spatial_velocity(const LeadSamples& s) {
  constexpr int h = k::beat_difference_ms;
  std::vector<float> v(recorded_samples, 0.0f);
  for (int p = 1 + h; p <= recorded_samples - h; ++p) {
    // Whole recorder units: the sum of squares is exact in 64 bits.
    const std::int16_t* after = s.row(p + h);
    const std::int16_t* before = s.row(p - h);
    std::int64_t sum = 0;
    for (int l = 0; l < leads; ++l) {
      const std::int32_t d = after[l] - before[l];
      sum += d * d;
    }
    v[static_cast<std::size_t>(p - 1)] =
        static_cast<float>(std::sqrt(static_cast<double>(sum)) / (2.0 * h));
  }
  return moving_mean(v, k::smoothing_ms);
}

float percentile(std::vector<float> x, double share) {
  if (x.empty()) return 0.0f;
  const auto at = static_cast<std::size_t>(share * static_cast<double>(x.size() - 1));
  std::nth_element(x.begin(), x.begin() + static_cast<long>(at), x.end());
  return x[at];
}

// One position per beat: the peak of the spatial velocity smoothed over a
// QRS, which has one hump where the velocity itself may have two alike (the
// R upstroke and the S) and would pick either from beat to beat.
std::vector<int> find_beats(const std::vector<float>& velocity) {
  const auto sv = moving_mean(velocity, k::qrs_hump_ms);
  std::vector<int> beats;
  // Noise and hum give every lead a slope all the time: the level is taken
  // above the recording's typical velocity, not above zero.
  const float typical = percentile(sv, 0.5);
  const float level = typical + k::beat_level * (percentile(sv, 0.995) - typical);
  if (!(level > 0.0f)) return beats;
  int p = 1;
  while (p <= recorded_samples) {
    if (sv[static_cast<std::size_t>(p - 1)] <= level) {
      ++p;
      continue;
    }
    int best = p;
    const int end = std::min(recorded_samples, p + k::refractory_ms / 2);
    for (int q = p; q <= end; ++q)
      if (sv[static_cast<std::size_t>(q - 1)] > sv[static_cast<std::size_t>(best - 1)]) best = q;
    beats.push_back(best);
    p = best + k::refractory_ms;
  }
  return beats;
}

bool window_inside(int fiducial) {
  return fiducial + k::window_from_ms - k::align_shift_ms >= 2 &&
         fiducial + k::window_to_ms + k::align_shift_ms <= recorded_samples - 1;
}

// Pearson correlation of the spatial velocity around two beats; the shift of
// `other` that matches `reference` best.
int best_shift(const std::vector<float>& sv, int reference, int other) {
  int best = 0;
  double best_r = -2.0;
  const int n = k::shape_to_ms - k::shape_from_ms + 1;
  for (int s = -k::align_shift_ms; s <= k::align_shift_ms; ++s) {
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int t = k::shape_from_ms; t <= k::shape_to_ms; ++t) {
      const double x = sv[static_cast<std::size_t>(reference + t - 1)];
      const double y = sv[static_cast<std::size_t>(other + s + t - 1)];
      sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
    }
    const double cov = sxy - sx * sy / n;
    const double var = (sxx - sx * sx / n) * (syy - sy * sy / n);
    const double r = var > 0.0 ? cov / std::sqrt(var) : -1.0;
    if (r > best_r) {
      best_r = r;
      best = s;
    }
  }
  return best;
}

// 64-lead correlation of the QRS of two aligned beats, each lead's mean over
// the stretch removed (so wander does not count).
float shape_correlation(const LeadSamples& s, int a, int b) {
  // Per lead sums of whole recorder units, exact in 64 bits; each lead's
  // mean is taken out at the end (sum of x y - sum x sum y / n).
  const int n = k::shape_to_ms - k::shape_from_ms + 1;
  std::array<std::int64_t, leads> sa{}, sb{}, saa{}, sbb{}, sab{};
  for (int t = k::shape_from_ms; t <= k::shape_to_ms; ++t) {
    const std::int16_t* x = s.row(a + t);
    const std::int16_t* y = s.row(b + t);
    for (std::size_t l = 0; l < leads; ++l) {
      const std::int32_t xl = x[l], yl = y[l];
      sa[l] += xl, sb[l] += yl;
      saa[l] += xl * xl, sbb[l] += yl * yl, sab[l] += xl * yl;
    }
  }
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t l = 0; l < leads; ++l) {
    const double ma = static_cast<double>(sa[l]), mb = static_cast<double>(sb[l]);
    sxy += static_cast<double>(sab[l]) - ma * mb / n;
    sxx += static_cast<double>(saa[l]) - ma * ma / n;
    syy += static_cast<double>(sbb[l]) - mb * mb / n;
  }
  return sxx > 0 && syy > 0 ? static_cast<float>(sxy / std::sqrt(sxx * syy)) : 0.0f;
}

// The preview beats a reference may be (R in 201..3000 ms), as detection
// shows them with the given leads and ratio.
std::vector<int> preview_candidates(const SampleMatrix& m, const ProposalOptions& o) {
  AnalysisConditions conditions;
  conditions.first_lead = static_cast<std::int16_t>(o.leads[0] + lead_channel_offset);
  conditions.second_lead = static_cast<std::int16_t>(o.leads[1] + lead_channel_offset);
  conditions.third_lead = static_cast<std::int16_t>(o.leads[2] + lead_channel_offset);
  conditions.r_ratio = o.ratio;
  auto detection = make_large<DetectionState>();
  detect(m, conditions, preview_span, preview_reference_end, true, *detection);
  sort_candidates(*detection);
  count_candidates(*detection);
  std::vector<int> found;
  if (detection->amp_max == 0.0f) return found;
  for (long i = 1; i <= detection->n_candidates; ++i) {
    const int r = detection->beat_positions(i);
    if (r >= 201 && r <= 3000) found.push_back(r);
  }
  return found;
}

// A mean beat: window_len positions x 64 leads, relative to the fiducial.
using MeanBeat = std::vector<float>;

float cell(const MeanBeat& b, int i, int l) {
  return b[static_cast<std::size_t>(i) * leads + static_cast<std::size_t>(l)];
}

// Per beat and lead, the baseline to subtract at window index i: nothing
// (when `levels` is empty) or the straight line through the beat's PQ level
// and the next beat's.
struct Baselines {
  std::vector<std::array<float, leads>> levels;  // per beat of `fiducials`
  std::vector<int> positions;                    // where each level was taken
};

MeanBeat mean_beat(const LeadSamples& s, const std::vector<int>& fiducials,
                   const std::vector<std::size_t>& chosen, const Baselines& base) {
  MeanBeat sum(static_cast<std::size_t>(window_len) * leads, 0.0f);
  const bool lined = !base.levels.empty();
  std::array<float, leads> start{}, rise{};  // the beat's baseline: start + w * rise
  for (std::size_t b : chosen) {
    const int f = fiducials[b];
    const bool next = lined && b + 1 < fiducials.size();
    if (lined) {
      for (std::size_t l = 0; l < leads; ++l) {
        start[l] = base.levels[b][l];
        rise[l] = next ? base.levels[b + 1][l] - start[l] : 0.0f;
      }
    }
    for (int i = 0; i < window_len; ++i) {
      const int p = f + k::window_from_ms + i;
      float w = 0.0f;
      if (next) {
        const int p0 = base.positions[b];
        const int p1 = base.positions[b + 1];
        w = std::clamp(static_cast<float>(p - p0) / static_cast<float>(p1 - p0), -1.0f, 2.0f);
      }
      const std::int16_t* x = s.row(p);
      float* out = &sum[static_cast<std::size_t>(i) * leads];
      for (std::size_t l = 0; l < leads; ++l)
        out[l] += static_cast<float>(x[l]) - (start[l] + w * rise[l]);
    }
  }
  const float n = static_cast<float>(chosen.size());
  for (float& v : sum) v /= n;
  return sum;
}

std::vector<float> beat_velocity(const MeanBeat& b) {
  std::vector<float> v(window_len, 0.0f);
  for (int i = 1; i + 1 < window_len; ++i) {
    double sum = 0.0;
    for (int l = 0; l < leads; ++l) {
      const double d = 0.5 * (cell(b, i + 1, l) - cell(b, i - 1, l));
      sum += d * d;
    }
    v[static_cast<std::size_t>(i)] = static_cast<float>(std::sqrt(sum));
  }
  v.front() = v[1];
  v.back() = v[static_cast<std::size_t>(window_len - 2)];
  return moving_mean(v, k::smoothing_ms);
}

float mean_over(const std::vector<float>& x, int from, int count) {
  double sum = 0.0;
  for (int i = from; i < from + count; ++i) sum += x[static_cast<std::size_t>(i)];
  return static_cast<float>(sum / count);
}

// Window indices of the points of one mean beat.
struct QrsPoints {
  int q = 0, j = 0, pq = 0;  // pq: first index of the quiet PQ stretch
  int p_start = 0;           // where the P wave before the PQ stretch starts
};

std::optional<QrsPoints> qrs_points(const MeanBeat& b) {
  const auto sv = beat_velocity(b);
  int peak = window_zero;
  for (int i = window_zero - k::qrs_peak_reach_ms; i <= window_zero + k::qrs_peak_reach_ms; ++i)
    if (sv[static_cast<std::size_t>(i)] > sv[static_cast<std::size_t>(peak)]) peak = i;
  float floor = sv[static_cast<std::size_t>(peak)];
  for (int i = peak - k::floor_search_ms; i + k::floor_window_ms <= peak - k::pq_gap_ms; ++i)
    if (i >= 0) floor = std::min(floor, mean_over(sv, i, k::floor_window_ms));
  const float rise = sv[static_cast<std::size_t>(peak)] - floor;
  if (!(rise > 0.0f)) return std::nullopt;
  QrsPoints p;
  // Q start: the last crossing of the level before a quiet stretch; J: the
  // first crossing after the peak followed by one.
  const auto quiet = [&](int from, int step, float level) {
    for (int i = from, run = 0;; i += step) {
      if (i < 0 || i >= window_len) return std::clamp(i - step * run, 0, window_len - 1);
      if (sv[static_cast<std::size_t>(i)] <= level) {
        if (++run >= k::quiet_ms) return i - step * (run - 1);
      } else {
        run = 0;
      }
    }
  };
  p.q = quiet(peak, -1, floor + k::q_fraction * rise);
  p.j = quiet(peak, 1, floor + k::j_fraction * rise);
  // The quietest stretch of the PR segment: least mean velocity.
  const int last = p.q - k::pq_gap_ms - k::pq_window_ms;
  const int first = std::max(1, p.q - k::pq_reach_ms);
  if (last < first) return std::nullopt;
  p.pq = last;
  float quietest = mean_over(sv, last, k::pq_window_ms);
  for (int i = last - 1; i >= first; --i) {
    const float m = mean_over(sv, i, k::pq_window_ms);
    if (m < quietest) {
      quietest = m;
      p.pq = i;
    }
  }
  // P start: back over the P wave to the next quiet stretch; none when no P
  // wave stands out close enough before the PQ stretch (the previous T wave
  // lies further).
  const float p_level = floor + k::q_fraction * rise;
  const int p_reach = std::max(0, p.pq - k::p_reach_ms);
  int i = p.pq;
  while (i > p_reach && sv[static_cast<std::size_t>(i)] <= p_level) --i;
  p.p_start = i > p_reach ? std::max(p_reach, quiet(i, -1, p_level)) : p.pq;
  return p;
}

// Spatial RMS of a baseline-corrected mean beat against its PQ level.
std::vector<float> spatial_rms(const MeanBeat& b, int pq_first) {
  std::array<float, leads> level{};
  for (int l = 0; l < leads; ++l) {
    double sum = 0.0;
    for (int i = pq_first; i < pq_first + k::pq_window_ms; ++i) sum += cell(b, i, l);
    level[static_cast<std::size_t>(l)] = static_cast<float>(sum / k::pq_window_ms);
  }
  std::vector<float> r(window_len);
  for (int i = 0; i < window_len; ++i) {
    double sum = 0.0;
    for (int l = 0; l < leads; ++l) {
      const double d = cell(b, i, l) - level[static_cast<std::size_t>(l)];
      sum += d * d;
    }
    r[static_cast<std::size_t>(i)] = static_cast<float>(std::sqrt(sum / leads));
  }
  return moving_mean(r, k::rms_smoothing_ms);
}

struct TEnd {
  int threshold = 0;  // window index where the RMS meets its PR level
  int tangent = 0;    // window index where the steepest descent's tangent does
  float peak_uv = 0.0f;
  float floor_uv = 0.0f;
  bool found = false;  // the RMS came down before `limit`
};

TEnd t_end(const std::vector<float>& rms, int j, int pq_first, int limit) {
  TEnd t;
  t.floor_uv = mean_over(rms, pq_first, k::pq_window_ms);
  int peak = j + k::t_after_j_ms;
  limit = std::min(limit, window_len - 2);
  if (peak >= limit) return t;
  for (int i = peak; i <= limit; ++i)
    if (rms[static_cast<std::size_t>(i)] > rms[static_cast<std::size_t>(peak)]) peak = i;
  t.peak_uv = rms[static_cast<std::size_t>(peak)];
  // What wander the PQ baselines leave in the TP segment raises the floor
  // there: T has ended where the RMS comes down to its lowest before the
  // next P wave, if that lies above the PR segment's level.
  t.floor_uv = std::max(t.floor_uv, *std::min_element(rms.begin() + peak, rms.begin() + limit + 1));
  const float drop = t.peak_uv - t.floor_uv;
  const float level = t.floor_uv + k::t_fraction * drop;
  int end = peak;
  while (end < limit && rms[static_cast<std::size_t>(end)] > level) ++end;
  t.threshold = end;
  t.found = end < limit;
  int steepest = peak;
  float slope = 0.0f;
  for (int i = peak + 1; i < end; ++i) {
    const float d = rms[static_cast<std::size_t>(i + 1)] - rms[static_cast<std::size_t>(i - 1)];
    if (d < slope) {
      slope = d;
      steepest = i;
    }
  }
  t.tangent = slope < 0.0f ? steepest + static_cast<int>(std::lround(
                                            (rms[static_cast<std::size_t>(steepest)] - t.floor_uv) /
                                            (-0.5f * slope)))
                           : end;
  return t;
}

// PQ levels of every beat at the PQ stretch (window index pq_first on).
Baselines pq_levels(const LeadSamples& s, const std::vector<int>& fiducials, int pq_first) {
  Baselines base;
  for (int f : fiducials) {
    std::array<float, leads> level{};
    const int from = f + k::window_from_ms + pq_first;
    for (int l = 0; l < leads; ++l) {
      double sum = 0.0;
      for (int p = std::max(1, from); p < std::max(1, from) + k::pq_window_ms; ++p)
        sum += s.at(std::min(p, recorded_samples), l);
      level[static_cast<std::size_t>(l)] = static_cast<float>(sum / k::pq_window_ms);
    }
    base.levels.push_back(level);
    base.positions.push_back(from + k::pq_window_ms / 2);
  }
  return base;
}

// RMS of what is left of each chosen beat in the PQ stretch after the mean
// beat and the beat's own level are taken away: noise and hum, per lead.
float pr_noise(const LeadSamples& s, const std::vector<int>& fiducials,
               const std::vector<std::size_t>& chosen, const MeanBeat& mean, int pq_first) {
  double sum = 0.0;
  long count = 0;
  for (std::size_t b : chosen) {
    for (int l = 0; l < leads; ++l) {
      std::array<double, k::pq_window_ms> left{};
      double m = 0.0;
      for (int i = 0; i < k::pq_window_ms; ++i) {
        const int p = fiducials[b] + k::window_from_ms + pq_first + i;
        left[static_cast<std::size_t>(i)] = s.at(p, l) - cell(mean, pq_first + i, l);
        m += left[static_cast<std::size_t>(i)];
      }
      m /= k::pq_window_ms;
      for (double v : left) {
        sum += (v - m) * (v - m);
        ++count;
      }
    }
  }
  return count > 0 ? static_cast<float>(std::sqrt(sum / static_cast<double>(count))) : 0.0f;
}

// Relative change of the mean QRST map (64 areas against the PQ level) when
// T end moves by `by` window positions.
float map_change(const MeanBeat& b, int pq_first, int q, int t, int by) {
  double whole = 0.0, moved = 0.0;
  for (int l = 0; l < leads; ++l) {
    double level = 0.0;
    for (int i = pq_first; i < pq_first + k::pq_window_ms; ++i) level += cell(b, i, l);
    level /= k::pq_window_ms;
    double area = 0.0, extra = 0.0;
    for (int i = q; i <= t; ++i) area += cell(b, i, l) - level;
    for (int i = t + 1; i <= std::min(t + by, window_len - 1); ++i) extra += cell(b, i, l) - level;
    whole += area * area;
    moved += extra * extra;
  }
  return whole > 0.0 ? static_cast<float>(std::sqrt(moved / whole)) : 1.0f;
}

float confidence(int spread_ms) {
  return 1.0f / (1.0f + static_cast<float>(spread_ms) / k::confidence_scale_ms);
}

std::string whole(float v) { return std::to_string(std::lround(v)); }

// Points of a mean beat pair (raw for QRS, baseline-corrected for T).
struct BeatPoints {
  QrsPoints qrs;
  TEnd t;
};

// The beats found on the spatial velocity with room for a whole window.
std::vector<int> usable_beats(const std::vector<float>& sv) {
  std::vector<int> fiducials;
  for (int f : find_beats(sv))
    if (window_inside(f)) fiducials.push_back(f);
  return fiducials;
}

// The fiducial nearest to the preview's R `r` within a QRS peak's reach;
// fiducials.size() when none is.
std::size_t nearest_beat(const std::vector<int>& fiducials, int r) {
  std::size_t nearest = fiducials.size();
  for (std::size_t b = 0; b < fiducials.size(); ++b)
    if (std::abs(fiducials[b] - r) <= k::qrs_peak_reach_ms &&
        (nearest == fiducials.size() ||
         std::abs(fiducials[b] - r) < std::abs(fiducials[nearest] - r)))
      nearest = b;
  return nearest;
}

// Median QRS correlation of beat `beat` with every other beat, each aligned
// to it.
float median_likeness(const LeadSamples& s, const std::vector<float>& sv,
                      const std::vector<int>& fiducials, std::size_t beat) {
  std::vector<float> alike;
  for (std::size_t b = 0; b < fiducials.size(); ++b) {
    if (b == beat) continue;
    const int shifted = fiducials[b] + best_shift(sv, fiducials[beat], fiducials[b]);
    alike.push_back(shape_correlation(s, fiducials[beat], shifted));
  }
  return percentile(alike, 0.5);
}

// The reference: of the usable preview beats, each by its nearest spatial
// velocity peak, the one most like the others.
struct Reference {
  int r = 0;             // the preview's R, ms
  std::size_t beat = 0;  // index into the fiducials
  float median = -1.0f;
};

std::optional<Reference> choose_reference(const LeadSamples& s, const std::vector<float>& sv,
                                          const std::vector<int>& fiducials,
                                          const std::vector<int>& candidates) {
  std::optional<Reference> best;
  for (int r : candidates) {
    const std::size_t nearest = nearest_beat(fiducials, r);
    if (nearest == fiducials.size()) continue;
    const float median = median_likeness(s, sv, fiducials, nearest);
    if (!best || median > best->median) best = Reference{r, nearest, median};
  }
  return best;
}

// Every beat aligned to the reference, and which of them are alike it.
struct Alike {
  std::vector<int> aligned;         // fiducials shifted onto the reference
  std::vector<std::size_t> chosen;  // indices of the beats alike
};

Alike align_to_reference(const LeadSamples& s, const std::vector<float>& sv,
                         const std::vector<int>& fiducials, std::size_t reference) {
  const int ref = fiducials[reference];
  Alike a{fiducials, {}};
  for (std::size_t b = 0; b < fiducials.size(); ++b) {
    if (b != reference) a.aligned[b] += best_shift(sv, ref, fiducials[b]);
    if (b == reference || shape_correlation(s, ref, a.aligned[b]) >= k::match_correlation)
      a.chosen.push_back(b);
  }
  return a;
}

// A beat followed early by the next (a premature beat) has its T wave cut
// short or overlaid: it leaves `chosen`. Returns the shortest interval after
// the beats kept (window_len when none has a next beat), which bounds T end.
int drop_premature(const std::vector<int>& aligned, std::vector<std::size_t>& chosen) {
  std::vector<float> intervals;
  for (std::size_t b : chosen)
    if (b + 1 < aligned.size())
      intervals.push_back(static_cast<float>(aligned[b + 1] - aligned[b]));
  const float usual = percentile(intervals, 0.5);
  int shortest = window_len;
  std::erase_if(chosen, [&](std::size_t b) {
    if (b + 1 >= aligned.size()) return false;
    const int interval = aligned[b + 1] - aligned[b];
    if (static_cast<float>(interval) < k::premature_share * usual) return true;
    shortest = std::min(shortest, interval);
    return false;
  });
  return shortest;
}

// The odd and the even beats of `chosen`, counted from the first (even).
std::pair<std::vector<std::size_t>, std::vector<std::size_t>> alternate(
    const std::vector<std::size_t>& chosen) {
  std::vector<std::size_t> odd, even;
  for (std::size_t i = 0; i < chosen.size(); ++i) (i % 2 ? odd : even).push_back(chosen[i]);
  return {odd, even};
}

// The mean beats of the odd and the even chosen beats, averaged apart to see
// how far the points move between them, and together for the points
// themselves.
struct SplitMeans {
  MeanBeat odd, even, both;
};

SplitMeans split_means(const LeadSamples& s, const std::vector<int>& aligned,
                       const std::vector<std::size_t>& odd, const std::vector<std::size_t>& even,
                       const Baselines& base) {
  SplitMeans m{mean_beat(s, aligned, odd, base), mean_beat(s, aligned, even, base), {}};
  m.both.resize(m.odd.size());
  const float na = static_cast<float>(odd.size()), nb = static_cast<float>(even.size());
  for (std::size_t i = 0; i < m.odd.size(); ++i)
    m.both[i] = (na * m.odd[i] + nb * m.even[i]) / (na + nb);
  return m;
}

// The window index T end must come before: the next P wave starts as far
// before the next beat's peak (`shortest` ms on) as this beat's P does
// before its own.
int next_p_limit(const QrsPoints& qrs, int shortest) {
  const int p_before =
      std::max(window_zero - qrs.p_start, window_zero - qrs.pq + k::least_p_wave_ms);
  return window_zero + shortest - p_before;
}

// The points of one pair of means; T against the baselines of the whole
// mean's PQ stretch (`whole_qrs`), each mean's own quietest stretch telling
// how firm that choice is.
BeatPoints beat_points(const MeanBeat& plain, const MeanBeat& lined, const QrsPoints& whole_qrs,
                       int limit) {
  const auto found = qrs_points(plain);
  BeatPoints bp{found ? *found : whole_qrs, {}};
  bp.t = t_end(spatial_rms(lined, whole_qrs.pq), bp.qrs.j, whole_qrs.pq, limit);
  return bp;
}

// The points of half of the beats, when it has enough (`beats`) for a mean.
std::optional<BeatPoints> half_points(const MeanBeat& plain, const MeanBeat& lined,
                                      std::size_t beats, const QrsPoints& whole_qrs, int limit) {
  if (beats < 2) return std::nullopt;
  return beat_points(plain, lined, whole_qrs, limit);
}

// How far the points of the odd and the even beats lie apart, window
// positions; none when either half is too small to have points.
struct Spreads {
  int q = 0, pq = 0, t = 0;
};

Spreads half_spreads(const std::optional<BeatPoints>& a, const std::optional<BeatPoints>& b) {
  if (!a || !b) return {};
  return {std::abs(a->qrs.q - b->qrs.q), std::abs(a->qrs.pq - b->qrs.pq),
          std::abs(a->t.threshold - b->t.threshold)};
}

// The points in ms from the preview's R of the reference (`reference_r`),
// whose fiducial is `reference_fiducial`.
void place_points(const BeatPoints& all, int reference_r, int reference_fiducial, Proposal& p) {
  const int to_ms = reference_r - reference_fiducial;
  const auto ms = [&](int index) { return index - window_zero - to_ms; };
  p.reference_ms = reference_r;
  p.pq_ms = ms(all.qrs.pq + k::pq_window_ms / 2);
  p.q_ms = ms(all.qrs.q);
  p.j_ms = ms(all.qrs.j);
  p.t_end_ms = ms(all.t.threshold);
}

// Each point's confidence from how far the halves' points (`spread`) and
// the two methods of T end (`t`) lie apart.
void rate_points(const TEnd& t, const Spreads& spread, Proposal& p) {
  p.t_methods_apart_ms = std::abs(t.tangent - t.threshold);
  p.q_confidence = confidence(spread.q);
  p.pq_confidence = confidence(spread.pq);
  p.t_end_confidence = confidence(std::max(spread.t, p.t_methods_apart_ms / 2));
}

// Doubt from the measured facts already in `p`, the T end found (`t`), the
// odd and even beats' T ends apart (`t_spread`) and the T end's doubt
// (`t_doubt`), ms.
void raise_doubts(const TEnd& t, int t_spread, int t_doubt, Proposal& p) {
  auto doubt = [&](std::string reason) {
    p.doubtful = true;
    p.reasons.push_back(std::move(reason));
  };
  if (!t.found) doubt("T end not found before the next P wave");
  if (p.noise_uv > k::noisy_uv) doubt("noise " + whole(p.noise_uv) + " uV RMS in the PR segment");
  if (static_cast<float>(p.matching) < k::least_match_share * static_cast<float>(p.beats))
    doubt("only " + std::to_string(p.matching) + " of " + std::to_string(p.beats) +
          " beats match the reference");
  if (p.t_methods_apart_ms > k::methods_apart_ms)
    doubt("T end by tangent and by threshold " + std::to_string(p.t_methods_apart_ms) +
          " ms apart");
  if (t_spread > k::halves_apart_ms)
    doubt("T end of odd and even beats " + std::to_string(t_spread) + " ms apart");
  if (t.peak_uv < k::least_t_snr * t.floor_uv)
    doubt("T wave " + whole(t.peak_uv) + " uV RMS, near the noise of " + whole(t.floor_uv) + " uV");
  if (p.map_change > k::map_change_share)
    doubt("mean map changes " + whole(100.0f * p.map_change) + "% if T end moves " +
          std::to_string(t_doubt) + " ms");
  if (p.pq_ms < k::earliest_point_ms || p.t_end_ms > k::latest_point_ms)
    doubt("a point outside the one-beat display");
}

}  // namespace

std::variant<Proposal, std::string> propose(const SampleMatrix& m, const ProposalOptions& o) {
  const LeadSamples s = lead_samples(m);
  const auto sv = spatial_velocity(s);
  if (*std::max_element(sv.begin(), sv.end()) == 0.0f)
    return std::string("the mapping leads are flat: no beats to propose");
  const std::vector<int> fiducials = usable_beats(sv);
  const auto candidates = preview_candidates(m, o);
  if (candidates.empty()) return std::string("no beat of the preview within 201 to 3000 ms");
  const auto reference = choose_reference(s, sv, fiducials, candidates);
  if (!reference)
    return std::string(
        "no beat of the preview lies at a QRS of the mapping leads with room for a whole beat");

  Alike alike = align_to_reference(s, sv, fiducials, reference->beat);
  const std::vector<int>& aligned = alike.aligned;
  Proposal p;
  p.beats = static_cast<std::int32_t>(fiducials.size());
  p.matching = static_cast<std::int32_t>(alike.chosen.size());
  if (p.matching < k::fewest_alike)
    return "fewer than three beats alike (" + std::to_string(p.matching) + " of " +
           std::to_string(p.beats) + ")";
  const int shortest = drop_premature(aligned, alike.chosen);
  const std::vector<std::size_t>& chosen = alike.chosen;
  if (static_cast<std::int32_t>(chosen.size()) < k::fewest_alike)
    return std::string("fewer than three beats alike with a whole T wave");

  // Q start, J and the PQ stretch on the plain mean; T on the mean against
  // the per-beat PQ baselines; the same on the odd and the even beats.
  const auto [odd, even] = alternate(chosen);
  const SplitMeans plain = split_means(s, aligned, odd, even, Baselines{});
  const auto qrs = qrs_points(plain.both);
  if (!qrs) return std::string("no QRS stands out of the mean beat");
  const int limit = next_p_limit(*qrs, shortest);
  const SplitMeans lined = split_means(s, aligned, odd, even, pq_levels(s, aligned, qrs->pq));
  const BeatPoints all = beat_points(plain.both, lined.both, *qrs, limit);
  if (all.t.peak_uv == 0.0f)
    return std::string("the T wave runs into the next beat: no T end before the next P wave");
  const Spreads spread =
      half_spreads(half_points(plain.odd, lined.odd, odd.size(), *qrs, limit),
                   half_points(plain.even, lined.even, even.size(), *qrs, limit));

  place_points(all, reference->r, fiducials[reference->beat], p);
  rate_points(all.t, spread, p);
  p.noise_uv = pr_noise(s, aligned, chosen, plain.both, all.qrs.pq);
  p.t_peak_uv = all.t.peak_uv;
  const int t_doubt = std::max({k::least_t_doubt_ms, spread.t, p.t_methods_apart_ms / 2});
  p.map_change = map_change(lined.both, all.qrs.pq, all.qrs.q, all.t.threshold, t_doubt);
  raise_doubts(all.t, spread.t, t_doubt, p);
  return p;
}

std::variant<Proposal, std::string> propose_recording(const std::filesystem::path& recording,
                                                      const ProposalOptions& options,
                                                      FileOps& files) {
  Bytes bytes;
  if (auto error = files.read_prefix(recording, recording_bytes, bytes))
    return recording.string() + ": cannot be read: " + *error;
  if (bytes.size() < recording_bytes)
    return recording.string() + ": " + std::to_string(bytes.size()) + " bytes, a recording has " +
           std::to_string(recording_bytes);
  auto matrix = make_large<SampleMatrix>();
  unpack_recording(bytes, *matrix);
  auto proposal = propose(*matrix, options);
  if (auto* reason = std::get_if<std::string>(&proposal))
    return recording.string() + ": no proposal: " + *reason;
  return proposal;
}

std::string proposal_json(const Proposal& p) {
  const auto rounded = [](float v) { return std::round(static_cast<double>(v) * 1000.0) / 1000.0; };
  nlohmann::ordered_json j;
  j["method"] = proposal_method;
  j["version"] = proposal_version;
  j["reference_ms"] = p.reference_ms;
  j["pq_ms"] = p.pq_ms;
  j["q_ms"] = p.q_ms;
  j["t_end_ms"] = p.t_end_ms;
  j["j_ms"] = p.j_ms;
  j["confidence"] = {{"pq", rounded(p.pq_confidence)},
                     {"q", rounded(p.q_confidence)},
                     {"t_end", rounded(p.t_end_confidence)}};
  j["beats"] = p.beats;
  j["matching"] = p.matching;
  j["noise_uv"] = rounded(p.noise_uv);
  j["t_peak_uv"] = rounded(p.t_peak_uv);
  j["map_change"] = rounded(p.map_change);
  j["doubtful"] = p.doubtful;
  j["reasons"] = p.reasons;
  return j.dump();
}

}  // namespace ba

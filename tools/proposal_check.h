#pragma once
// How right the proposal is on a synthetic recording with known points: the
// error of each point on the reference beat, whether the PQ point lies in
// the true PR segment, and how far the mean QRST map moves from the map made
// with the true Q start and T end at the same PQ point.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "proposal/proposal.h"
#include "runtime/large_block.h"
#include "truth_model.h"

namespace ba::truth {

struct Check {
  Condition condition;
  bool refused = false;
  std::string refusal;
  int q_error_ms = 0;  // proposed minus true
  int t_end_error_ms = 0;
  int j_error_ms = 0;
  bool pq_in_pr = false;                 // P end < PQ point < Q start
  std::optional<double> map_difference;  // relative RMS; only when pq_in_pr
  bool doubtful = false;
  std::vector<std::string> reasons;
  bool t_into_p = false;  // the model's T waves run into the next P waves
};

// Mean over the beats of each lead's area from Q to T against its sample at
// PQ, as the measurement takes it (offsets from each beat's true R).
inline std::vector<double> mean_map(const SampleMatrix& m, const std::vector<TrueBeat>& beats,
                                    int pq, int q, int t) {
  std::vector<double> map(lead_point_count, 0.0);
  int used = 0;
  for (const TrueBeat& b : beats) {
    if (b.r + pq < 1 || b.r + t > recorded_samples || t < q) continue;
    ++used;
    for (int l = 1; l <= lead_point_count; ++l) {
      const int ch = l + lead_channel_offset;
      const double base = m(ch, b.r + pq);
      double area = 0.0;
      for (int s = b.r + q; s <= b.r + t; ++s) area += m(ch, s) - base;
      map[static_cast<std::size_t>(l - 1)] += area;
    }
  }
  for (double& v : map) v /= std::max(used, 1);
  return map;
}

inline double relative_difference(const std::vector<double>& a, const std::vector<double>& b) {
  double diff = 0.0, size = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    diff += (a[i] - b[i]) * (a[i] - b[i]);
    size += b[i] * b[i];
  }
  return size > 0.0 ? std::sqrt(diff / size) : 0.0;
}

inline Check check_proposal(const Condition& c) {
  Check out;
  out.condition = c;
  const TruthModel model(c);
  out.t_into_p = !model.t_before_next_p();
  auto matrix = make_large<SampleMatrix>();
  model.fill(*matrix);
  const auto result = propose(*matrix, ProposalOptions{});
  if (const auto* reason = std::get_if<std::string>(&result)) {
    out.refused = true;
    out.refusal = *reason;
    out.doubtful = true;
    return out;
  }
  const Proposal& p = std::get<Proposal>(result);
  // The true beat of the reference: the one whose QRS holds the preview's R.
  const TrueBeat* ref = &model.beats().front();
  for (const TrueBeat& b : model.beats())
    if (std::abs(b.r - p.reference_ms) < std::abs(ref->r - p.reference_ms)) ref = &b;
  const int q_abs = p.reference_ms + p.q_ms;
  const int t_abs = p.reference_ms + p.t_end_ms;
  const int pq_abs = p.reference_ms + p.pq_ms;
  out.q_error_ms = q_abs - ref->q_start;
  out.t_end_error_ms = t_abs - ref->t_end;
  out.j_error_ms = p.reference_ms + p.j_ms - ref->j;
  out.pq_in_pr = pq_abs > ref->p_end && pq_abs < ref->q_start;
  out.doubtful = p.doubtful;
  out.reasons = p.reasons;
  if (out.pq_in_pr) {
    // Both maps from every beat at the same offsets from its true R.
    const int pq = pq_abs - ref->r;
    const auto proposed = mean_map(*matrix, model.beats(), pq, q_abs - ref->r, t_abs - ref->r);
    const auto truth =
        mean_map(*matrix, model.beats(), pq, ref->q_start - ref->r, ref->t_end - ref->r);
    out.map_difference = relative_difference(proposed, truth);
  }
  return out;
}

// The fixed validation set: every condition drawn from the whole range with
// its own seed; the same set at every run.
inline std::vector<Condition> validation_set(int count, std::uint64_t first_seed = 1) {
  std::vector<Condition> set;
  const TWave kinds[] = {TWave::upright, TWave::inverted, TWave::biphasic, TWave::low};
  for (int i = 0; i < count; ++i) {
    const std::uint64_t seed = first_seed + static_cast<std::uint64_t>(i);
    auto u = [&](std::uint64_t key) {
      return demo::unit_interval(demo::mix64(seed * 7919ULL + key));
    };
    Condition c;
    c.seed = seed;
    c.heart_rate_bpm = 45.0 + 105.0 * u(1);
    c.qrs_ms = 80.0 + 80.0 * u(2);
    c.t_wave = kinds[i % 4];
    c.noise_uv = 5.0 + 35.0 * u(3);
    c.wander_uv = 300.0 * u(4);
    c.wander_hz = 0.1 + 0.4 * u(5);
    c.mains_uv = 20.0 * u(6);
    set.push_back(c);
  }
  return set;
}

}  // namespace ba::truth

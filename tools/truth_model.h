#pragma once
// Synthetic recordings whose waves start and end exactly: every wave is a
// raised-cosine bump, exactly zero outside its interval, so each beat's P
// end, Q start, J point and T end are known to the sample. Leads see the
// waves as the demonstration recording's leads do (a dipole per wave through
// each lead's vector and gain); white noise, baseline wander and 50 Hz mains
// come on top. One recorder unit is 1 uV; 1 sample per ms.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "demo_model.h"
#include "recording/recording.h"

namespace ba::truth {

enum class TWave { upright, inverted, biphasic, low };

inline const char* t_wave_name(TWave t) {
  switch (t) {
    case TWave::upright:
      return "upright";
    case TWave::inverted:
      return "inverted";
    case TWave::biphasic:
      return "biphasic";
    case TWave::low:
      return "low";
  }
  return "";
}

struct Condition {
  double heart_rate_bpm = 70.0;  // 45..150
  double qrs_ms = 90.0;          // 80..160
  TWave t_wave = TWave::upright;
  double noise_uv = 10.0;   // white, RMS, 5..40
  double wander_uv = 50.0;  // baseline wander amplitude, up to 300
  double wander_hz = 0.3;   // 0.1..0.5
  double mains_uv = 10.0;   // 50 Hz
  std::uint64_t seed = 1;
};

// The true points of one beat: sample positions (1 ms each).
struct TrueBeat {
  int p_start = 0, p_end = 0, q_start = 0, r = 0, j = 0, t_end = 0;
};

// QT after the rate (cube-root law), lengthened by a wide QRS: ms.
inline double qt_ms(double rr_ms, double qrs_ms) {
  return 390.0 * std::cbrt(rr_ms / 1000.0) + 0.5 * (qrs_ms - 90.0);
}

// Raised-cosine bump on [a, b]: 0 outside, 1 in the middle.
inline double bump(double t, double a, double b) {
  if (t <= a || t >= b) return 0.0;
  const double s = std::sin(std::numbers::pi * (t - a) / (b - a));
  return s * s;
}

// Asymmetric T: a raised-cosine rise to the peak at share `peak` of [a, b],
// a raised-cosine fall to b.
inline double t_course(double t, double a, double b, double peak) {
  if (t <= a || t >= b) return 0.0;
  const double m = a + peak * (b - a);
  const double half_pi = std::numbers::pi / 2.0;
  const double s =
      t < m ? std::sin(half_pi * (t - a) / (m - a)) : std::cos(half_pi * (t - m) / (b - m));
  return s * s;
}

class TruthModel {
 public:
  enum Wave { p, q, r, s, t1, t2, wave_count };

  explicit TruthModel(const Condition& c) : c_(c) {
    build_beats();
    build_leads();
  }

  const std::vector<TrueBeat>& beats() const { return beats_; }

  // Whether every T wave ends before the next P wave starts (a fast rate with
  // a wide QRS and a long QT runs T into P, and no one can see T end there).
  bool t_before_next_p() const {
    for (std::size_t k = 0; k + 1 < beats_.size(); ++k)
      if (beats_[k].t_end >= beats_[k + 1].p_start) return false;
    return true;
  }
  const Condition& condition() const { return c_; }

  // Heart waves at position t, each beat's time course summed.
  std::array<double, wave_count> waves(int t) const {
    std::array<double, wave_count> v{};
    // Beats are in time order and shorter than the time between them.
    auto first = std::lower_bound(beats_.begin(), beats_.end(), t,
                                  [](const TrueBeat& b, int at) { return b.t_end < at; });
    for (auto beat = first; beat != beats_.end() && beat->p_start <= t; ++beat) {
      const TrueBeat& b = *beat;
      const double qrs = b.j - b.q_start;
      v[p] += bump(t, b.p_start, b.p_end);
      v[q] += bump(t, b.q_start, b.q_start + 0.3 * qrs);
      v[r] += bump(t, b.q_start + 0.15 * qrs, b.q_start + 0.7 * qrs);
      v[s] += bump(t, b.q_start + 0.55 * qrs, b.j);
      if (c_.t_wave == TWave::biphasic) {
        const double mid = b.j + 0.55 * (b.t_end - b.j);
        v[t1] += t_course(t, b.j, mid, 0.6);
        v[t2] += t_course(t, b.j + 0.35 * (b.t_end - b.j), b.t_end, 0.5);
      } else {
        v[t1] += t_course(t, b.j, b.t_end, 0.62);
      }
    }
    return v;
  }

  double heart(int channel, const std::array<double, wave_count>& w) const {
    double v = 0.0;
    for (int k = 0; k < wave_count; ++k) v += weights_[channel - 1][k] * w[k];
    return v;
  }

  std::int16_t sample(int channel, int t, const std::array<double, wave_count>& w) const {
    const double seconds = t / 1000.0;
    const double two_pi = 2.0 * std::numbers::pi;
    const auto& x = extras_[channel - 1];
    const double v = heart(channel, w) +
                     x.wander_size * std::sin(two_pi * c_.wander_hz * seconds + x.wander_phase) +
                     c_.mains_uv * std::sin(two_pi * 50.0 * seconds + x.mains_phase) +
                     c_.noise_uv * gaussian((static_cast<std::uint64_t>(channel) << 32) | t);
    return static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
  }

  // Fills a sample matrix (positions past the recording read 0).
  void fill(SampleMatrix& m) const {
    for (int t = 1; t <= matrix_positions; ++t) {
      const auto w = waves(t);
      for (int ch = 1; ch <= channel_count; ++ch)
        m(ch, t) = t <= recorded_samples ? sample(ch, t, w) : 0;
    }
  }

  // The recording file: frames of 72 big-endian signed 16-bit samples.
  std::vector<unsigned char> recording_bytes() const {
    std::vector<unsigned char> bytes;
    bytes.reserve(ba::recording_bytes);
    for (int t = 1; t <= recorded_samples; ++t) {
      const auto w = waves(t);
      for (int ch = 1; ch <= channel_count; ++ch) {
        const auto word = static_cast<std::uint16_t>(sample(ch, t, w));
        bytes.push_back(static_cast<unsigned char>(word >> 8));
        bytes.push_back(static_cast<unsigned char>(word & 0xFF));
      }
    }
    return bytes;
  }

 private:
  double uniform(std::uint64_t key) const {
    return demo::unit_interval(demo::mix64(c_.seed * 0x9E37'79B9ULL + key));
  }
  double gaussian(std::uint64_t key) const {
    const double u1 = demo::unit_interval(demo::mix64(c_.seed ^ key));
    const double u2 = demo::unit_interval(demo::mix64(c_.seed ^ ~key));
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

  void build_beats() {
    const double rr = 60000.0 / c_.heart_rate_bpm;
    const double qt = qt_ms(rr, c_.qrs_ms);
    // PR interval 120..180 ms, shorter at a fast rate; P wave 80..100 ms.
    const double pr = std::clamp(120.0 + 0.06 * (rr - 400.0), 120.0, 180.0);
    const double p_len = std::clamp(80.0 + 0.03 * (rr - 400.0), 80.0, 100.0);
    double q = 300.0 + 200.0 * uniform(1);
    for (std::uint64_t k = 2; q + qt + 20 < recorded_samples; k += 2) {
      TrueBeat b;
      b.q_start = static_cast<int>(std::lround(q));
      b.p_start = b.q_start - static_cast<int>(pr);
      b.p_end = b.p_start + static_cast<int>(p_len);
      b.j = b.q_start + static_cast<int>(std::lround(c_.qrs_ms));
      b.r = b.q_start + static_cast<int>(std::lround(0.425 * c_.qrs_ms));
      b.t_end = b.q_start + static_cast<int>(std::lround(qt));
      if (b.p_start >= 1) beats_.push_back(b);
      // +-3 % beat-to-beat variation of the interval.
      q += rr * (1.0 + 0.06 * (uniform(k) - 0.5));
    }
  }

  void build_leads() {
    using demo::heart_azimuth;
    constexpr double pi = std::numbers::pi;
    // Dipole azimuth, elevation (radians) and size (uV) of each wave.
    std::array<std::array<double, 3>, wave_count> dipoles{{
        {heart_azimuth + 0.3, 0.2, 110.0},
        {heart_azimuth + pi - 0.6, 0.0, 170.0},
        {heart_azimuth, -0.1, 900.0},
        {heart_azimuth + pi + 0.5, 0.1, 300.0},
        {heart_azimuth + 0.15, 0.1, 260.0},
        {heart_azimuth + 0.15, 0.1, 0.0},
    }};
    switch (c_.t_wave) {
      case TWave::upright:
        break;
      case TWave::inverted:
        dipoles[t1][0] += pi;
        break;
      case TWave::biphasic:
        dipoles[t1] = {heart_azimuth + pi + 0.2, 0.0, 150.0};
        dipoles[t2] = {heart_azimuth + 0.2, 0.1, 200.0};
        break;
      case TWave::low:
        dipoles[t1][2] = 70.0;
        break;
    }
    for (int ch = 1; ch <= channel_count; ++ch) {
      const demo::LeadView view = demo::channel_view(ch);
      for (int w = 0; w < wave_count; ++w) {
        const auto& d = dipoles[static_cast<std::size_t>(w)];
        const double dir[3] = {std::cos(d[1]) * std::cos(d[0]), std::cos(d[1]) * std::sin(d[0]),
                               std::sin(d[1])};
        double projection = 0.0;
        for (int i = 0; i < 3; ++i)
          projection += view.direction[static_cast<std::size_t>(i)] * dir[i];
        weights_[static_cast<std::size_t>(ch - 1)][static_cast<std::size_t>(w)] =
            view.gain * projection * d[2];
      }
      const std::uint64_t key = 1000 + static_cast<std::uint64_t>(ch) * 8;
      extras_[static_cast<std::size_t>(ch - 1)] = {c_.wander_uv * (0.5 + 0.5 * uniform(key)),
                                                   2.0 * pi * uniform(key + 1),
                                                   2.0 * pi * uniform(key + 2)};
    }
  }

  struct Extras {
    double wander_size, wander_phase, mains_phase;
  };
  Condition c_;
  std::vector<TrueBeat> beats_;
  std::array<std::array<double, wave_count>, channel_count> weights_{};
  std::array<Extras, channel_count> extras_{};
};

}  // namespace ba::truth

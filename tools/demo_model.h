#pragma once
// The signal model of the demonstration recording: 32 s of a body-surface
// map with 72 channels, 1 sample per ms, in recorder units.
//
// Every beat is a sum of waves (P, Q, R, S and T for a normal beat; two wide
// QRS phases and a discordant T for an ectopic beat, which has no P). Each
// wave is a heart dipole with a time course; a lead sees the dipole through
// its own lead vector and gain, which vary smoothly over the 8 x 8 grid of
// mapping leads, so amplitude and polarity change smoothly from lead to lead.
// On top come baseline wander, a little mains hum and white noise.
//
// Everything is a pure function of (channel, sample position) and of one
// fixed random start value, so the file is identical at every run and a test
// can compute any sample of it, noisy or noise-free, without reading it.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "recording/recording.h"

namespace ba::demo {

inline constexpr int channels = channel_count;    // 72
inline constexpr int samples = recorded_samples;  // 32,000 positions, 1 ms each
inline constexpr std::uint64_t random_start = 0x5EC0'4D1A'B7E3'2024ULL;

enum class BeatKind { normal, ectopic };

struct Beat {
  int r = 0;  // R peak: sample position (1-based, 1 ms each)
  BeatKind kind = BeatKind::normal;
  double qrs_scale = 1.0;  // amplitude factor of P and QRS (respiration)
  double t_scale = 1.0;    // amplitude factor of the T wave
};

inline const char* kind_name(BeatKind kind) {
  return kind == BeatKind::normal ? "normal" : "ectopic";
}

// splitmix64: a small counter-based generator; hashing (start, key) gives
// independent, reproducible values with no state to carry along.
inline std::uint64_t mix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// A uniform value in (0, 1] from the upper 53 bits.
inline double unit_interval(std::uint64_t bits) {
  return (static_cast<double>(bits >> 11) + 1.0) / 9007199254740992.0;
}

// A standard normal value for one key (Box-Muller on two halves of a hash).
inline double gaussian(std::uint64_t key) {
  const double u1 = unit_interval(mix64(random_start ^ key));
  const double u2 = unit_interval(mix64(random_start ^ ~key));
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

// The waves of both beat kinds. Times in ms relative to the beat's R
// position; the dipole is given by azimuth and elevation (radians) and a
// size in recorder units.
enum Wave { wave_p, wave_q, wave_r, wave_s, wave_t, wave_e1, wave_e2, wave_et, wave_count };

struct WaveShape {
  double centre;      // ms from R
  double rise_sigma;  // ms, before the centre
  double fall_sigma;  // ms, after the centre
  double azimuth;     // radians around the torso
  double elevation;   // radians, positive upward
  double size;        // recorder units
};

inline constexpr double heart_azimuth = std::numbers::pi / 3.0;

inline constexpr std::array<WaveShape, wave_count> wave_shapes{{
    {-165.0, 22.0, 18.0, heart_azimuth + 0.3, 0.2, 110.0},                    // P
    {-20.0, 5.0, 5.0, heart_azimuth + std::numbers::pi - 0.6, 0.0, 170.0},    // Q (septal)
    {0.0, 8.0, 7.0, heart_azimuth, -0.1, 900.0},                              // R
    {22.0, 6.0, 9.0, heart_azimuth + std::numbers::pi + 0.5, 0.1, 300.0},     // S
    {260.0, 55.0, 35.0, heart_azimuth + 0.15, 0.1, 260.0},                    // T
    {0.0, 20.0, 12.0, heart_azimuth + std::numbers::pi + 0.3, -0.2, 1350.0},  // ectopic phase 1
    {45.0, 18.0, 24.0, heart_azimuth + 0.9, 0.3, 450.0},                      // ectopic phase 2
    {310.0, 60.0, 45.0, heart_azimuth + 0.1, 0.0, 380.0},  // ectopic T (discordant)
}};

inline constexpr bool wave_of_normal(int w) { return w <= wave_t; }

// A lead's view of the heart: unit lead vector and gain. Mapping lead n
// (channel n + 8) sits in column (n - 1) / 8 around the torso and row
// (n - 1) % 8 from top to bottom; leads near the heart see it larger.
struct LeadView {
  std::array<double, 3> direction{};
  double gain = 0.0;
};

inline LeadView lead_view(double azimuth, double elevation, double base_gain) {
  const std::array<double, 3> d{std::cos(elevation) * std::cos(azimuth),
                                std::cos(elevation) * std::sin(azimuth), std::sin(elevation)};
  const double facing = d[0] * std::cos(heart_azimuth) + d[1] * std::sin(heart_azimuth);
  return {d, base_gain + 0.35 * facing};
}

inline LeadView channel_view(int channel) {
  if (channel > lead_channel_offset) {
    const int lead = channel - lead_channel_offset;
    const int column = (lead - 1) / 8;
    const int row = (lead - 1) % 8;
    return lead_view(2.0 * std::numbers::pi * column / 8.0, (3.5 - row) * 0.16, 0.8);
  }
  // Channels 1..8: frontal-plane limb-style leads 45 degrees apart, smaller.
  return lead_view(std::numbers::pi / 4.0 * (channel - 1), 0.0, 0.35);
}

class DemoModel {
 public:
  DemoModel() {
    build_beats();
    for (int c = 1; c <= channels; ++c) build_channel(c);
  }

  const std::vector<Beat>& beats() const { return beats_; }

  // Time courses of every wave at sample position t, summed over the beats
  // near t (each beat's waves are zero more than 700 ms away).
  std::array<double, wave_count> wave_values(int t) const {
    std::array<double, wave_count> v{};
    auto first = std::lower_bound(beats_.begin(), beats_.end(), t - 700,
                                  [](const Beat& b, int pos) { return b.r < pos; });
    for (auto b = first; b != beats_.end() && b->r <= t + 700; ++b) add_beat(*b, t, v);
    return v;
  }

  // Heart signal alone of a channel (1..72) at position t (1..32,000).
  double heart_value(int channel, int t) const {
    const auto v = wave_values(t);
    return heart_value(channel, v);
  }

  // Noise-free value: heart signal, baseline wander and mains hum.
  double clean_value(int channel, int t) const { return clean_value(channel, t, wave_values(t)); }

  // The recorded sample: the noise-free value plus white noise, rounded to
  // the nearest recorder unit.
  std::int16_t sample(int channel, int t) const { return sample(channel, t, wave_values(t)); }

  std::int16_t sample(int channel, int t, const std::array<double, wave_count>& waves) const {
    const double noisy = clean_value(channel, t, waves) + noise_sigma * noise(channel, t);
    return static_cast<std::int16_t>(std::clamp(std::lround(noisy), -32768L, 32767L));
  }

  // The whole recording file: frames of 72 big-endian signed 16-bit samples.
  std::vector<unsigned char> recording_bytes() const {
    std::vector<unsigned char> bytes;
    bytes.reserve(recording_bytes_total);
    for (int t = 1; t <= samples; ++t) {
      const auto waves = wave_values(t);
      for (int c = 1; c <= channels; ++c) {
        const auto word = static_cast<std::uint16_t>(sample(c, t, waves));
        bytes.push_back(static_cast<unsigned char>(word >> 8));
        bytes.push_back(static_cast<unsigned char>(word & 0xFF));
      }
    }
    return bytes;
  }

  // The true beats: a header line, then one line per beat.
  std::string beats_csv() const {
    std::string text = "r_position,kind\n";
    for (const Beat& b : beats_) text += std::to_string(b.r) + "," + kind_name(b.kind) + "\n";
    return text;
  }

  static constexpr double noise_sigma = 5.0;  // recorder units, white
  static constexpr std::size_t recording_bytes_total = ba::recording_bytes;

 private:
  static constexpr int first_beat = 430;         // ms: within the display scale range 100..1,000
  static constexpr int last_beat_limit = 31400;  // ms: the last T wave ends inside the file
  // Normal beats after which an ectopic beat comes (none in the first 4 s, so
  // the reference slope of detection comes from normal beats).
  static constexpr std::array<int, 4> ectopic_after{6, 13, 21, 28};

  // Heart rate: 860 ms mean interval, respiratory sinus arrhythmia of +-70 ms
  // over a 4.3 s breath, and +-25 ms of irregularity: 63..78 beats a minute.
  static constexpr double mean_interval = 860.0;
  static constexpr double breath_ms = 4300.0;

  double breath(double t) const { return std::sin(2.0 * std::numbers::pi * t / breath_ms + 0.7); }
  double uniform(std::uint64_t key) const { return unit_interval(mix64(random_start + key)); }

  void build_beats() {
    double r = first_beat;
    int normals = 0;
    std::uint64_t key = 1;
    while (r <= last_beat_limit) {
      const double interval = mean_interval + 70.0 * breath(r) + 50.0 * (uniform(key++) - 0.5);
      beats_.push_back(make_beat(static_cast<int>(r), BeatKind::normal, key++));
      ++normals;
      if (std::find(ectopic_after.begin(), ectopic_after.end(), normals) != ectopic_after.end()) {
        // Premature beat at 60 % of the interval, then a full compensatory pause.
        const double ectopic_r = r + std::round(0.6 * interval);
        if (ectopic_r + 2 * interval > last_beat_limit) break;
        beats_.push_back(make_beat(static_cast<int>(ectopic_r), BeatKind::ectopic, key++));
        r += 2.0 * std::round(interval);
      } else {
        r += std::round(interval);
      }
    }
  }

  Beat make_beat(int r, BeatKind kind, std::uint64_t key) const {
    // Breathing moves the heart: +-5 % of P and QRS amplitude, +-2 % jitter;
    // the T wave varies on its own by +-6 %.
    const double qrs = 1.0 + 0.05 * breath(r - 600.0) + 0.04 * (uniform(key << 8) - 0.5);
    const double t_wave = 1.0 + 0.12 * (uniform((key << 8) + 1) - 0.5);
    return {r, kind, qrs, t_wave};
  }

  static double wave_time_course(const WaveShape& w, double dt) {
    const double sigma = dt < w.centre ? w.rise_sigma : w.fall_sigma;
    const double z = (dt - w.centre) / sigma;
    return std::exp(-0.5 * z * z);
  }

  static void add_beat(const Beat& b, int t, std::array<double, wave_count>& v) {
    const double dt = t - b.r;
    for (int w = 0; w < wave_count; ++w) {
      if (wave_of_normal(w) != (b.kind == BeatKind::normal)) continue;
      const double scale = (w == wave_t || w == wave_et) ? b.t_scale : b.qrs_scale;
      v[w] += scale * wave_time_course(wave_shapes[w], dt);
    }
  }

  void build_channel(int channel) {
    const LeadView view = channel_view(channel);
    auto& weights = weights_[channel - 1];
    for (int w = 0; w < wave_count; ++w) {
      const WaveShape& s = wave_shapes[w];
      const double dipole[3] = {std::cos(s.elevation) * std::cos(s.azimuth),
                                std::cos(s.elevation) * std::sin(s.azimuth), std::sin(s.elevation)};
      double projection = 0.0;
      for (int i = 0; i < 3; ++i) projection += view.direction[i] * dipole[i];
      weights[w] = view.gain * projection * s.size;
    }
    // Baseline wander with breathing (0.23 Hz) and a slow drift (0.06 Hz),
    // and mains hum (50 Hz), each with a phase of its own per channel.
    const std::uint64_t key = 1000 + static_cast<std::uint64_t>(channel) * 16;
    wander_[channel - 1] = {35.0 + 30.0 * uniform(key), 2.0 * std::numbers::pi * uniform(key + 1),
                            20.0 + 25.0 * uniform(key + 2),
                            2.0 * std::numbers::pi * uniform(key + 3),
                            2.0 * std::numbers::pi * uniform(key + 4)};
  }

  double heart_value(int channel, const std::array<double, wave_count>& waves) const {
    const auto& weights = weights_[channel - 1];
    double value = 0.0;
    for (int w = 0; w < wave_count; ++w) value += weights[w] * waves[w];
    return value;
  }

  double clean_value(int channel, int t, const std::array<double, wave_count>& waves) const {
    const Wander& d = wander_[channel - 1];
    const double seconds = t / 1000.0;
    const double two_pi = 2.0 * std::numbers::pi;
    return heart_value(channel, waves) +
           d.breath_size * std::sin(two_pi * 0.23 * seconds + d.breath_phase) +
           d.drift_size * std::sin(two_pi * 0.06 * seconds + d.drift_phase) +
           hum_size * std::sin(two_pi * 50.0 * seconds + d.hum_phase);
  }

  static double noise(int channel, int t) {
    return gaussian((static_cast<std::uint64_t>(channel) << 32) | static_cast<std::uint32_t>(t));
  }

  struct Wander {
    double breath_size, breath_phase, drift_size, drift_phase, hum_phase;
  };
  static constexpr double hum_size = 3.0;  // recorder units

  std::vector<Beat> beats_;
  std::array<std::array<double, wave_count>, channels> weights_{};
  std::array<Wander, channels> wander_{};
};

}  // namespace ba::demo

#pragma once
// Waveform selection (command s) and fiducial point marking.

#include <cstdint>
#include <optional>

#include "detection/detection.h"
#include "detection/recognition.h"
#include "dialogue/answer.h"
#include "dialogue/conditions.h"
#include "display/plot.h"
#include "recording/recording.h"
#include "results/beat.h"
#include "runtime/one_based.h"

namespace ba {

class Io;
struct MarkingContext;

// Told of the fiducial marking on the enlarged beat (the window mode offers
// its proposal there and marks the J point when asked). Nothing it does
// reaches the program's lines, windows or files unless the person acts.
class MarkingListener {
 public:
  virtual ~MarkingListener() = default;
  // Before the three clicks of a marking pass, and after them.
  virtual void fiducial_pass_started(const MarkingContext& /*context*/) {}
  virtual void fiducial_pass_ended() {}
  // After the three points are confirmed: the window-unit x of a click on
  // the J point when the person asked to mark one, else nothing.
  virtual std::optional<float> j_point_click(const MarkingContext& /*context*/) {
    return std::nullopt;
  }
  // The J point clicked lay outside [Q start, T end] and is left to be
  // proposed from the leads.
  virtual void j_point_refused() {}
};

inline constexpr int beat_wave_room = 1024;
inline constexpr int beat_window_len = 1000;          // samples of the one-beat display
inline constexpr int earliest_selectable_beat = 201;  // ms
inline constexpr int latest_selectable_beat = 3000;   // ms

struct MarkingState {
  std::int32_t selected_beat = 0;  // R position of the reference beat
  std::int32_t window_start = 0;   // selected_beat - 200; index i is sample window_start + i
  Matrix1<float, beat_wave_room, 3> beat_wave;  // (index 1..1000, trace 1..3)
  float beat_x_scale = 0.0f;                    // window units per sample of the one-beat display
  // Confirmed fiducial points, beat-window indices (200 = R peak); 0 until set.
  std::int32_t pq_point = 0;
  std::int32_t q_start = 0;
  std::int32_t t_end = 0;
  // The J point when one is given, beat-window index; 0 leaves it to be
  // proposed from the leads when the beats are measured.
  std::int32_t j_point = 0;
};

// What command s reads and writes.
struct MarkingContext {
  const AnalysisConditions& conditions;  // the three displayed leads
  const RecordingState& recording;
  const DetectionState& detection;  // the candidates and the time axis
  DisplayGeometry& geometry;
  MarkingState& marking;
  RecognitionState& recognition;  // the template taken from the chosen beat
  MenuState& menu;
  MarkingListener* listener = nullptr;  // none in the headless runs
};

// Command s: pick the beat nearest a click, check its range, log it, draw it
// enlarged, take the template, then the fiducial menu.
void select_waveform(const MarkingContext& c, Io& io);
// The fiducial menu with its marking passes; returns to the main menu.
void fiducial_menu(const MarkingContext& c, Io& io);

// The sample under a click on the preview and the beat-window index under a
// click on the one-beat display: quotient in double precision, truncated.
std::int32_t click_sample(float click_x, float plot_x0, float x_scale);
// The candidate nearest to `sample` (ties to the smaller list index), or
// `current` when none lies closer than 4,000 samples.
std::int32_t nearest_beat(const Array1<std::int16_t, 200>& beat_positions, std::int32_t sample,
                          std::int32_t current);
// Draws the three traces of beat_wave across the trace area (blue).
void draw_beat_wave(const MarkingState& marking, const DetectionState& detection,
                    DisplayGeometry& geometry, Io& io);

}  // namespace ba

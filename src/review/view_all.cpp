// Command v: every beat recognised in the whole recording is measured as
// command c measures it and shown alone, enlarged, with its fiducial markers,
// one mouse click per beat.

#include <cstdint>

#include "compute/compute.h"
#include "detection/detection.h"
#include "display/mouse.h"
#include "display/plot.h"
#include "marking/marking.h"
#include "marking/messages.h"
#include "review/messages.h"
#include "review/review.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Command v draws each beat with its R peak one sample after the index at
// which command s draws it.
constexpr std::int32_t review_r_index = r_peak_index + 1;

// A sample of the matrix, 0 for positions outside it (before the recording
// or past its padding), where an early or late beat's baseline may reach.
std::int32_t sample_or_zero(const SampleMatrix& sample_matrix, long channel, std::int32_t p) {
  if (p < 1 || p > matrix_positions) return 0;
  return sample_matrix(channel, p);
}

// Mean of the five samples around the PQ point, truncated toward zero.
std::int32_t pq_baseline(const SampleMatrix& sample_matrix, long channel, std::int32_t pq_abs) {
  std::int32_t sum = 0;
  for (std::int32_t p = pq_abs - 2; p <= pq_abs + 2; ++p)
    sum += sample_or_zero(sample_matrix, channel, p);
  return sum / 5;
}

// Channel of displayed lead slot k (1, 2, 3).
long displayed_channel(const AnalysisConditions& conditions, long k) {
  if (k == 1) return conditions.first_lead;
  if (k == 2) return conditions.second_lead;
  return conditions.third_lead;
}

// beat_wave(i, k) = lead k at sample beat_r - review_r_index + i minus its
// baseline at the PQ point; points before the recording lie on the zero line.
void fill_beat_wave(const AnalysisConditions& conditions, const SampleMatrix& sample_matrix,
                    std::int32_t beat_r, std::int32_t pq_abs, MarkingState& marking) {
  for (long k = 1; k <= displayed_trace_count; ++k) {
    const long channel = displayed_channel(conditions, k);
    const std::int32_t baseline = pq_baseline(sample_matrix, channel, pq_abs);
    for (long i = 1; i <= beat_window_len; ++i) {
      const std::int32_t p = beat_r - review_r_index + static_cast<std::int32_t>(i);
      float value = 0.0f;
      if (p >= 1 && p <= matrix_positions)
        value = static_cast<float>(sample_matrix(channel, p) - baseline);
      marking.beat_wave(i, k) = value;
    }
  }
}

// Red at the PQ point, cyan at Q start and T end; a marker for index m
// stands at trace point m.
void draw_fiducial_markers(const MarkingState& marking, DisplayGeometry& geometry, Io& io) {
  auto marker_at = [&](std::int32_t index) {
    return static_cast<float>(index) * marking.beat_x_scale + geometry.plot_x0;
  };
  draw_marker(io.platform(), geometry, marker_at(marking.pq_point), true);
  draw_marker(io.platform(), geometry, marker_at(marking.q_start));
  draw_marker(io.platform(), geometry, marker_at(marking.t_end));
}

void show_beat(const ReviewContext& c, Io& io, std::int32_t beat_r) {
  const std::int32_t pq_abs = beat_r + c.marking.pq_point - r_peak_index;
  fill_beat_wave(c.conditions, c.recording.sample_matrix, beat_r, pq_abs, c.marking);
  c.marking.beat_x_scale = (c.geometry.plot_x1 - c.geometry.plot_x0) / 1000.0f;
  // The three leads over one another, drawn and clipped as command s draws them.
  draw_beat_wave(c.marking, c.detection, c.geometry, io);
  draw_fiducial_markers(c.marking, c.geometry, io);
  const float seconds = static_cast<float>(beat_r) / 1000.0f;
  io.write_line(graphics_unit, {review_text::displayed_beat, seconds, review_text::click_prompt});
}

}  // namespace

void review_accepted_beats(const ReviewContext& c, Io& io) {
  const DetectionState& detection = c.detection;
  Selection& selection = c.selection;
  // beat_positions runs latest first: walking it backwards shows beats in time order.
  for (long j = detection.n_candidates; j >= 1; --j) {
    const std::int16_t position = detection.beat_positions(j);
    if (position <= 0) continue;
    // Measured as command c measures, so that d saves the same areas after
    // v as after c; a beat c would leave out is left out here too.
    if (!measure_or_leave_out(c.recording.sample_matrix, c.marking, position, selection, io))
      continue;
    io.clear_window();
    io.write_line(console_unit,
                  {review_text::clear_screen, position,
                   selection.accepted_beats(selection.n_accepted), selection.n_accepted});
    show_beat(c, io, selection.accepted_beats(selection.n_accepted));
    // The click only lets the review go on; every beat has to be clicked through.
    SELINTVL(io.platform(), c.geometry.marker_pos);
  }
}

void view_all_beats(const ReviewContext& c, Io& io) {
  if (c.recognition.corr_lead == 0) {
    io.write_line(console_unit, {marking_text::no_template});
    io.write_line(graphics_unit, {marking_text::no_template});
    return;
  }
  // All 200 entries, so a later save never pairs areas of an earlier c run
  // with the beats of this one.
  clear_selection(c.selection);
  detect_whole_recording(c.recording.sample_matrix, c.conditions, whole_reference_end, c.detection,
                         c.recognition, io);
  note_selection_source('v', c.conditions, c.marking, c.detection, c.selection);
  review_accepted_beats(c, io);
  sort_left_out(c.selection.source);
}

}  // namespace ba

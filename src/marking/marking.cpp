#include "marking/marking.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "dialogue/answer.h"
#include "display/mouse.h"
#include "display/plot.h"
#include "marking/messages.h"
#include "results/log_format.h"
#include "runtime/io.h"

namespace ba {

namespace {

constexpr std::int32_t search_start_distance = 4000;  // samples
constexpr double beat_window_samples = 1000.0;

// Shows the one-beat display's trace x: beat-window index i at
// beat_x_scale * i + plot_x0, clipped like the main display.
void plot_beat_trace(const MarkingState& marking, const DetectionState& d, DisplayGeometry& g,
                     int trace) {
  for (int i = 1; i <= g.beat_trace_n; ++i) {
    g.plot_x(i) =
        static_cast<float>(static_cast<double>(marking.beat_x_scale) * d.time_axis(i) + g.plot_x0);
    g.plot_y(i) = trace_y(g, marking.beat_wave(i, trace));
  }
}

void fill_beat_wave(const AnalysisConditions& conditions, const SampleMatrix& sample_matrix,
                    MarkingState& m) {
  const std::int16_t channels[3] = {conditions.first_lead, conditions.second_lead,
                                    conditions.third_lead};
  for (int trace = 1; trace <= 3; ++trace)
    for (int i = 1; i <= beat_window_len; ++i)
      m.beat_wave(i, trace) =
          static_cast<float>(sample_matrix(channels[trace - 1], m.window_start + i));
}

// The 51 samples of the first displayed lead from 25 before to 25 after the
// R peak: the reference of every later recognition.
void take_template(std::int16_t first_lead, const SampleMatrix& sample_matrix,
                   std::int32_t selected_beat, RecognitionState& r) {
  r.corr_lead = first_lead;
  for (int i = 1; i <= template_len; ++i)
    r.template_wave(i) = sample_matrix(r.corr_lead, selected_beat + i - 1 - template_half);
}

// Waits for a click, marks it with a cyan line and keeps it in marker_pos.
void click_and_mark(DisplayGeometry& g, Io& io) {
  SELINTVL(io.platform(), g.marker_pos);
  draw_marker(io.platform(), g, g.marker_pos);
}

bool in_selectable_range(std::int32_t beat) {
  return beat >= earliest_selectable_beat && beat <= latest_selectable_beat;
}

// One fiducial click: prompt in the window, label and index on the console.
std::int32_t fiducial_click(const MarkingContext& c, Io& io, const char* prompt,
                            const char* label) {
  io.write_line(graphics_unit, {prompt});
  io.write_line(console_unit, {label});
  click_and_mark(c.geometry, io);
  const std::int32_t index =
      click_sample(c.geometry.marker_pos, c.geometry.plot_x0, c.marking.beat_x_scale);
  io.write_line(console_unit, {index});
  return index;
}

// A J point clicked when the person asks for one; a click outside
// [Q start, T end] leaves it to be proposed from the leads.
void mark_j_point(const MarkingContext& c, Io& io) {
  const std::optional<float> x = c.listener->j_point_click(c);
  if (!x) return;
  const std::int32_t j = click_sample(*x, c.geometry.plot_x0, c.marking.beat_x_scale);
  if (j < c.marking.q_start || j > c.marking.t_end) {
    c.listener->j_point_refused();
    return;
  }
  draw_marker(io.platform(), c.geometry, *x);
  c.marking.j_point = j;
}

// Three clicks, then confirmation; "n" keeps the earlier points and leaves
// the markers on the screen.
void marking_pass(const MarkingContext& c, Io& io) {
  if (c.listener) c.listener->fiducial_pass_started(c);
  const std::int32_t pq = fiducial_click(c, io, marking_text::click_pq, marking_text::console_pq);
  const std::int32_t q = fiducial_click(c, io, marking_text::click_q, marking_text::console_q);
  const std::int32_t t = fiducial_click(c, io, marking_text::click_t, marking_text::console_t);
  if (c.listener) c.listener->fiducial_pass_ended();
  io.write_line(graphics_unit, {marking_text::confirm});
  read_answer(c.menu, io);
  if (answer_is(c.menu.answer, 'n')) return;
  c.marking.pq_point = pq;
  c.marking.q_start = q;
  c.marking.t_end = t;
  c.marking.j_point = 0;
  io.clear_window();
  draw_beat_wave(c.marking, c.detection, c.geometry, io);
  if (c.listener) mark_j_point(c, io);
}

// Steps after the range check: console and log records, the enlarged beat
// and the template.
void take_selection(const MarkingContext& c, Io& io) {
  MarkingState& m = c.marking;
  io.write_line(console_unit, {marking_text::selected_point, m.selected_beat});
  m.window_start = m.selected_beat - r_peak_index;
  io.clear_window();
  log_format::write_selected_time(io, m.window_start);
  fill_beat_wave(c.conditions, c.recording.sample_matrix, m);
  m.beat_x_scale = static_cast<float>(
      (static_cast<double>(c.geometry.plot_x1) - c.geometry.plot_x0) / beat_window_samples);
  draw_beat_wave(m, c.detection, c.geometry, io);
  take_template(c.conditions.first_lead, c.recording.sample_matrix, m.selected_beat, c.recognition);
}

}  // namespace

std::int32_t click_sample(float click_x, float plot_x0, float x_scale) {
  const double quotient =
      (static_cast<double>(click_x) - static_cast<double>(plot_x0)) / static_cast<double>(x_scale);
  // A click far outside the trace area (or an unset scale) must still give
  // a defined position, which the callers then range-check.
  if (std::isnan(quotient)) return 0;
  constexpr double low = std::numeric_limits<std::int32_t>::min();
  constexpr double high = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::trunc(std::fmin(std::fmax(quotient, low), high)));
}

std::int32_t nearest_beat(const Array1<std::int16_t, 200>& beat_positions, std::int32_t sample,
                          std::int32_t current) {
  std::int64_t best_distance = search_start_distance;
  std::int32_t nearest = current;
  for (int j = 1; j <= beat_positions.size(); ++j) {
    const std::int64_t distance = std::llabs(std::int64_t{beat_positions(j)} - sample);
    if (distance < best_distance) {
      best_distance = distance;
      nearest = beat_positions(j);
    }
  }
  return nearest;
}

void draw_beat_wave(const MarkingState& marking, const DetectionState& detection,
                    DisplayGeometry& g, Io& io) {
  for (int trace = 1; trace <= 3; ++trace) {
    plot_beat_trace(marking, detection, g, trace);
    GPL(io.platform(), g.beat_trace_n, g.plot_x.data(), g.plot_y.data());
  }
}

void select_waveform(const MarkingContext& c, Io& io) {
  io.write_line(graphics_unit, {marking_text::click_near_trace});
  click_and_mark(c.geometry, io);
  io.write_line(graphics_unit, {marking_text::confirm});
  read_answer(c.menu, io);
  if (answer_is(c.menu.answer, 'n')) return;

  const DisplayGeometry& g = c.geometry;
  const std::int32_t sample = click_sample(g.marker_pos, g.plot_x0, g.x_scale);
  MarkingState& m = c.marking;
  m.selected_beat = nearest_beat(c.detection.beat_positions, sample, m.selected_beat);
  if (!in_selectable_range(m.selected_beat)) {
    // The loop top clears the window at once, so the console keeps the text.
    io.write_line(graphics_unit, {marking_text::range_error});
    io.write_line(console_unit, {marking_text::range_error});
    return;
  }
  take_selection(c, io);
  fiducial_menu(c, io);
}

void fiducial_menu(const MarkingContext& c, Io& io) {
  for (;;) {
    io.write_line(graphics_unit, {marking_text::fiducial_menu});
    read_answer(c.menu, io);
    if (!answer_is(c.menu.answer, 's')) return;
    marking_pass(c, io);
  }
}

}  // namespace ba

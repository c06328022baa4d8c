#include "program/main_loop.h"

#include "compute/compute.h"
#include "dialogue/messages.h"
#include "display/plot.h"
#include "marking/marking.h"
#include "program/program_state.h"
#include "results/selection.h"
#include "review/review.h"
#include "runtime/io.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

constexpr std::int16_t first_strip_x = 50;  // pixels
constexpr std::int16_t first_strip_y = 80;

void start_first_print_page(ProgramState& state, Io& io) {
  state.print.image_no = 1;
  state.print.print_unit = first_print_unit;
  state.print.off_x = first_strip_x;
  state.print.off_y = first_strip_y;
  page_setup(state.print, state.paths, io);
}

// Closes the graphics window before the log file; the program then stops.
void exit_sequence(Io& io) {
  io.close_window(graphics_unit);
  io.close_log();
}

// The preview's three traces over one another, 4,000 samples each, clipped
// to rows 0..299.
void draw_preview_traces(ProgramState& state, Io& io) {
  DisplayGeometry& g = state.geometry;
  const DetectionState& d = state.detection;
  for (int trace = 1; trace <= displayed_trace_count; ++trace) {
    for (int i = 1; i <= preview_span; ++i) {
      g.plot_x(i) = static_cast<float>(static_cast<double>(g.x_scale) * d.time_axis(i) + g.plot_x0);
      g.plot_y(i) = trace_y(g, d.lead_traces(i, trace));
    }
    GPL(io.platform(), static_cast<std::int16_t>(preview_span), g.plot_x.data(), g.plot_y.data());
  }
}

// One cyan line per candidate at the preview's scale; candidates beyond the
// first 4 seconds fall right of the trace area.
void draw_candidate_markers(ProgramState& state, Io& io) {
  DisplayGeometry& g = state.geometry;
  const DetectionState& d = state.detection;
  for (int k = 1; k < candidate_slots && d.beat_positions(k) != 0; ++k) {
    g.marker_pos =
        static_cast<float>(static_cast<double>(d.beat_positions(k)) * g.x_scale + g.plot_x0);
    draw_marker(io.platform(), g, g.marker_pos);
  }
}

void loop_top(ProgramState& state, Io& io) {
  io.clear_window();
  draw_preview_traces(state, io);
  sort_candidates(state.detection);
  draw_candidate_markers(state, io);
  io.write_line(graphics_unit, {dialogue_text::main_menu});
  read_answer(state.menu, io);
}

// Whether the fiducial points measure anything: never confirmed (all three
// still 0) or a T end before the Q start give every beat an area of 0.
bool points_marked(const MarkingState& marking) {
  const bool never_confirmed = marking.pq_point == 0 && marking.q_start == 0 && marking.t_end == 0;
  return !never_confirmed && marking.t_end >= marking.q_start;
}

// Tells the listener what the selection was measured on, then the selection.
void report_selection(const ProgramState& state, SelectionListener& listener) {
  listener.selection_described(std::string(trimmed(state.paths.recording_name)),
                               points_marked(state.marking));
  listener.selection_leads_measured(state.selection.lead_measures);
  listener.selection_measured(selected_beats(state.selection));
}

// Runs the command the answer names; false when the answer ends the program.
bool dispatch(ProgramState& state, Io& io, SelectionListener& listener) {
  const std::string& answer = state.menu.answer;
  if (answer_is(answer, 's'))
    select_waveform(marking_context(state, listener.marking_listener()), io);
  else if (answer_is(answer, 'c')) {
    compute_all(compute_context(state), io);
    report_selection(state, listener);
  } else if (answer_is(answer, 'v')) {
    view_all_beats(review_context(state), io);
    report_selection(state, listener);
  } else if (answer_is(answer, 'd')) {
    const int beats = state.selection.n_accepted;
    const SaveOutcome outcome = save_selection(state.selection, state.paths, state.menu, io);
    listener.selection_saved(outcome, beats, std::string(trimmed(state.paths.st_txt_path)));
  } else if (answer_is(answer, 'x'))
    return false;
  return true;
}

}  // namespace

void display_setup(ProgramState& state, Io& io) {
  if (state.conditions.print_flag == 1) start_first_print_page(state, io);
  io.open_log(state.paths.stlog_path);
  io.open_window(graphics_unit);
  io.write_line(graphics_unit, {state.paths.recording_path, dialogue_text::show_ecg_data});
}

void run_main_loop(ProgramState& state, Io& io, SelectionListener& listener) {
  DetectionState& d = state.detection;
  detect(state.recording.sample_matrix, state.conditions, preview_span, preview_reference_end, true,
         d);
  if (d.amp_max == 0.0f) {
    io.write_line(graphics_unit, {state.paths.recording_path, dialogue_text::no_data});
    io.read_free_real(graphics_unit);  // any number goes on; its value is not used
    exit_sequence(io);
    return;
  }
  set_display_geometry(d.span_len, d.amp_max, state.geometry);
  do {
    loop_top(state, io);
  } while (dispatch(state, io, listener));
  exit_sequence(io);
}

}  // namespace ba

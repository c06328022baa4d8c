// Command c: every beat of the recording that matches the reference beat is
// measured, its QRST area summed for each of the 64 mapping leads.

#include "compute/compute.h"

#include <algorithm>
#include <functional>
#include <span>
#include <vector>

#include "compute/lead_timing.h"
#include "compute/messages.h"
#include "marking/messages.h"
#include "results/log_format.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Sample positions of one beat's fiducial points (1 sample = 1 ms).
struct BeatPoints {
  std::int32_t pq;  // baseline sample
  std::int32_t q;   // first sample of the sum
  std::int32_t t;   // last sample of the sum
};

// A beat-window index f stands for sample r + f - 200 of the beat with R at r.
BeatPoints beat_points(const MarkingState& marking, std::int32_t r) {
  return {r + marking.pq_point - r_peak_index, r + marking.q_start - r_peak_index,
          r + marking.t_end - r_peak_index};
}

bool in_recording(std::int32_t position) { return position >= 1 && position <= recorded_samples; }

// A beat can be measured only when all three points lie in the recording;
// this also keeps the sum from reading outside the sample matrix.
bool measurable(const BeatPoints& points) {
  return in_recording(points.pq) && in_recording(points.q) && in_recording(points.t);
}

// The selection's J point, settled before its first beat is measured: the
// marked one when it lies between the Q start and the T end, otherwise the
// one the leads of the reference beat suggest.
void settle_j_point(const SampleMatrix& sample_matrix, const MarkingState& marking,
                    SelectionSource& source) {
  if (source.j_point != 0) return;
  source.j_given = marking.j_point != 0 && marking.j_point >= marking.q_start &&
                   marking.j_point <= marking.t_end;
  if (source.j_given) {
    source.j_point = marking.j_point;
    return;
  }
  const std::int32_t r = marking.selected_beat;
  const BeatPoints points = beat_points(marking, r);
  source.j_point = propose_j(sample_matrix, points.q, points.t) - r + r_peak_index;
}

// Sums every mapping lead from Q to T (both included, none when T < Q)
// against its sample at the PQ point, and stores the areas as the next
// accepted beat. The frame loop is outermost so that the 64 leads of one
// sample position are read together.
void measure_beat(const SampleMatrix& sample_matrix, const BeatPoints& points, std::int32_t r,
                  Selection& selection) {
  selection.n_accepted = selection.n_accepted + 1;
  selection.accepted_beats(selection.n_accepted) = r;
  Array1<std::int32_t, lead_point_count> baseline;
  Array1<std::int32_t, lead_point_count> area_sum;
  for (long lead = 1; lead <= lead_point_count; ++lead)
    baseline(lead) = sample_matrix(lead + lead_channel_offset, points.pq);
  // At most 32,000 terms of at most 65,535 each: the sum stays inside 32 bits.
  for (std::int32_t t = points.q; t <= points.t; ++t)
    for (long lead = 1; lead <= lead_point_count; ++lead)
      area_sum(lead) += sample_matrix(lead + lead_channel_offset, t) - baseline(lead);
  for (long lead = 1; lead <= lead_point_count; ++lead)
    selection.aqrst(lead, selection.n_accepted) = scaled_area(area_sum(lead));
  const std::int32_t j = r + selection.source.j_point - r_peak_index;
  selection.lead_measures.push_back(
      measure_leads(sample_matrix, {points.pq, points.q, j, points.t}, r));
}

}  // namespace

bool measure_or_leave_out(const SampleMatrix& sample_matrix, const MarkingState& marking,
                          std::int32_t r, Selection& selection, Io& io) {
  const BeatPoints points = beat_points(marking, r);
  if (!measurable(points)) {
    io.write_line(console_unit, {compute_text::beat_left_out, r});
    log_format::write_left_out(io, r);
    selection.source.left_out.push_back({r, std::string(left_out_by_points)});
    return false;
  }
  settle_j_point(sample_matrix, marking, selection.source);
  measure_beat(sample_matrix, points, r, selection);
  return true;
}

void detect_whole_recording(const SampleMatrix& sample_matrix, const AnalysisConditions& conditions,
                            std::int32_t reference_end, DetectionState& detection,
                            const RecognitionState& recognition, Io& io) {
  detection.span_len = max_span;
  detect(sample_matrix, conditions, detection.span_len, reference_end, false, detection);
  sort_candidates(detection);
  count_candidates(detection);
  recognise(io, sample_matrix, conditions.corr_threshold, detection, recognition);
}

void sort_left_out(SelectionSource& source) {
  std::stable_sort(source.left_out.begin(), source.left_out.end(),
                   [](const LeftOutBeat& a, const LeftOutBeat& b) { return a.r_ms < b.r_ms; });
}

void note_selection_source(char command, const AnalysisConditions& conditions,
                           const MarkingState& marking, const DetectionState& detection,
                           Selection& selection) {
  SelectionSource& source = selection.source;
  source = SelectionSource{};
  source.command = command;
  source.reference_r = marking.selected_beat;
  source.pq_point = marking.pq_point;
  source.q_start = marking.q_start;
  source.t_end = marking.t_end;
  source.leads = {conditions.first_lead - lead_channel_offset,
                  conditions.second_lead - lead_channel_offset,
                  conditions.third_lead - lead_channel_offset};
  source.corr_threshold = conditions.corr_threshold;
  source.r_ratio = conditions.r_ratio;
  source.print_flag = conditions.print_flag;
  // Recognition rewrote beat_positions in place; the candidates it compared
  // are r_positions sorted the same way, latest first.
  std::vector<std::int32_t> compared;
  for (long k = 1; k <= candidate_slots; ++k)
    if (detection.r_positions(k) != 0) compared.push_back(detection.r_positions(k));
  std::sort(compared.begin(), compared.end(), std::greater<>());
  for (long k = std::min<long>(detection.n_candidates, static_cast<long>(compared.size())); k >= 1;
       --k)
    if (detection.beat_positions(k) == 0)
      source.left_out.push_back(
          {compared[static_cast<std::size_t>(k - 1)], std::string(left_out_by_correlation)});
}

std::int32_t scaled_area(std::int32_t area_sum) {
  // The area scaling, (16 x sum taken as a real) x 0.3125 / 1000, is
  // sum x 5 / 1000 = sum / 200 because 16 x 0.3125 = 5 exactly. Evaluated
  // step by step in single precision it gives the same truncated quotient
  // for every |sum| up to 16,777,398 (checked one by one), which covers any
  // beat of physiological size: a whole second from Q to T at 16,000 units
  // off the baseline stays below. The sums that can occur reach further,
  // though: Q and T lie in the recording (else the beat is left out), so a
  // sum has at most 32,000 terms of at most 65,535 each. Beyond 16,777,398
  // single precision rounds some quotients up by one (16,777,399 would give
  // 83,887, not 83,886), and beyond 134,217,727 the 32-bit product 16 x sum
  // overflows. The integer quotient is the one form that holds for all of
  // them; like the real conversion it truncates toward zero.
  return area_sum / 200;
}

void measure_and_print_beats(const ComputeContext& c, Io& io) {
  const bool printing = c.conditions.print_flag == 1;
  int printed = 0;
  const DetectionState& detection = c.detection;
  for (long j = detection.n_candidates; j >= 1; --j) {
    const std::int32_t r = detection.beat_positions(j);
    if (r <= 0) continue;
    if (!measure_or_leave_out(c.recording.sample_matrix, c.marking, r, c.selection, io)) continue;
    if (printing) {
      print_beat(c, io, r);
      ++printed;
    }
  }
  // Without a printed beat the active window is the graphics window, whose
  // picture must not replace the page image.
  if (printing && printed > 0) final_page(c.print, c.paths, io);
  io.write_line(graphics_unit, std::span<const Item>{});
}

void compute_all(const ComputeContext& c, Io& io) {
  if (c.recognition.corr_lead == 0) {
    io.write_line(console_unit, {marking_text::no_template});
    io.write_line(graphics_unit, {marking_text::no_template});
    return;
  }
  io.write_line(console_unit, {compute_text::calculating});
  clear_selection(c.selection);
  // The slope minimum comes from the first four seconds only, as in the preview.
  detect_whole_recording(c.recording.sample_matrix, c.conditions, preview_reference_end,
                         c.detection, c.recognition, io);
  note_selection_source('c', c.conditions, c.marking, c.detection, c.selection);
  measure_and_print_beats(c, io);
  sort_left_out(c.selection.source);
}

}  // namespace ba

#pragma once
// Whole-waveform computation (command c) and its print pages.

#include <cstdint>

#include "detection/detection.h"
#include "detection/recognition.h"
#include "dialogue/conditions.h"
#include "dialogue/paths.h"
#include "marking/marking.h"
#include "recording/recording.h"
#include "results/selection.h"
#include "runtime/one_based.h"

namespace ba {

class Io;

inline constexpr int strip_room = 4000;
inline constexpr int strip_samples = 100;
inline constexpr int strip_clip = 1800;  // recorder units drawn at most

struct PrintState {
  std::int32_t image_no = 0;               // current print page, 0 when printing is off
  std::int16_t print_unit = 0;             // window unit of the current page
  std::int16_t off_x = 0;                  // pixel column of the next strip's left edge
  std::int16_t off_y = 0;                  // pixel row of the next strip's zero line
  Array1<std::int16_t, strip_room> strip;  // 100 used
};

// What command c reads and writes.
struct ComputeContext {
  const AnalysisConditions& conditions;
  const RecordingPaths& paths;  // the page images and the name on each page
  const RecordingState& recording;
  const MarkingState& marking;  // the confirmed fiducial points
  DetectionState& detection;
  const RecognitionState& recognition;  // the reference beat chosen by s
  Selection& selection;
  PrintState& print;
};

// Command c.
void compute_all(const ComputeContext& c, Io& io);
// The first steps of commands c and v: detection over the whole recording
// (the slope minimum taken over samples 2..reference_end), the candidates
// sorted and counted, and each one recognised against the reference beat.
void detect_whole_recording(const SampleMatrix& sample_matrix, const AnalysisConditions& conditions,
                            std::int32_t reference_end, DetectionState& detection,
                            const RecognitionState& recognition, Io& io);
// The measurement as command c runs it after recognition: each accepted beat
// measured and, when printing, drawn on the print page; beats that cannot be
// measured reported; the last page saved when a beat was printed.
void measure_and_print_beats(const ComputeContext& c, Io& io);
// Measures the beat with R at r as the next accepted beat of the selection.
// A beat whose fiducial points fall outside the recording cannot be measured:
// it is left out with a console line and a log record. True when measured.
bool measure_or_leave_out(const SampleMatrix& sample_matrix, const MarkingState& marking,
                          std::int32_t r, Selection& selection, Io& io);
// Keeps in the selection what the c or v command (`command`) is using: the
// conditions, the reference beat, the three points, and every candidate
// that recognition struck out, at its position before alignment.
// Puts the left-out beats in time order.
void sort_left_out(SelectionSource& source);
void note_selection_source(char command, const AnalysisConditions& conditions,
                           const MarkingState& marking, const DetectionState& detection,
                           Selection& selection);
// area sum / 200 truncated toward zero, as the program's scaling gives it.
std::int32_t scaled_area(std::int32_t area_sum);

// Print pages.
void page_setup(PrintState& print, const RecordingPaths& paths, Io& io);
void print_beat(const ComputeContext& c, Io& io, std::int32_t r);
void final_page(const PrintState& print, const RecordingPaths& paths, Io& io);

}  // namespace ba

#pragma once
// The selection: the accepted beats of the last v or c command and their
// QRST areas, saved and emptied by command d.

#include <cstdint>
#include <vector>

#include "recording/recording.h"
#include "runtime/one_based.h"
#include "runtime/textform.h"

namespace ba {

class Io;
struct AnalysisConditions;
struct DetectionState;
struct DisplayGeometry;
struct MarkingState;
struct MenuState;
struct RecognitionState;
struct RecordingPaths;

inline constexpr int selection_room = 200;

struct Selection {
  std::int32_t n_accepted = 0;
  Array1<std::int32_t, selection_room> accepted_beats;            // R positions, time order
  Matrix1<std::int32_t, lead_point_count, selection_room> aqrst;  // (lead, beat)
};

// State of the beat being reviewed by command v.
struct ReviewState {
  std::int32_t beat_r = 0;    // R position of the beat shown
  std::int32_t pq_abs = 0;    // its PQ-segment point
  std::int32_t baseline = 0;  // baseline of one lead
};

// Empties the selection: all 200 entries of accepted_beats and aqrst, and
// n_accepted.
void clear_selection(Selection& selection);

// What command v reads and writes.
struct ReviewContext {
  const AnalysisConditions& conditions;
  const RecordingState& recording;
  DetectionState& detection;
  RecognitionState& recognition;
  MarkingState& marking;  // fiducial points read; the beat is drawn through beat_wave
  DisplayGeometry& geometry;
  Selection& selection;
  ReviewState& review;
};

// Command v: detect over the whole recording, recognise, review each
// accepted beat with one click.
void view_all_beats(const ReviewContext& c, Io& io);
// The review loop alone: collects the aligned candidates of beat_positions
// (1..n_candidates, latest first) earliest first into the selection and
// shows each one until a click.
void review_accepted_beats(const ReviewContext& c, Io& io);
// Command d: confirm and save the selection to the result file, then empty it.
void save_selection(Selection& selection, const RecordingPaths& paths, MenuState& menu, Io& io);
// The statements of the result file for a selection.
std::vector<std::vector<Item>> result_statements(const Selection& selection);

}  // namespace ba

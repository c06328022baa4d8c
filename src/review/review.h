#pragma once
// Command v, the review of every accepted beat, and command d, which saves
// the selection to the result file.

#include "recording/recording.h"
#include "results/selection.h"

namespace ba {

class Io;
struct AnalysisConditions;
struct DetectionState;
struct DisplayGeometry;
struct MarkingState;
struct MenuState;
struct RecognitionState;
struct RecordingPaths;

// What command v reads and writes.
struct ReviewContext {
  const AnalysisConditions& conditions;
  const RecordingState& recording;
  DetectionState& detection;
  const RecognitionState& recognition;  // the reference beat chosen by s
  MarkingState& marking;                // fiducial points read; the beat is drawn through beat_wave
  DisplayGeometry& geometry;
  Selection& selection;
};

// Command v: detect over the whole recording, recognise, review each
// accepted beat with one click.
void view_all_beats(const ReviewContext& c, Io& io);
// The review loop alone: collects the aligned candidates of beat_positions
// (1..n_candidates, latest first) earliest first into the selection and
// shows each one until a click.
void review_accepted_beats(const ReviewContext& c, Io& io);
// Command d: confirm and save the selection to the result file, then empty it
// (kept when the file could not be written).
SaveOutcome save_selection(Selection& selection, const RecordingPaths& paths, MenuState& menu,
                           Io& io);

}  // namespace ba

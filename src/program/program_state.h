#pragma once
// Everything the program keeps for the whole run, one plain struct per
// subsystem, gathered in one object that is passed by reference.

#include "compute/compute.h"
#include "detection/detection.h"
#include "detection/recognition.h"
#include "dialogue/answer.h"
#include "dialogue/conditions.h"
#include "dialogue/paths.h"
#include "display/plot.h"
#include "marking/marking.h"
#include "recording/recording.h"
#include "results/selection.h"
#include "review/review.h"

namespace ba {

struct ProgramState {
  AnalysisConditions conditions;
  RecordingPaths paths;
  RecordingState recording;
  DetectionState detection;
  RecognitionState recognition;
  DisplayGeometry geometry;
  MenuState menu;
  MarkingState marking;
  Selection selection;
  PrintState print;
};

// The parts of the state each command reads and writes.
inline MarkingContext marking_context(ProgramState& s, MarkingListener* listener = nullptr) {
  return {s.conditions, s.recording,   s.detection, s.geometry,
          s.marking,    s.recognition, s.menu,      listener};
}
inline ComputeContext compute_context(ProgramState& s) {
  return {s.conditions, s.paths,       s.recording, s.marking,
          s.detection,  s.recognition, s.selection, s.print};
}
inline ReviewContext review_context(ProgramState& s) {
  return {s.conditions, s.recording, s.detection, s.recognition,
          s.marking,    s.geometry,  s.selection};
}

}  // namespace ba

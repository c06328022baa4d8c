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
#include "program/menu.h"
#include "recording/recording.h"
#include "review/selection.h"

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
  ReviewState review;
  PrintState print;
};

// The whole program: start-up dialogue, recording name, loading, display.
// Returns normally at the end of the exit sequence; failures propagate as
// exceptions (runtime/errors.h).
void run_program(ProgramState& state, Io& io);

}  // namespace ba

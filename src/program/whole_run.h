#pragma once
// The whole program on one platform and file layer, with a program state of
// its own: for callers that run it as a unit and do not see its state.

#include <functional>

namespace ba {

class Io;
struct MarkingState;

// Start-up dialogue, recording name, loading, display, until the exit
// sequence. Failures propagate as exceptions (runtime/errors.h).
// `reach_marking`, when given, is shown the program's marking state before
// the run starts, so that fiducial points can be given as numbers.
void run_whole_program(Io& io, const std::function<void(MarkingState&)>& reach_marking = {});

}  // namespace ba

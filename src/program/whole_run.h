#pragma once
// The whole program on one platform and file layer, with a program state of
// its own: for callers that run it as a unit and do not see its state.

namespace ba {

class Io;

// Start-up dialogue, recording name, loading, display, until the exit
// sequence. Failures propagate as exceptions (runtime/errors.h).
void run_whole_program(Io& io);

}  // namespace ba

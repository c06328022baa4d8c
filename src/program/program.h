#pragma once
// The whole program: start-up dialogue, recording name, loading, display
// set-up and the main loop.

namespace ba {

class Io;
class SelectionListener;
struct ProgramState;

// Returns normally at the end of the exit sequence; failures propagate as
// exceptions (runtime/errors.h). Every selection c or v leaves is handed to
// `listener`.
void run_program(ProgramState& state, Io& io, SelectionListener& listener);

}  // namespace ba

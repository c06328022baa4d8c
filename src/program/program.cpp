#include "program/program_state.h"
#include "runtime/io.h"

namespace ba {

void run_program(ProgramState& state, Io& io) {
  run_startup_dialogue(io, state.conditions);
  ask_recording_name(io, state.paths);
  load_recording(io, state.paths.recording_path, state.recording);
  display_setup(state, io);
  run_display(state, io);
}

}  // namespace ba

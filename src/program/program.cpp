#include "program/program.h"

#include "program/main_loop.h"
#include "program/program_state.h"
#include "runtime/io.h"

namespace ba {

void run_program(ProgramState& state, Io& io, SelectionListener& listener) {
  run_startup_dialogue(io, state.conditions);
  ask_recording_name(io, state.paths);
  load_recording(io, state.paths.recording_path, state.recording);
  display_setup(state, io);
  run_main_loop(state, io, listener);
}

}  // namespace ba

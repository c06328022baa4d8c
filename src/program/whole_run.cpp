#include "program/whole_run.h"

#include <memory>

#include "program/program_state.h"

namespace ba {

void run_whole_program(Io& io, const std::function<void(MarkingState&)>& reach_marking) {
  // The state holds the whole recording: too large for the stack.
  auto state = std::make_unique<ProgramState>();
  if (reach_marking) reach_marking(state->marking);
  run_program(*state, io);
}

}  // namespace ba

#include "program/whole_run.h"

#include <memory>

#include "program/program_state.h"

namespace ba {

void run_whole_program(Io& io) {
  // The state holds the whole recording: too large for the stack.
  auto state = std::make_unique<ProgramState>();
  run_program(*state, io);
}

}  // namespace ba

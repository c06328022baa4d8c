#include "program/whole_run.h"

#include <memory>

#include "program/program.h"
#include "program/program_state.h"
#include "results/selection.h"
#include "runtime/large_block.h"

namespace ba {

namespace {

// Nobody here shows the selections on the way: the files are what counts.
class UnwatchedSelections : public SelectionListener {
 public:
  void selection_measured(const std::vector<ResultBeat>& /*beats*/) override {}
};

}  // namespace

void run_whole_program(Io& io, const std::function<void(MarkingState&)>& reach_marking) {
  // The state holds the whole recording: too large for the stack.
  auto state = make_large<ProgramState>();
  if (reach_marking) reach_marking(state->marking);
  UnwatchedSelections listener;
  run_program(*state, io, listener);
}

}  // namespace ba

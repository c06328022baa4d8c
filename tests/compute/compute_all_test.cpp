// Command c as the menu runs it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "compute/compute.h"
#include "compute/messages.h"
#include "marking/messages.h"
#include "program/program_state.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

TEST(ComputeAll, RefusedUntilAReferenceBeatIsChosen) {
  test::TestBench bench;
  auto state = std::make_unique<ProgramState>();
  state->selection.n_accepted = 2;
  state->selection.accepted_beats(1) = 1200;
  state->selection.aqrst(5, 2) = -17;
  state->detection.span_len = preview_span;

  compute_all(compute_context(*state), bench.io);  // the log is not open: any record would throw

  const std::string refusal = std::string(" ") + marking_text::no_template;
  EXPECT_EQ(bench.platform.lines_of(console_unit), std::vector<std::string>{refusal});
  EXPECT_EQ(bench.platform.lines_of(graphics_unit), std::vector<std::string>{refusal});
  EXPECT_EQ(state->selection.n_accepted, 2);
  EXPECT_EQ(state->selection.accepted_beats(1), 1200);
  EXPECT_EQ(state->selection.aqrst(5, 2), -17);
  EXPECT_EQ(state->detection.span_len, preview_span);
}

}  // namespace
}  // namespace ba

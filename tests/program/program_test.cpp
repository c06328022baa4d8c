// The order of the whole start: conditions, name, recording, display.

#include "program/program.h"

#include <gtest/gtest.h>

#include <memory>

#include "program/program_state.h"
#include "runtime/errors.h"
#include "support/failures.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

TEST(RunProgram, ReadsTheNamedRecordingRightAfterTheDialogue) {
  test::TestBench bench;
  bench.platform.typed_lines = {"1", "nofile"};
  auto state = std::make_unique<ProgramState>();
  const auto failure = test::io_failure_of([&] { run_program(*state, bench.io, bench.platform); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind(), IoFailure::Kind::open);
  EXPECT_EQ(failure->unit(), recording_unit);
  const auto console = bench.platform.lines_of(console_unit);
  ASSERT_GE(console.size(), 2u);
  EXPECT_EQ(console.back(), " d:\\data\\map\\nofile            を読み込み中です。");
  EXPECT_EQ(state->paths.recording_name, "nofile");
  EXPECT_TRUE(bench.platform.opened_windows.empty());  // no display before the recording
}

}  // namespace
}  // namespace ba

#include "results/selection.h"

#include <gtest/gtest.h>

#include <memory>

namespace ba {
namespace {

// The beats handed on from a selection: only the accepted ones, in their
// order, each with all 64 areas, and none from an emptied selection.
TEST(SelectedBeats, EveryAcceptedBeatWithEveryArea) {
  auto selection = std::make_unique<Selection>();
  selection->n_accepted = 2;
  selection->accepted_beats(1) = 435;
  selection->accepted_beats(2) = 1387;
  selection->accepted_beats(3) = 2400;  // left over from an earlier, longer selection
  for (long lead = 1; lead <= lead_point_count; ++lead) {
    selection->aqrst(lead, 1) = static_cast<std::int32_t>(lead);
    selection->aqrst(lead, 2) = static_cast<std::int32_t>(-100 * lead);
  }
  const std::vector<ResultBeat> beats = selected_beats(*selection);
  ASSERT_EQ(beats.size(), 2u);
  EXPECT_EQ(beats[0].r_ms, 435);
  EXPECT_EQ(beats[1].r_ms, 1387);
  EXPECT_EQ(beats[0].areas(1), 1);
  EXPECT_EQ(beats[0].areas(64), 64);
  EXPECT_EQ(beats[1].areas(1), -100);
  EXPECT_EQ(beats[1].areas(64), -6400);

  clear_selection(*selection);
  EXPECT_TRUE(selected_beats(*selection).empty());
  EXPECT_EQ(selection->accepted_beats(3), 0);
  EXPECT_EQ(selection->aqrst(64, 2), 0);
}

}  // namespace
}  // namespace ba

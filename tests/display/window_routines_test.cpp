// The program's own window routines: a print page and a beat label.
#include "display/window_routines.h"

#include <gtest/gtest.h>

#include "display/palette.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

TEST(ChartFeed, OpensAWhitePageAndClearsIt) {
  test::TestBench bench;
  CHART_FEED(bench.io, 14);
  EXPECT_EQ(bench.platform.calls,
            (std::vector<std::string>{"open_window 14", "set_background_rgb", "clear_window 14"}));
  EXPECT_EQ(bench.platform.active, 14);
  EXPECT_EQ(bench.platform.background[14], rgb(255, 255, 255));
}

TEST(Leadwr, WritesTheTimeRightAlignedAboveTheStrip) {
  test::TestBench bench;
  bench.io.open_window(14);
  LEADWR(bench.io, 50, 80, 1234, 0);
  LEADWR(bench.io, 155, 190, 1234, 1);
  ASSERT_EQ(bench.platform.texts.size(), 2u);
  const test::TextDrawn& label = bench.platform.texts[0];
  EXPECT_EQ(label.text, "  1234 ");
  EXPECT_EQ(label.x, 20);
  EXPECT_EQ(label.y, 30);
  EXPECT_EQ(label.font, "t'Times New Roman'h12w5");
  EXPECT_EQ(label.colour, window_palette[5]);
  EXPECT_EQ(label.window, 14);
  EXPECT_EQ(bench.platform.texts[1].text, "  5234 ");
  EXPECT_EQ(bench.platform.texts[1].x, 125);
  EXPECT_EQ(bench.platform.texts[1].y, 140);
}

}  // namespace
}  // namespace ba

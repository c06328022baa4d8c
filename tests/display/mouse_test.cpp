// Mouse picking: what SELINTVL waits for and the value it gives back.
#include "display/mouse.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace ba {
namespace {

using test::FakePlatform;

// Remembers the event set of every wait.
class WaitRecorder : public FakePlatform {
 public:
  std::vector<int> event_sets;
  MouseEvent wait_mouse_event(int event_set) override {
    event_sets.push_back(event_set);
    return FakePlatform::wait_mouse_event(event_set);
  }
};

float pick(WaitRecorder& platform) {
  float x = -1.0f;
  SELINTVL(platform, x);
  return x;
}

TEST(Selintvl, LeftClickGivesTheNearestSingleToColumnOverThousand) {
  WaitRecorder platform;
  for (int column = 0; column <= 1200; ++column) {
    platform.clicks.push_back(FakePlatform::left_click(column));
    EXPECT_EQ(pick(platform), static_cast<float>(column / 1000.0)) << column;
  }
  // Multiplying by the single 0.001 would miss by one unit in the last place here.
  platform.clicks.push_back(FakePlatform::left_click(120));
  EXPECT_EQ(pick(platform), 0.12f);
}

TEST(Selintvl, RightClickGivesHalfAndOtherEventsAreIgnored) {
  WaitRecorder platform;
  platform.clicks.push_back({mouse_move, 0, 10, 10});
  platform.clicks.push_back({mouse_left_up, 0, 20, 10});
  platform.clicks.push_back({mouse_right_double, 0, 30, 10});
  platform.clicks.push_back(FakePlatform::right_click(123));
  EXPECT_EQ(pick(platform), 0.5f);
  EXPECT_TRUE(platform.clicks.empty());
  ASSERT_EQ(platform.event_sets.size(), 1u);
  EXPECT_EQ(platform.event_sets[0], 9);
}

}  // namespace
}  // namespace ba

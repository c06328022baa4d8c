// The synthetic recordings with known points: every wave is exactly zero
// outside its interval, so the heart signal is exactly flat in the PR and TP
// segments and leaves zero at the true Q start and T end.

#include "tools/truth_model.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ba::truth {
namespace {

double heart_at(const TruthModel& m, int channel, int t) { return m.heart(channel, m.waves(t)); }

TEST(TruthModel, WavesAreExactlyZeroOutsideTheirIntervals) {
  const struct {
    const char* label;
    Condition condition;
  } cases[] = {
      {"slow, narrow, upright", {45.0, 80.0, TWave::upright, 5.0, 0.0, 0.1, 0.0, 3}},
      {"middle, biphasic", {90.0, 120.0, TWave::biphasic, 20.0, 100.0, 0.3, 10.0, 4}},
      {"fast, wide, low T", {120.0, 140.0, TWave::low, 40.0, 300.0, 0.5, 20.0, 5}},
  };
  const int channel = 30;  // a mapping lead facing the heart
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const TruthModel model(c.condition);
    ASSERT_GE(model.beats().size(), 15u);
    for (std::size_t k = 1; k + 1 < model.beats().size(); ++k) {
      const TrueBeat& b = model.beats()[k];
      ASSERT_LT(b.p_start, b.p_end);
      ASSERT_LT(b.p_end, b.q_start);
      ASSERT_LT(b.q_start, b.r);
      ASSERT_LT(b.r, b.j);
      ASSERT_LT(b.j, b.t_end);
      // The PR segment is flat: nothing of P or of the QRS in it.
      for (int t = b.p_end; t <= b.q_start; ++t) ASSERT_EQ(heart_at(model, channel, t), 0.0) << t;
      // The first sample after Q start and the last before T end are not.
      EXPECT_NE(heart_at(model, channel, b.q_start + 1), 0.0);
      EXPECT_NE(heart_at(model, channel, b.t_end - 1), 0.0);
      // After T end, zero until the next P wave (when there is room).
      for (int t = b.t_end; t <= std::min(model.beats()[k + 1].p_start, b.t_end + 50); ++t)
        ASSERT_EQ(heart_at(model, channel, t), 0.0) << t;
    }
    EXPECT_TRUE(model.t_before_next_p());
  }
  // A rate of 150 with a 160 ms QRS leaves no TP segment.
  EXPECT_FALSE(TruthModel({150.0, 160.0, TWave::upright, 5.0, 0.0, 0.1, 0.0, 6}).t_before_next_p());
}

// A low T wave stays under 0.1 mV in every lead; noise and mains come out at
// the sizes asked for.
TEST(TruthModel, SizesAreThoseAsked) {
  const TruthModel low({70.0, 90.0, TWave::low, 20.0, 0.0, 0.1, 0.0, 8});
  const TrueBeat& b = low.beats()[5];
  double t_peak = 0.0;
  for (int ch = 9; ch <= channel_count; ++ch)
    for (int t = b.j; t <= b.t_end; ++t)
      t_peak = std::max(t_peak, std::abs(low.heart(ch, low.waves(t))));
  EXPECT_GT(t_peak, 40.0);
  EXPECT_LT(t_peak, 100.0);
  // In the PR segment a sample is the noise alone.
  double sum = 0.0;
  int n = 0;
  for (const TrueBeat& beat : low.beats())
    for (int t = beat.p_end + 1; t < beat.q_start; ++t, ++n) {
      const double v = low.sample(40, t, low.waves(t));
      sum += v * v;
    }
  EXPECT_NEAR(std::sqrt(sum / n), 20.0, 1.5);
}

}  // namespace
}  // namespace ba::truth

// The correlation coefficient and the recognition of candidates against the
// template: shifts, threshold, ties and the log record.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "detection/recognition.h"
#include "support/fake_platform.h"
#include "support/state_setup.h"

namespace ba {
namespace {

using Series = Array1<std::int32_t, template_room>;

Series series(int n, auto value_of) {
  Series s;
  for (int i = 1; i <= n; ++i) s(i) = value_of(i);
  return s;
}

float coefficient(const Series& x, const Series& y, int n = template_len) {
  float r = -2.0f;
  CR(x, y, r, n);
  return r;
}

TEST(Correlation, KnownCoefficients) {
  const auto wave = [](int i) { return (i * 37) % 23 - 11 + (i > 20 && i < 30 ? 400 : 0); };
  const Series x = series(template_len, wave);
  const Series rising = series(template_len, [](int i) { return i; });
  const Series flat = series(template_len, [](int) { return 250; });
  struct Row {
    const char* what;
    Series x, y;
    float expected;
    float tolerance;
    int n = template_len;
  };
  const Row rows[] = {
      {"the same series", x, x, 1.0f, 1e-6f},
      {"scaled and offset", x, series(template_len, [&](int i) { return 3 * wave(i) + 7; }), 1.0f,
       1e-6f},
      {"in other units", x, series(template_len, [&](int i) { return 1000 * wave(i); }), 1.0f,
       1e-6f},
      {"negated", x, series(template_len, [&](int i) { return -wave(i); }), -1.0f, 1e-6f},
      {"a falling line", rising, series(template_len, [](int i) { return 52 - i; }), -1.0f, 1e-6f},
      {"a line against a parabola symmetric about the middle", rising,
       series(template_len, [](int i) { return (i - 26) * (i - 26); }), 0.0f, 1e-6f},
      // No spread leaves the coefficient undefined: exactly 0, never a match.
      {"a flat first series", flat, rising, 0.0f, 0.0f},
      {"a flat second series", rising, flat, 0.0f, 0.0f},
      {"one element", rising, rising, 0.0f, 0.0f, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_NEAR(coefficient(row.x, row.y, row.n), row.expected, row.tolerance);
  }
}

// A waveform that matches itself only at zero lag, laid into the
// recognition channel with its middle at chosen positions.
struct Recognition : ::testing::Test {
  test::TestBench bench;
  std::unique_ptr<SampleMatrix> matrix = std::make_unique<SampleMatrix>();
  std::unique_ptr<DetectionState> detection = std::make_unique<DetectionState>();
  RecognitionState recognition;
  std::vector<std::int16_t> shape;  // samples -40..+40 around the middle
  static constexpr int channel = 21;
  static constexpr int reference = 2000;

  Recognition() {
    std::mt19937 random(7);
    for (int i = -40; i <= 40; ++i)
      shape.push_back(
          static_cast<std::int16_t>(std::uniform_int_distribution<int>(-900, 900)(random)));
    lay(reference, 1);
    recognition.corr_lead = channel;
    take_template();
    bench.io.open_log("d:\\data\\map\\teststlog.txt");
  }

  void lay(int middle, int sign) {
    for (int i = -40; i <= 40; ++i)
      (*matrix)(channel, middle + i) = static_cast<std::int16_t>(sign * shape[i + 40]);
  }

  // The template is the 51 samples around the reference beat, as command s takes it.
  void take_template() {
    for (int i = 1; i <= template_len; ++i)
      recognition.template_wave(i) = (*matrix)(channel, reference + i - 26);
  }

  // Recognises the listed candidates (latest first) against the template.
  void run(const std::vector<std::int16_t>& latest_first, float threshold = 0.95f) {
    test::set_candidates(*detection, latest_first);
    recognise(bench.io, *matrix, threshold, *detection, recognition);
  }
  // Where a single candidate listed at `listed` ends up: aligned, or 0 when rejected.
  int aligned(std::int16_t listed, float threshold) {
    run({listed}, threshold);
    return detection->beat_positions(1);
  }

  std::vector<std::string> log_lines() {
    bench.io.close_log();
    std::vector<std::string> lines;
    std::istringstream in(bench.read("teststlog.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(Recognition, MovesMatchingCandidatesByTheirBestShift) {
  lay(9004, 1);   // listed 4 samples early
  lay(6000, 1);   // listed in place
  lay(4993, 1);   // listed 7 samples late
  lay(3000, -1);  // the inverted shape
  run({9000, 6000, 5000, 3000});
  EXPECT_EQ(test::first_entries(detection->beat_positions, 5),
            (std::vector<int>{9004, 6000, 4993, 0, 0}));

  const auto lines = log_lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 18), " k=           1 r=");
  EXPECT_EQ(lines[0].substr(33), " ;  time_dif           4   9004\r");
  EXPECT_EQ(lines[2].substr(33), " ;  time_dif          -7   4993\r");
  // A rejected candidate still shows its best coefficient and shift.
  EXPECT_EQ(lines[3].substr(0, 18), " k=           4 r=");
  EXPECT_EQ(lines[3].substr(lines[3].size() - 8), "      0\r");
}

TEST_F(Recognition, ThresholdIsReachedByEquality) {
  lay(7003, 1);
  (*matrix)(channel, 7003) = static_cast<std::int16_t>((*matrix)(channel, 7003) + 300);
  const float best = best_match(*matrix, recognition, 7000).corr;
  ASSERT_GT(best, 0.5f);
  ASSERT_LT(best, 1.0f);
  EXPECT_EQ(aligned(7000, best), 7003);
  EXPECT_EQ(aligned(7000, std::nextafter(best, 2.0f)), 0);
}

TEST_F(Recognition, EqualCoefficientsGoToTheMoreNegativeShift) {
  // A signal with a period of 10 samples looks the same at shifts -10, 0, +10.
  for (int t = 1; t <= 4000; ++t)
    (*matrix)(channel, t) = static_cast<std::int16_t>(shape[static_cast<std::size_t>(t % 10)]);
  take_template();
  EXPECT_EQ(aligned(3000, 0.95f), 2990);
  EXPECT_EQ(best_match(*matrix, recognition, 3000).shift, -10);
}

TEST_F(Recognition, FlatCandidateNeverCountsAndStaysInPlaceAtZeroThreshold) {
  EXPECT_EQ(aligned(12000, 0.95f), 0);
  EXPECT_EQ(aligned(12000, 0.0f), 12000);
  const ShapeMatch flat = best_match(*matrix, recognition, 12000);
  EXPECT_EQ(flat.corr, 0.0f);
  EXPECT_EQ(flat.shift, 0);
  const auto lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], " k=           1 r=  0.0000000E+00 ;  time_dif           0      0\r");
  EXPECT_EQ(lines[1], " k=           1 r=  0.0000000E+00 ;  time_dif           0  12000\r");
}

// The trial windows may reach the first and the last sample of the matrix
// and no further: a shape there is found at the shift that reaches it, and
// one a sample beyond the furthest shift is found one shift short of it.
TEST_F(Recognition, TrialWindowsReachBothEndsOfTheMatrixAndNoFurther) {
  struct Row {
    const char* what;
    std::int32_t shape_centre, listed, shift;
  };
  const Row rows[] = {
      {"first sample", 26, 36, -10},
      {"last sample", matrix_positions - 25, matrix_positions - 35, 10},
      {"one before the first", 26, 35, -9},
      {"one past the last", matrix_positions - 25, matrix_positions - 34, 9},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (int i = 1; i <= template_len; ++i)
      (*matrix)(channel, row.shape_centre + i - 26) =
          static_cast<std::int16_t>(recognition.template_wave(i));
    const ShapeMatch match = best_match(*matrix, recognition, row.listed);
    EXPECT_NEAR(match.corr, 1.0f, 1e-5f);
    EXPECT_EQ(match.shift, row.shift);
  }
}

TEST_F(Recognition, NoCandidateWritesNothing) {
  run({});
  EXPECT_TRUE(log_lines().empty());
}

}  // namespace
}  // namespace ba

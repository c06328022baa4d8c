// The demonstration recording: file layout, determinism, the beat list and
// the signal properties a real session on it depends on (every beat found by
// the power-fall detection, normal beats alike, ectopic beats apart).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/build_paths.h"
#include "support/fake_platform.h"
#include "tools/demo_model.h"

namespace ba::demo {
namespace {

const DemoModel& model() {
  static const DemoModel m;
  return m;
}

std::vector<Beat> beats_of(BeatKind kind) {
  std::vector<Beat> out;
  for (const Beat& b : model().beats())
    if (b.kind == kind) out.push_back(b);
  return out;
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pearson coefficient of channel c over R-25..R+25 of two beats, the second
// moved by `shift` samples.
double correlation(int c, int r1, int r2, int shift) {
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (int i = -25; i <= 25; ++i) {
    const double x = model().sample(c, r1 + i), y = model().sample(c, r2 + shift + i);
    sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
  }
  const double n = 51;
  return (sxy - sx * sy / n) / std::sqrt((sxx - sx * sx / n) * (syy - sy * sy / n));
}

double best_correlation(int c, int r1, int r2) {
  double best = -1;
  for (int shift = -10; shift <= 10; ++shift) best = std::max(best, correlation(c, r1, r2, shift));
  return best;
}

// Five-point difference of the summed squares of the displayed channels 21,
// 31, 45 at t: how steeply the detection sees the power fall.
double power_slope(int t) {
  auto power = [](int u) {
    double p = 0;
    for (int c : {21, 31, 45}) p += std::pow(model().sample(c, u), 2);
    return p;
  };
  return 2 * power(t + 1) + power(t + 2) - 2 * power(t - 1) - power(t - 2);
}

double deepest_fall(int from, int to) {
  double deepest = 0;
  for (int t = from; t <= to; ++t) deepest = std::min(deepest, power_slope(t));
  return deepest;
}

TEST(DemoRecording, FileIsBigEndianFramesOfTheModelSamples) {
  const auto bytes = model().recording_bytes();
  ASSERT_EQ(bytes.size(), 4608000u);
  const int r = model().beats().front().r;
  struct Row {
    const char* what;
    int c, t;
  };
  const Row rows[] = {
      {"first channel of the first frame", 1, 1},
      {"last channel of the first frame", 72, 1},
      {"the second frame", 1, 2},
      {"the first R peak on lead 13", 21, r},
      {"after the R peak on lead 23", 31, r + 20},
      {"the middle of the recording", 45, 16000},
      {"first lead of the last frame", 9, 32000},
      {"the last two bytes", 72, 32000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::size_t at = 144 * (row.t - 1) + 2 * (row.c - 1);
    int word = 256 * bytes[at] + bytes[at + 1];
    if (word >= 32768) word -= 65536;
    EXPECT_EQ(word, model().sample(row.c, row.t));
  }
  // An R peak on lead 13 is a large positive sample, so both bytes matter.
  EXPECT_GT(model().sample(21, r), 600);
}

TEST(DemoRecording, ToolWritesTheSameFilesAtEveryRun) {
  const auto tool = ba::test::binary_dir() / "make_demo_recording";
  ASSERT_TRUE(std::filesystem::exists(tool)) << "build the make_demo_recording target first";
  const auto folder = test::make_temp_folder("demo") / "nested" / "map";
  const std::string command = tool.string() + " " + folder.string() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const auto bytes = model().recording_bytes();
  EXPECT_TRUE(slurp(folder / "demo.dat") == std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(slurp(folder / "demo_beats.csv"), model().beats_csv());
  EXPECT_TRUE(DemoModel().recording_bytes() == bytes);
  std::filesystem::remove_all(folder.parent_path().parent_path());
}

// One line per beat of the fixed recording, after a header.
TEST(DemoRecording, CsvListsEveryBeatWithItsKind) {
  const std::string csv = model().beats_csv();
  const std::string head = "r_position,kind\n430,normal\n1382,normal\n";
  const std::string tail = "\n30572,normal\n";
  EXPECT_EQ(csv.substr(0, head.size()), head);
  EXPECT_NE(csv.find("\n5336,ectopic\n"), std::string::npos);
  EXPECT_EQ(csv.substr(csv.size() - tail.size()), tail);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::ssize(model().beats()) + 1);
}

TEST(DemoRecording, BeatsSuitASession) {
  const auto& beats = model().beats();
  const auto normals = beats_of(BeatKind::normal);
  const auto ectopics = beats_of(BeatKind::ectopic);
  EXPECT_GE(ectopics.size(), 3u);
  EXPECT_LE(ectopics.size(), 5u);
  // Selectable reference beats: R within 201..3000 ms with room for the pick.
  EXPECT_GE(std::count_if(normals.begin(), normals.end(),
                          [](const Beat& b) { return b.r > 200 && b.r < 2990; }),
            3);
  // The display scale comes from samples 100..1,000 of lead 13: a beat lies there.
  EXPECT_GT(beats.front().r, 200);
  EXPECT_LT(beats.front().r, 950);
  EXPECT_GT(ectopics.front().r, 4000) << "the detection reference comes from normal beats";
  EXPECT_LT(beats.back().r, 31500) << "the last T wave must end inside the recording";
  for (std::size_t i = 1; i < beats.size(); ++i) {
    const int interval = beats[i].r - beats[i - 1].r;
    const bool around_ectopic =
        beats[i].kind == BeatKind::ectopic || beats[i - 1].kind == BeatKind::ectopic;
    if (around_ectopic) {
      EXPECT_GT(interval, 420) << "at " << beats[i].r;
    } else {
      EXPECT_GE(interval, 750) << "at " << beats[i].r;  // 60..80 beats a minute
      EXPECT_LE(interval, 1000) << "at " << beats[i].r;
    }
  }
}

TEST(DemoRecording, DisplayedLeadsStayWithinTheStripRange) {
  for (int c : {21, 31, 45}) {
    int low = 0, high = 0;
    for (int t = 1; t <= samples; ++t) {
      low = std::min<int>(low, model().sample(c, t));
      high = std::max<int>(high, model().sample(c, t));
    }
    EXPECT_GE(low, -1800) << "channel " << c;
    EXPECT_LE(high, 1800) << "channel " << c;
    EXPECT_GT(high - low, 300) << "channel " << c;
  }
}

TEST(DemoRecording, NoiseIsModestAndCentred) {
  double sum = 0, squares = 0;
  int n = 0;
  for (int t = 5000; t < 9000; ++t) {
    const double d = model().sample(21, t) - model().clean_value(21, t);
    sum += d, squares += d * d, ++n;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.5);
  EXPECT_NEAR(std::sqrt(squares / n), DemoModel::noise_sigma, 0.5);
}

TEST(DemoRecording, NormalBeatsAreAlikeAndEctopicBeatsApart) {
  const auto normals = beats_of(BeatKind::normal);
  const int reference = normals[1].r;
  for (const Beat& b : normals) EXPECT_GE(best_correlation(21, reference, b.r), 0.98) << b.r;
  for (const Beat& b : beats_of(BeatKind::ectopic))
    EXPECT_LT(best_correlation(21, reference, b.r), 0.8) << b.r;
}

TEST(DemoRecording, EveryBeatFallsSteeplyEnoughToBeDetected) {
  const double reference = deepest_fall(2, 3998);  // first 4 s
  double weakest_normal = -1e300, deepest_ectopic = 0;
  for (const Beat& b : model().beats()) {
    const double fall = deepest_fall(b.r - 30, b.r + 60);
    EXPECT_LT(fall, 0.65 * reference) << "beat at " << b.r;
    if (b.kind == BeatKind::normal) weakest_normal = std::max(weakest_normal, fall);
    if (b.kind == BeatKind::ectopic) deepest_ectopic = std::min(deepest_ectopic, fall);
    // Between beats (T wave, P wave) the power never falls anywhere near as steeply.
    EXPECT_GT(deepest_fall(b.r + 100, b.r + 400), 0.2 * reference) << "after " << b.r;
  }
  // Over the whole recording the deepest fall may be an ectopic beat's: every
  // normal beat must still reach half of it.
  EXPECT_LT(weakest_normal, 0.6 * deepest_ectopic);
}

TEST(DemoRecording, LeadsVarySmoothlyAndChangePolarity) {
  const int r = model().beats().front().r;
  int positive = 0, negative = 0;
  for (int lead = 1; lead <= 64; ++lead) {
    const double v = model().heart_value(lead + 8, r);
    (v > 0 ? positive : negative)++;
    if ((lead - 1) % 8 != 0) {  // neighbour above in the same column
      const double above = model().heart_value(lead + 7, r);
      EXPECT_LT(std::abs(v - above), 0.2 * std::max(std::abs(v), std::abs(above)) + 30) << lead;
    }
  }
  EXPECT_GT(positive, 8);
  EXPECT_GT(negative, 8);
}

}  // namespace
}  // namespace ba::demo

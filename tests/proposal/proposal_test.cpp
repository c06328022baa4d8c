// The automatic proposal against recordings whose points are known: the
// error limits on a fixed set drawn over the whole range of conditions, and
// the recordings it must refuse or doubt rather than propose for with
// confidence.

#include "proposal/proposal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "runtime/large_block.h"
#include "tools/demo_model.h"
#include "tools/proposal_check.h"

namespace ba {
namespace {

double quantile(std::vector<double> x, double share) {
  std::sort(x.begin(), x.end());
  return x.at(static_cast<std::size_t>(std::ceil(share * static_cast<double>(x.size())) - 1));
}

// The limits a person reviewing only the doubted recordings can rely on.
// Recordings whose T waves run into the next P waves (a fast rate with a
// wide QRS) have no visible T end: they must be doubted or refused, and the
// error limits hold for the others.
TEST(Proposal, HoldsTheErrorLimitsOnTheFixedSet) {
  std::vector<double> q, t, map;
  int seen = 0, pq_inside = 0, flagged = 0;
  for (const auto& condition : truth::validation_set(32)) {
    const truth::Check c = truth::check_proposal(condition);
    const std::string label = "seed " + std::to_string(condition.seed);
    if (c.map_difference && *c.map_difference > 0.10) {
      EXPECT_TRUE(c.doubtful) << label;
    }
    if (c.t_into_p) {
      EXPECT_TRUE(c.doubtful || c.refused || std::abs(c.t_end_error_ms) <= 30) << label;
      continue;
    }
    ASSERT_FALSE(c.refused) << label << ": " << c.refusal;
    ++seen;
    flagged += c.doubtful;
    q.push_back(std::abs(c.q_error_ms));
    t.push_back(std::abs(c.t_end_error_ms));
    pq_inside += c.pq_in_pr;
    if (c.map_difference) map.push_back(*c.map_difference);
  }
  ASSERT_GE(seen, 20);
  EXPECT_LE(quantile(q, 0.5), 5);
  EXPECT_LE(quantile(q, 0.95), 12);
  EXPECT_LE(quantile(t, 0.5), 12);
  EXPECT_LE(quantile(t, 0.95), 30);
  EXPECT_GE(pq_inside, 0.95 * seen);
  EXPECT_LE(quantile(map, 0.5), 0.02);
  EXPECT_LE(quantile(map, 0.95), 0.05);
  EXPECT_LE(flagged, seen / 10);
}

// The corners of the range, each on its own: a fault that a random set
// might miss shows here with its condition named.
TEST(Proposal, FindsThePointsAtTheCornersOfTheRange) {
  const struct {
    const char* label;
    truth::Condition condition;
  } cases[] = {
      {"45 bpm, biphasic T, 0.3 mV wander at 0.5 Hz",
       {45.0, 100.0, truth::TWave::biphasic, 20.0, 300.0, 0.5, 10.0, 11}},
      {"QRS 160 ms at 90 bpm, inverted T",
       {90.0, 160.0, truth::TWave::inverted, 20.0, 100.0, 0.3, 10.0, 12}},
      {"40 uV noise, 20 uV mains, low T",
       {70.0, 90.0, truth::TWave::low, 40.0, 150.0, 0.2, 20.0, 13}},
      {"140 bpm with a narrow QRS", {140.0, 80.0, truth::TWave::upright, 10.0, 50.0, 0.4, 5.0, 14}},
  };
  for (const auto& c : cases) {
    const truth::Check check = truth::check_proposal(c.condition);
    ASSERT_FALSE(check.refused) << c.label << ": " << check.refusal;
    EXPECT_LE(std::abs(check.q_error_ms), 5) << c.label;
    EXPECT_LE(std::abs(check.j_error_ms), 8) << c.label;
    EXPECT_LE(std::abs(check.t_end_error_ms), 20) << c.label;
    EXPECT_TRUE(check.pq_in_pr) << c.label;
    ASSERT_TRUE(check.map_difference.has_value()) << c.label;
    EXPECT_LE(*check.map_difference, 0.05) << c.label;
    EXPECT_FALSE(check.doubtful) << c.label << ": "
                                 << (check.reasons.empty() ? "" : check.reasons[0]);
  }
}

TEST(Proposal, JsonNamesEveryFigure) {
  Proposal p;
  p.reference_ms = 1387;
  p.pq_ms = -102;
  p.q_ms = -38;
  p.t_end_ms = 352;
  p.j_ms = 37;
  p.pq_confidence = 0.625f;
  p.q_confidence = 1.0f;
  p.t_end_confidence = 1.0f / 3.0f;
  p.beats = 36;
  p.matching = 32;
  p.noise_uv = 5.2119f;
  p.t_peak_uv = 139.25f;
  p.map_change = 0.0625f;
  p.doubtful = true;
  p.reasons = {"noise 85 uV RMS in the PR segment", "a \"quoted\" reason"};
  EXPECT_EQ(proposal_json(p),
            "{\"method\":\"spatial velocity and RMS of the mean beat\",\"version\":1,"
            "\"reference_ms\":1387,\"pq_ms\":-102,\"q_ms\":-38,\"t_end_ms\":352,\"j_ms\":37,"
            "\"confidence\":{\"pq\":0.625,\"q\":1.0,\"t_end\":0.333},\"beats\":36,"
            "\"matching\":32,\"noise_uv\":5.212,\"t_peak_uv\":139.25,\"map_change\":0.063,"
            "\"doubtful\":true,\"reasons\":[\"noise 85 uV RMS in the PR segment\","
            "\"a \\\"quoted\\\" reason\"]}");
}

void fill_with(SampleMatrix& m, const std::function<int(int, int)>& value) {
  for (int t = 1; t <= matrix_positions; ++t)
    for (int ch = 1; ch <= channel_count; ++ch)
      m(ch, t) = static_cast<std::int16_t>(t <= recorded_samples ? value(ch, t) : 0);
}

TEST(Proposal, RefusesOrDoubtsWhatGivesNoPoints) {
  struct Case {
    const char* label;
    std::function<int(int, int)> value;
    const char* refusal;  // nullptr: proposed, but doubted
  };
  const truth::Condition overlapping{150.0, 160.0, truth::TWave::upright, 10.0, 50.0, 0.3, 5.0, 7};
  const truth::TruthModel runs_on(overlapping);
  const Case cases[] = {
      {"all zero", [](int, int) { return 0; }, "the mapping leads are flat: no beats to propose"},
      {"constant", [](int, int) { return -321; },
       "the mapping leads are flat: no beats to propose"},
      {"noise alone, 40 uV",
       [](int ch, int t) {
         return static_cast<int>(std::lround(40.0 * demo::gaussian((std::uint64_t(ch) << 32) | t)));
       },
       "fewer than three beats alike"},
      {"T into the next P at 150 bpm with a 160 ms QRS",
       [&](int ch, int t) { return runs_on.sample(ch, t, runs_on.waves(t)); }, nullptr},
  };
  auto matrix = make_large<SampleMatrix>();
  for (const Case& c : cases) {
    fill_with(*matrix, c.value);
    const auto result = propose(*matrix, ProposalOptions{});
    if (const auto* reason = std::get_if<std::string>(&result)) {
      ASSERT_NE(c.refusal, nullptr) << c.label << ": refused: " << *reason;
      EXPECT_EQ(reason->substr(0, std::string(c.refusal).size()), c.refusal) << c.label;
    } else {
      EXPECT_EQ(c.refusal, nullptr) << c.label << ": proposed";
      EXPECT_TRUE(std::get<Proposal>(result).doubtful) << c.label;
    }
  }
}

// The demonstration recording: the reference is a normal beat of the
// preview, the points lie around its waves (Q at -20 ms, sigma 5; T peak at
// 260 ms, falling with sigma 35), and the ectopic beats are not alike.
TEST(Proposal, ChoosesANormalBeatOfTheDemonstration) {
  const demo::DemoModel model;
  auto matrix = make_large<SampleMatrix>();
  fill_with(*matrix, [&](int ch, int t) { return model.sample(ch, t); });
  const auto result = propose(*matrix, ProposalOptions{});
  ASSERT_EQ(result.index(), 0u) << std::get<std::string>(result);
  const Proposal& p = std::get<Proposal>(result);
  const auto beat =
      std::find_if(model.beats().begin(), model.beats().end(),
                   [&](const demo::Beat& b) { return std::abs(b.r - p.reference_ms) <= 5; });
  ASSERT_NE(beat, model.beats().end());
  EXPECT_EQ(beat->kind, demo::BeatKind::normal);
  EXPECT_GE(p.reference_ms, 201);
  EXPECT_LE(p.reference_ms, 3000);
  EXPECT_LT(p.matching, p.beats) << "the ectopic beats are not alike";
  EXPECT_LT(p.pq_ms, p.q_ms);
  EXPECT_GE(p.q_ms, -50);
  EXPECT_LE(p.q_ms, -30);
  EXPECT_GE(p.t_end_ms, 330);
  EXPECT_LE(p.t_end_ms, 400);
  EXPECT_FALSE(p.doubtful);
}

}  // namespace
}  // namespace ba

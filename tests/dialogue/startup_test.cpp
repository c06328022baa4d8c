// Transcripts of the start-up dialogue: the exact console lines, the clears
// between the questions and the conditions it settles.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogue/conditions.h"
#include "runtime/errors.h"
#include "support/failures.h"
#include "support/fake_platform.h"

namespace ba {
namespace {

using test::TestBench;

const std::string clear = "<clear>";

// Console lines and clears in the order they happened.
std::vector<std::string> transcript(const test::FakePlatform& platform) {
  std::vector<std::string> seen;
  std::size_t line = 0;
  for (const std::string& call : platform.calls) {
    if (call == "clear_window 0") seen.push_back(clear);
    if (call == "put_line 0") seen.push_back(platform.lines[line].text);
    if (call.starts_with("put_line")) ++line;
  }
  return seen;
}

struct DialogueRun {
  AnalysisConditions conditions;
  std::vector<std::string> lines;
  std::size_t answers_left = 0;
};

DialogueRun run_dialogue(const std::vector<std::string>& typed) {
  TestBench bench;
  bench.platform.typed_lines.assign(typed.begin(), typed.end());
  DialogueRun run;
  run.conditions.print_flag = -1;  // the dialogue must set every condition itself
  run_startup_dialogue(bench.io, run.conditions);
  run.lines = transcript(bench.platform);
  run.answers_left = bench.platform.typed_lines.size();
  return run;
}

const std::vector<std::string> opening = {
    " +++++++++++++++++++++++++++++++++++++++++++++++++++++++",
    " このプログラムは32秒間連続的に波形認識を行い、",
    " 60誘導点のAQRSTを多心拍同時に測定するものです。",
    " 動かす前に32秒データ＊.datがドライブd:のフォルダ\\data\\map",
    " にあることを確認してください。",
    " +++++++++++++++++++++++++++++++++++++++++++++++++++++++",
    " 表示する誘導：　　　　　　　　　　13, 23, 37",
    " 波形認識の相関係数：　　　　　　　0.95以上",
    " 微分R波の振幅（最大を１とした比）：0.5以上",
    " 選択心拍の印刷： 　　　　　　　　　印刷する",
    " ",
    " 条件は以上でいいですか？ y or n  (1/0)",
};

std::vector<std::string> opening_then(std::initializer_list<std::string> rest) {
  std::vector<std::string> lines = opening;
  lines.insert(lines.end(), rest);
  return lines;
}

bool same_as_start(const AnalysisConditions& c) {
  const AnalysisConditions start;
  return c.first_lead == start.first_lead && c.second_lead == start.second_lead &&
         c.third_lead == start.third_lead && c.corr_threshold == start.corr_threshold &&
         c.r_ratio == start.r_ratio && c.print_flag == start.print_flag;
}

TEST(StartupDialogue, YesAtTheFirstQuestionKeepsEverythingAndAsksNothingMore) {
  const DialogueRun run = run_dialogue({"1"});
  EXPECT_EQ(run.lines, opening_then({clear}));
  EXPECT_TRUE(same_as_start(run.conditions));
  EXPECT_EQ(run.conditions.first_lead, 21);
  EXPECT_EQ(run.conditions.corr_threshold, 0.95f);
}

TEST(StartupDialogue, NoThenYesEverywhereEchoesTheKeptValues) {
  const DialogueRun run = run_dialogue({"0", "1", "1", "1", "1"});
  EXPECT_EQ(run.lines, opening_then({clear, " 表示する誘導は13, 23, 37です。",
                                     " 表示する誘導はこれでいいですか？ y or n  (1/0)", clear,
                                     " 波形認識の相関係数0.95でいいですか? y or n  (1/0)",
                                     " 係数 :  0.9500000    ", clear,
                                     " 微分R波の振幅比0.5でいいですか? y or n  (1/0)",
                                     " R ratio :  0.5000000    ", clear,
                                     " 心拍を印刷しますか? y or n (1/0)", " 印刷する", clear}));
  EXPECT_TRUE(same_as_start(run.conditions));
}

TEST(StartupDialogue, EveryConditionTyped) {
  const DialogueRun run = run_dialogue({"0", "", "1", "2", "3", "0", "9", "", "55", "2"});
  EXPECT_EQ(
      run.lines,
      opening_then({clear, " 表示する誘導は13, 23, 37です。",
                    " 表示する誘導はこれでいいですか？ y or n  (1/0)",
                    " enter first_lead  :", " enter second_lead  :", " enter third_lead  :", clear,
                    " 波形認識の相関係数0.95でいいですか? y or n  (1/0)",
                    " 係数を入れてください(0.0 - 1.0)  :", " 係数 :  9.0000000E-02", clear,
                    " 微分R波の振幅比0.5でいいですか? y or n  (1/0)",
                    " 微分R波の振幅比を入れてください (0.0 - 1.0)  :", " R ratio :  0.5500000    ",
                    clear, " 心拍を印刷しますか? y or n (1/0)", " 印刷しない", clear}));
  EXPECT_EQ(run.conditions.first_lead, 9);
  EXPECT_EQ(run.conditions.second_lead, 10);
  EXPECT_EQ(run.conditions.third_lead, 11);
  EXPECT_EQ(run.conditions.corr_threshold, 0.09f);
  EXPECT_EQ(run.conditions.r_ratio, 0.55f);
  EXPECT_EQ(run.conditions.print_flag, 2);  // kept as typed: not 1, so no print
}

TEST(StartupDialogue, OnlyAOneWithinThreeCharactersIsYes) {
  struct Case {
    const char* typed;
    bool yes;
  };
  const Case cases[] = {{"1", true},    {"01", true},    {"001", true}, {"  1", true},
                        {"1  9", true}, {"", false},     {"0", false},  {"10", false},
                        {"100", false}, {"   1", false}, {"2", false},  {"-1", false}};
  for (const Case& c : cases) {
    const DialogueRun run = run_dialogue({c.typed, "1", "1", "1", "1"});
    EXPECT_EQ(run.answers_left, c.yes ? 4u : 0u) << '"' << c.typed << '"';
  }
}

TEST(StartupDialogue, LeadsBecomeChannels) {
  const DialogueRun typed_defaults = run_dialogue({"0", "0", "13", "23", "37", "1", "1", "1"});
  EXPECT_EQ(typed_defaults.conditions.first_lead, 21);
  EXPECT_EQ(typed_defaults.conditions.second_lead, 31);
  EXPECT_EQ(typed_defaults.conditions.third_lead, 45);
  const DialogueRun edges = run_dialogue({"0", "0", "-7", "64", "1", "1", "1", "1"});
  EXPECT_EQ(edges.conditions.first_lead, 1);
  EXPECT_EQ(edges.conditions.second_lead, 72);
  EXPECT_EQ(edges.conditions.third_lead, 9);
}

TEST(StartupDialogue, LeadsOutsideTheRecordingAreNamedAndAllThreeAskedAgain) {
  const DialogueRun run =
      run_dialogue({"0", "0", "13", "65", "-8", "14", "24", "38", "1", "1", "1"});
  const std::vector<std::string> expected_leads = {" enter first_lead  :",
                                                   " enter second_lead  :",
                                                   " enter third_lead  :",
                                                   " 誘導65は範囲外です（-7から64まで）。",
                                                   " 誘導-8は範囲外です（-7から64まで）。",
                                                   " ３つの誘導をもう一度入れてください。",
                                                   " enter first_lead  :",
                                                   " enter second_lead  :",
                                                   " enter third_lead  :",
                                                   clear};
  const auto start = run.lines.begin() + static_cast<long>(opening.size()) + 3;
  EXPECT_EQ(std::vector<std::string>(start, start + static_cast<long>(expected_leads.size())),
            expected_leads);
  EXPECT_EQ(run.conditions.first_lead, 22);
  EXPECT_EQ(run.conditions.second_lead, 32);
  EXPECT_EQ(run.conditions.third_lead, 46);
}

TEST(StartupDialogue, CoefficientsWithTwoImpliedDecimals) {
  struct Case {
    const char* typed;
    float value;
  };
  const Case cases[] = {{"9", 0.09f}, {"95", 0.95f}, {".9", 0.9f}, {"0.955", 0.95f},
                        {"1", 0.01f}, {"1.0", 1.0f}, {"150", 1.5f}};  // no range test
  for (const Case& c : cases) {
    const DialogueRun run = run_dialogue({"0", "1", "0", c.typed, "0", c.typed, "1"});
    EXPECT_EQ(run.conditions.corr_threshold, c.value) << c.typed;
    EXPECT_EQ(run.conditions.r_ratio, c.value) << c.typed;
  }
}

TEST(StartupDialogue, OnlyPrintAnswerOneSwitchesPrintingOn) {
  struct Case {
    const char* typed;
    std::int32_t flag;
    const char* shown;
  };
  const Case cases[] = {{"1", 1, " 印刷する"},  {"0", 0, " 印刷しない"}, {"2", 2, " 印刷しない"},
                        {"", 0, " 印刷しない"}, {" 1", 1, " 印刷する"},  {"11", 11, " 印刷しない"}};
  for (const Case& c : cases) {
    const DialogueRun run = run_dialogue({"0", "1", "1", "1", c.typed});
    EXPECT_EQ(run.conditions.print_flag, c.flag) << c.typed;
    EXPECT_EQ(run.lines[run.lines.size() - 2], std::string(c.shown)) << c.typed;
  }
}

TEST(StartupDialogue, ALetterAtAOneOrZeroQuestionEndsWithTheConsoleConversionReport) {
  TestBench bench;
  bench.platform.typed_lines = {"y"};
  AnalysisConditions conditions;
  const auto failure = test::io_failure_of([&] { run_startup_dialogue(bench.io, conditions); });
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->kind(), IoFailure::Kind::conversion);
  EXPECT_EQ(failure->unit(), console_unit);
}

}  // namespace
}  // namespace ba

// beat_analyser propose, analyse --auto and a batch row with auto 1, as a
// driving program runs them.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "app/program_runs.h"
#include "tools/truth_model.h"

namespace ba::test {
namespace {

namespace fs = std::filesystem;

std::size_t files_in(const TempFolder& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), {}));
}

TEST(ProposeVerb, PrintsTheProposalAndWritesNothing) {
  TempFolder folder("propose");
  write_demo_recording(folder / "demo.dat");
  write_host_file(folder / "short.dat", std::string(144, '\0'));
  const struct {
    const char* arguments;
    int status;
    const char* out_start;
    const char* err_start;
  } cases[] = {
      {"propose demo.dat --json", 0, "{\"method\":", ""},
      {"propose demo.dat", 0, "reference 1387 ms", ""},
      {"propose short.dat", 2, "",
       "beat_analyser propose: short.dat: 144 bytes, a recording has 4608000"},
      {"propose demo.dat --leads 1,2,65", 1, "",
       "beat_analyser propose: --leads: lead 65 is not one of 1 to 64"},
  };
  for (const auto& c : cases) {
    const Outcome run = run_beat_analyser(folder.path(), c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << ": " << run.err;
    EXPECT_EQ(run.out.substr(0, std::string(c.out_start).size()), c.out_start) << c.arguments;
    EXPECT_EQ(run.err.substr(0, std::string(c.err_start).size()), c.err_start) << c.arguments;
    EXPECT_EQ(files_in(folder), 2u) << c.arguments << ": nothing written";
  }
}

// The files of analyse --auto are those of analyse with the proposed values;
// the record adds only the proposal.
TEST(ProposeVerb, AnalyseAutoWritesWhatTheProposedChoicesWrite) {
  TempFolder automatic("auto"), chosen("chosen");
  for (const TempFolder* folder : {&automatic, &chosen}) write_demo_recording(*folder / "demo.dat");
  const Outcome proposed = run_beat_analyser(chosen.path(), "propose demo.dat --json");
  ASSERT_EQ(proposed.status, 0) << proposed.err;
  const auto p = nlohmann::json::parse(proposed.out);
  const std::string choices = "--reference " + p["reference_ms"].dump() + " --pq " +
                              p["pq_ms"].dump() + " --q " + p["q_ms"].dump() + " --t-end " +
                              p["t_end_ms"].dump();
  const Outcome by_choices = run_beat_analyser(chosen.path(), "analyse demo.dat " + choices);
  ASSERT_EQ(by_choices.status, 0) << by_choices.err;
  const Outcome by_auto = run_beat_analyser(automatic.path(), "analyse demo.dat --auto");
  ASSERT_EQ(by_auto.status, 0) << by_auto.err;
  EXPECT_EQ(by_auto.out, "") << "a confident proposal says nothing";
  EXPECT_EQ(files_in(automatic), files_in(chosen));
  for (const auto& entry : fs::directory_iterator(chosen.path())) {
    const std::string name = entry.path().filename().string();
    const std::string want = read_host_file(entry.path());
    const std::string got = read_host_file(automatic / name);
    if (name != "demost.record.json") {
      EXPECT_TRUE(got == want) << name;
      continue;
    }
    EXPECT_EQ(got.substr(0, got.find("  \"proposal\"")), want.substr(0, want.find("  \"written")));
    EXPECT_NE(got.find("\"doubtful\": false"), std::string::npos) << got;
  }
}

// A batch row with auto 1 on a recording whose T waves run into the next P
// waves stays ok and says why its proposal is doubted.
TEST(ProposeVerb, BatchRowWithAutoNamesTheDoubt) {
  TempFolder folder("batch_auto");
  const truth::TruthModel fast({150.0, 160.0, truth::TWave::upright, 10.0, 50.0, 0.3, 5.0, 7});
  const auto bytes = fast.recording_bytes();
  write_host_file(folder / "fast.dat",
                  std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  write_demo_recording(folder / "demo.dat");
  write_host_file(folder / "rows.csv", "recording,auto,print\ndemo.dat,1,0\nfast.dat,yes,no\n");
  const Outcome run = run_beat_analyser(folder.path(), "batch rows.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string summary = read_host_file(folder / "batch_summary.csv");
  EXPECT_NE(summary.find("\n1,demo.dat,ok,,"), std::string::npos) << summary;
  EXPECT_NE(summary.find("\n2,fast.dat,ok,\"doubtful: T end not found before the next P wave"),
            std::string::npos)
      << summary;
}

}  // namespace
}  // namespace ba::test

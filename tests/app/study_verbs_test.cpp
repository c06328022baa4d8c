// The reference and metrics verbs as a person runs them: a group made from
// three result files and a fourth file measured against it, and refusals
// that leave nothing written.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "app/program_runs.h"
#include "runtime/sha256.h"

namespace ba {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

// Three beats whose lead 1 is lead1 - 1, lead1, lead1 + 1 (SD 1) and
// every other lead 0, six areas to a line as the program writes them.
std::string result_text(int lead1) {
  std::string text = "           3\r\n";
  for (int beat = 0; beat < 3; ++beat) {
    text += "        " + std::to_string(500 + 800 * beat) + "\r\n";
    for (int n = 1; n <= 64; ++n)
      text += "  " + std::to_string(n == 1 ? lead1 - 1 + beat : 0) +
              (n % 6 == 0 || n == 64 ? "\r\n" : "");
  }
  return text;
}

// The lead table of result_text(lead1): the same areas as QRS areas, every
// lead activated at `at` ms and recovered at 250 ms.
std::string lead_table_text(int lead1, int at) {
  std::string text = "beat,r_ms,lead,qrst_area,qrs_area,stt_area,at_ms,rt_ms,ari_ms\n";
  for (int beat = 0; beat < 3; ++beat)
    for (int n = 1; n <= 64; ++n) {
      const std::string area = std::to_string(n == 1 ? lead1 - 1 + beat : 0);
      text += std::to_string(beat + 1) + "," + std::to_string(500 + 800 * beat) + "," +
              std::to_string(n) + "," + area + "," + area + ",0," + std::to_string(at) + ",250," +
              std::to_string(250 - at) + "\n";
    }
  return text;
}

class StudyVerbs : public ::testing::Test {
 protected:
  void SetUp() override {
    // Group at lead 1: 10, 20, 30 (mu 20, sigma 10); the subject at 50.
    for (int k = 1; k <= 3; ++k) write("g" + std::to_string(k) + ".txt", result_text(10 * k));
    write("subject.txt", result_text(50));
    write("half.csv", "lead,x,y\n1,0,0\n2,1,0\n3,0,1\n4,1,1\n");
  }
  void write(const std::string& name, const std::string& bytes) {
    test::write_host_file(folder / name, bytes);
  }
  Outcome run(const std::string& arguments) { return test::run_beat_analyser(folder, arguments); }

  test::TempFolder temp{"study_verbs"};
  const fs::path& folder = temp.path();
};

TEST_F(StudyVerbs, ReferenceWritesTheGroupWithItsFiles) {
  const Outcome outcome = run("reference g1.txt g2.txt g3.txt -o group.ref.json");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err,
            "beat_analyser reference: group.ref.json: leads 2-64 without spread in the group: no "
            "z there\n"
            "beat_analyser reference: group.ref.json: a KL basis of 1 vector: no NDI, which needs "
            "4 (a group of at least 4 files whose maps differ)\n");
  const auto group = nlohmann::json::parse(test::read_host_file(folder / "group.ref.json"));
  EXPECT_EQ(group["format"], "beat-analyser-reference");
  EXPECT_EQ(group["count"], 3);
  EXPECT_EQ(group["leads"].size(), 64u);
  EXPECT_EQ(group["mean"][0], 20.0);
  EXPECT_EQ(group["sd"][0], 10.0);
  ASSERT_EQ(group["basis"].size(), 1u) << "every mean map lies on lead 1";
  EXPECT_EQ(group["basis"][0]["vector"][0], 1.0);
  EXPECT_EQ(group["files"][1]["name"], "g2.txt");
  EXPECT_EQ(group["files"][1]["sha256"], sha256_hex(result_text(20)));
}

TEST_F(StudyVerbs, MetricsMeasuresAgainstTheGroup) {
  const Outcome alone = run("metrics subject.txt -o alone.csv");
  ASSERT_EQ(alone.status, 0) << alone.err;
  EXPECT_EQ(
      test::read_host_file(folder / "alone.csv"),
      "file,beats,max,max_lead,min,min_lead,variability,ndi,ndi_beats_mean,ndi_beats_sd,"
      "max_abs_z,max_abs_z_lead,leads_z2,leads_z3,total_activation_ms,ari_dispersion_ms,"
      "ari_sd_ms,rt_dispersion_ms,rt_sd_ms,total_activation_z,ari_dispersion_z,rt_dispersion_z\n"
      "subject.txt,3,50,1,0,2,0.125,,,,,,,,,,,,,,,\n")
      << "without a group no group's cells";
  ASSERT_EQ(run("reference g1.txt g2.txt g3.txt -o group.ref.json").status, 0);
  const Outcome outcome = run("metrics subject.txt --reference group.ref.json -o m.csv");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err,
            "beat_analyser metrics: group.ref.json: leads 2-64 without spread in the group: no "
            "z there\n"
            "beat_analyser metrics: group.ref.json: a KL basis of 1 vector: no NDI, which needs "
            "4 (a group of at least 4 files whose maps differ)\n");
  // Variability: lead 1 SD 1 over 64 leads, sqrt(1 / 64); z = (50 - 20) / 10.
  EXPECT_EQ(
      test::read_host_file(folder / "m.csv"),
      "file,beats,max,max_lead,min,min_lead,variability,ndi,ndi_beats_mean,ndi_beats_sd,"
      "max_abs_z,max_abs_z_lead,leads_z2,leads_z3,total_activation_ms,ari_dispersion_ms,"
      "ari_sd_ms,rt_dispersion_ms,rt_sd_ms,total_activation_z,ari_dispersion_z,rt_dispersion_z,"
      "kl1\n"
      "subject.txt,3,50,1,0,2,0.125,,,,3,1,1,1,,,,,,,,,50\n");
}

// With every member's lead table the group keeps the other kinds, and a
// file's AT map departs from the group's; without them the group says so.
TEST_F(StudyVerbs, DepartureOfAnotherKind) {
  for (int k = 1; k <= 3; ++k)
    write("g" + std::to_string(k) + ".leads.csv", lead_table_text(10 * k, 10 * k));
  const Outcome partial = run("reference g1.txt g2.txt subject.txt -o qrst.ref.json");
  ASSERT_EQ(partial.status, 0) << partial.err;
  EXPECT_NE(partial.err.find("keeps QRST maps only: subject.txt has no lead table beside it"),
            std::string::npos)
      << partial.err;
  write("subject.leads.csv", lead_table_text(50, 50));
  const Outcome lacking = run("map subject.txt --kind at --departure qrst.ref.json -o z.png");
  EXPECT_EQ(lacking.status, 2);
  EXPECT_EQ(lacking.err,
            "beat_analyser map: qrst.ref.json: keeps no at maps: it was made from result files "
            "without lead tables\n");
  ASSERT_EQ(run("reference g1.txt g2.txt g3.txt -o group.ref.json").status, 0);
  const auto group = nlohmann::json::parse(test::read_host_file(folder / "group.ref.json"));
  EXPECT_EQ(group["kinds"]["at"]["mean"][0], 20.0);
  EXPECT_EQ(group["kinds"]["at"]["sd"][0], 10.0);
  EXPECT_EQ(group["kinds"]["ari"]["mean"][0], 230.0);
  const Outcome drawn = run("map subject.txt --kind at --departure group.ref.json -o z.png");
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.err, "") << "every lead has its z: (50 - 20) / 10";
}

TEST_F(StudyVerbs, ReportWritesTheTableAndAPagePerFile) {
  ASSERT_EQ(run("reference g1.txt g2.txt g3.txt -o group.ref.json").status, 0);
  write("subject.record.json", R"({"measured_by": "c"})");
  const Outcome outcome = run("report subject.txt g1.txt --reference group.ref.json -o study.pdf");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.err.find("page"), std::string::npos) << "no progress when not on a terminal";
  const std::string pdf = test::read_host_file(folder / "study.pdf");
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_NE(pdf.find("/Count 3"), std::string::npos) << "the table and two files";

  // A report that cannot be written, or a lead table of another file,
  // leaves the old report as it was and no temporary file beside it.
  const auto entries = [&] { return std::distance(fs::directory_iterator(folder), {}); };
  const auto before = entries();
  fs::permissions(folder / "study.pdf", fs::perms(0444));
  const Outcome kept = run("report subject.txt -o study.pdf");
  EXPECT_EQ(kept.status, 2);
  EXPECT_EQ(kept.err, "beat_analyser report: cannot write study.pdf: Permission denied\n");
  fs::permissions(folder / "study.pdf", fs::perms(0644));
  // A disk that fills once 8 kB of the report are written (a file size limit).
  const Outcome full = test::run_beat_analyser(folder, "report subject.txt -o study.pdf", "",
                                               "trap '' XFSZ; ulimit -f 8;");
  EXPECT_EQ(full.status, 2);
  EXPECT_EQ(full.err, "beat_analyser report: cannot write study.pdf: File too large\n");
  write("subject.leads.csv", lead_table_text(20, 50));
  const Outcome mismatched = run("report subject.txt -o study.pdf");
  EXPECT_EQ(mismatched.status, 2);
  EXPECT_EQ(mismatched.err,
            "beat_analyser report: subject.leads.csv: is not the table of subject.txt: beat 1 "
            "lead 1 has QRST area 19, the result file 49\n");
  EXPECT_EQ(test::read_host_file(folder / "study.pdf"), pdf);
  EXPECT_EQ(entries(), before + 1) << "the lead table only";
}

TEST_F(StudyVerbs, RefusalsWriteNothing) {
  ASSERT_EQ(run("reference g1.txt g2.txt g3.txt -o group.ref.json").status, 0);
  struct Row {
    const char* label;
    std::string arguments;
    int status;
    std::string message;
  } rows[] = {
      {"a group of two", "reference g1.txt g2.txt -o out", 2,
       "beat_analyser reference: a reference group needs at least 3 result files, not 2\n"},
      {"group over other leads than the layout",
       "metrics subject.txt --reference group.ref.json "
       "--layout half.csv -o out",
       2,
       "beat_analyser metrics: group.ref.json: was made over other leads than the layout's usable "
       "ones\n"},
      {"a result file as the group", "metrics subject.txt --reference g1.txt -o out", 2,
       "beat_analyser metrics: g1.txt: is not JSON\n"},
      {"the output over an input", "metrics subject.txt -o ./subject.txt", 1,
       "beat_analyser metrics: the output ./subject.txt would replace the input subject.txt\n"
       "Try 'beat_analyser metrics --help' for more information.\n"},
      {"the group over its layout", "reference g1.txt g2.txt g3.txt --layout half.csv -o half.csv",
       1,
       "beat_analyser reference: the output half.csv would replace the input half.csv\n"
       "Try 'beat_analyser reference --help' for more information.\n"},
      {"one person three times", "reference g1.txt g2.txt same.txt -o out", 2,
       "beat_analyser reference: same.txt: holds the same bytes as g1.txt; a group counts each "
       "file once\n"},
      {"a departure map over other leads than the group's",
       "map subject.txt --departure group.ref.json --layout half.csv -o out.png", 2,
       "beat_analyser map: group.ref.json: was made over other leads than the layout's usable "
       "ones\n"},
      {"a report under a PNG name", "report subject.txt -o out.png", 1,
       "beat_analyser report: the report is a PDF: out.png must end in .pdf\n"
       "Try 'beat_analyser report --help' for more information.\n"},
  };
  write("same.txt", result_text(10));
  for (const Row& row : rows) {
    const Outcome outcome = run(row.arguments);
    EXPECT_EQ(outcome.status, row.status) << row.label;
    EXPECT_EQ(outcome.err, row.message) << row.label;
    EXPECT_FALSE(fs::exists(folder / "out")) << row.label;
    EXPECT_FALSE(fs::exists(folder / "out.png")) << row.label;
  }
  EXPECT_EQ(test::read_host_file(folder / "subject.txt"), result_text(50));
  EXPECT_EQ(test::read_host_file(folder / "half.csv"), "lead,x,y\n1,0,0\n2,1,0\n3,0,1\n4,1,1\n");
}

}  // namespace
}  // namespace ba

// beat_analyser batch as a person runs it, on the built program.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/program_runs.h"
#include "results/analysis_record.h"
#include "support/build_paths.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

namespace fs = std::filesystem;
using test::read_host_file;
using test::run_beat_analyser;
using test::TempFolder;
using test::write_host_file;

const fs::path runs = ba::test::source_dir() / "tests" / "runs";

// The choices of the scripted session demo_compute_no_print, as a row.
constexpr const char* demo_choices = "1387,-71,-46,379,0";

// A wrong command line or manifest: refused before any row runs, nothing
// written.
TEST(BatchVerb, RefusesBeforeAnyRowRuns) {
  TempFolder folder("batch-verb");
  write_host_file(folder / "good.csv", "recording,record\na.dat,a.json\n");
  write_host_file(folder / "bad.csv", "recording,record\na.dat,a.json\nb.dat,b.json,extra\n");
  fs::create_directories(folder / "sub" / "batch_summary.csv");
  write_host_file(folder / "sub" / "m.csv", "recording,record\na.dat,a.json\n");
  const std::string itself = "recording,record\na.dat,a.json\n";
  fs::create_directories(folder / "self");
  write_host_file(folder / "self" / "batch_summary.csv", itself);
  fs::create_directories(folder / "reads");
  write_host_file(folder / "reads" / "m.csv", "recording,record\na.dat,batch_summary.csv\n");
  write_host_file(folder / "reads" / "batch_summary.csv", "a record");
  struct Row {
    const char* label;
    const char* arguments;
    int status;
    const char* error;
  };
  const Row rows[] = {
      {"bad manifest", "batch bad.csv", 2,
       "beat_analyser batch: bad.csv:3: 3 fields where the header has 2\n"},
      {"missing manifest", "batch none.csv", 2,
       "beat_analyser batch: none.csv: No such file or directory\n"},
      {"jobs zero", "batch good.csv --jobs 0", 1,
       "beat_analyser batch: --jobs needs a whole number of 1 or more, not '0'\n"
       "Try 'beat_analyser batch --help' for more information.\n"},
      {"row beyond the manifest", "batch good.csv --row 2", 1,
       "beat_analyser batch: --row 2 but the manifest has 1 rows\n"
       "Try 'beat_analyser batch --help' for more information.\n"},
      {"row zero", "batch good.csv --row 0", 1,
       "beat_analyser batch: --row needs a row number of 1 or more, not '0'\n"
       "Try 'beat_analyser batch --help' for more information.\n"},
      {"row with collect", "batch good.csv --row 1 --collect", 1,
       "beat_analyser batch: --row and --collect cannot go together\n"
       "Try 'beat_analyser batch --help' for more information.\n"},
      {"a folder where the summary goes", "batch sub/m.csv --collect", 2,
       "beat_analyser batch: sub/batch_summary.csv: is a folder, not a file\n"},
      {"the manifest where the summary goes", "batch self/batch_summary.csv", 2,
       "beat_analyser batch: self/batch_summary.csv is the manifest itself; give the manifest "
       "another name\n"},
      {"a row's record where the summary goes", "batch reads/m.csv --collect", 2,
       "beat_analyser batch: reads/batch_summary.csv is read by line 2 of the manifest; give "
       "that file another name\n"},
  };
  for (const Row& row : rows) {
    const auto outcome = run_beat_analyser(folder.path(), row.arguments);
    EXPECT_EQ(outcome.status, row.status) << row.label;
    EXPECT_EQ(outcome.err, row.error) << row.label;
    EXPECT_FALSE(fs::exists(folder / "batch_summary.csv")) << row.label;
  }
  EXPECT_EQ(read_host_file(folder / "self" / "batch_summary.csv"), itself);
  EXPECT_EQ(read_host_file(folder / "reads" / "batch_summary.csv"), "a record");
}

// Two recordings analysed and a missing one failing alone; the files are
// those of the scripted session with the same choices; --resume keeps what
// still matches and runs again what changed; --collect sums up the records.
TEST(BatchVerb, AnalysesEveryRowResumesAndCollects) {
  TempFolder folder("batch-verb");
  for (const char* sub : {"one", "two"}) {
    fs::create_directories(folder / sub);
    test::write_demo_recording(folder / sub / "demo.dat");
  }
  write_host_file(folder / "m.csv",
                  std::string("recording,reference_ms,pq_ms,q_ms,t_end_ms,print\n") +
                      "one/demo.dat," + demo_choices + "\n" + "gone/demo.dat," + demo_choices +
                      "\n" + "two/demo.dat," + demo_choices + "\n");
  const auto first = run_beat_analyser(folder.path(), "batch m.csv --jobs 2");
  EXPECT_EQ(first.status, 1) << first.err;
  const fs::path expected = runs / "demo_compute_no_print";
  for (const char* sub : {"one", "two"}) {
    EXPECT_TRUE(read_host_file(folder / sub / "demost.txt") ==
                read_host_file(expected / "expected_demost.txt"))
        << sub;
    EXPECT_TRUE(read_host_file(folder / sub / "demostlog.txt") ==
                read_host_file(expected / "expected_demostlog.txt"))
        << sub;
    EXPECT_TRUE(fs::exists(folder / sub / "demost.record.json")) << sub;
  }
  const std::string summary = read_host_file(folder / "batch_summary.csv");
  EXPECT_TRUE(summary.starts_with(
      "row,recording,status,message,beats_accepted,beats_left_out,seconds\n1,one/demo.dat,ok,,32,"))
      << summary;
  EXPECT_NE(summary.find("\n2,gone/demo.dat,failed,"), std::string::npos) << summary;
  EXPECT_NE(summary.find("gone/demo.dat': cannot be read: No such file or directory"),
            std::string::npos)
      << "the reason is analyse's, not the batch's mark's: " << summary;
  EXPECT_NE(summary.find("\n3,two/demo.dat,ok,,32,"), std::string::npos) << summary;

  // A result file changed since: its row runs again; the other is kept.
  write_host_file(folder / "two" / "demost.txt", "changed\n");
  const auto resumed = run_beat_analyser(folder.path(), "batch m.csv --resume --jobs 1");
  EXPECT_EQ(resumed.status, 1);
  // Away from a terminal a line per row as it ends, then the count.
  EXPECT_TRUE(
      resumed.out.starts_with("row 1 ok one/demo.dat: kept: its record matches\n"
                              "row 2 failed gone/demo.dat: "))
      << resumed.out;
  EXPECT_TRUE(resumed.out.ends_with("\nrow 3 ok two/demo.dat\n3 rows: 2 ok, 1 failed, 0 not run\n"))
      << resumed.out;
  const std::string again = read_host_file(folder / "batch_summary.csv");
  EXPECT_NE(again.find("\n1,one/demo.dat,ok,kept: its record matches,32,"), std::string::npos)
      << again;
  EXPECT_NE(again.find("\n3,two/demo.dat,ok,,32,"), std::string::npos) << again;
  EXPECT_TRUE(read_host_file(folder / "two" / "demost.txt") ==
              read_host_file(expected / "expected_demost.txt"));

  fs::remove(folder / "batch_summary.csv");
  // The last row alone, as a job array runs it: no summary; without --resume
  // it runs again although its record matches.
  const auto alone = run_beat_analyser(folder.path(), "batch m.csv --row 3");
  EXPECT_EQ(alone.status, 0) << alone.err;
  EXPECT_EQ(alone.out.find("kept"), std::string::npos) << alone.out;
  EXPECT_FALSE(fs::exists(folder / "batch_summary.csv"));
  const auto collected = run_beat_analyser(folder.path(), "batch m.csv --collect");
  EXPECT_EQ(collected.status, 1);
  const std::string from_records = read_host_file(folder / "batch_summary.csv");
  EXPECT_NE(from_records.find("\n1,one/demo.dat,ok,,32,"), std::string::npos) << from_records;
  EXPECT_NE(from_records.find("\n2,gone/demo.dat,failed,no record,,,\n"), std::string::npos)
      << from_records;
}

// A row is done only when its record holds exactly its choices and its last
// run ended well: a changed threshold, or the mark of a run that was ended,
// makes --collect count the row failed and --resume run it again.
TEST(BatchVerb, ARowIsDoneOnlyWithItsChoicesAndAGoodLastRun) {
  TempFolder folder("batch-verb");
  fs::create_directories(folder / "one");
  test::write_demo_recording(folder / "one" / "demo.dat");
  const std::string header = "recording,reference_ms,pq_ms,q_ms,t_end_ms,print,threshold\n";
  const fs::path mark = folder / "one" / "demost.unfinished";
  write_host_file(folder / "m.csv", header + "one/demo.dat," + demo_choices + ",\n");
  const auto first = run_beat_analyser(folder.path(), "batch m.csv");
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_FALSE(fs::exists(mark));

  write_host_file(folder / "m.csv", header + "one/demo.dat," + demo_choices + ",0.9\n");
  EXPECT_EQ(run_beat_analyser(folder.path(), "batch m.csv --collect").status, 1);
  const std::string changed = read_host_file(folder / "batch_summary.csv");
  EXPECT_NE(changed.find("\n1,one/demo.dat,failed,\"its record holds threshold 0.95, the row "
                         "asks for 0.9\",,,\n"),
            std::string::npos)
      << changed;
  const auto resumed = run_beat_analyser(folder.path(), "batch m.csv --resume");
  EXPECT_EQ(resumed.status, 0);
  EXPECT_EQ(resumed.out, "row 1 ok one/demo.dat\n1 rows: 1 ok, 0 failed, 0 not run\n");
  const auto record = read_record(read_host_file(folder / "one" / "demost.record.json"));
  ASSERT_EQ(record.index(), 0u);
  EXPECT_EQ(std::get<0>(record).corr_threshold, 0.9f);

  // As a run ended by a second Ctrl+C leaves it, the older files whole.
  write_host_file(mark, "failed: ended by signal 15 (Terminated)\n");
  EXPECT_EQ(run_beat_analyser(folder.path(), "batch m.csv --collect").status, 1);
  EXPECT_NE(
      read_host_file(folder / "batch_summary.csv")
          .find("\n1,one/demo.dat,failed,last run failed: ended by signal 15 (Terminated),,,"),
      std::string::npos);
  const auto again = run_beat_analyser(folder.path(), "batch m.csv --resume");
  EXPECT_EQ(again.out, "row 1 ok one/demo.dat\n1 rows: 1 ok, 0 failed, 0 not run\n");
  EXPECT_FALSE(fs::exists(mark));
}

}  // namespace
}  // namespace ba

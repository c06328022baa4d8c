// beat_analyser analyse as a driving program runs it, and the analysis
// record that command d leaves beside every result file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "app/program_runs.h"
#include "results/analysis_record.h"
#include "support/build_paths.h"

namespace ba::test {
namespace {

namespace fs = std::filesystem;

const char* const session_choices = "--reference 1387 --pq -71 --q -46 --t-end 379";

std::string script_of(const std::string& run) {
  return read_host_file(ba::test::source_dir() / "tests" / "runs" / run / "input.txt");
}

Outcome headless(const TempFolder& folder, const std::string& script) {
  return run_beat_analyser(folder.path(), "--headless --data-dir .", script,
                           "QT_QPA_PLATFORM=offscreen");
}

Outcome analyse(const TempFolder& folder, const std::string& arguments) {
  return run_beat_analyser(folder.path(), "analyse demo.dat " + arguments);
}

// Every file of a folder by name; the record's time of writing blanked.
std::map<std::string, std::string> files_of(const TempFolder& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    std::string bytes = read_host_file(entry.path());
    const std::size_t at = bytes.find("\"written_utc\"");
    if (at != std::string::npos) bytes.erase(at);
    files[entry.path().filename().string()] = bytes;
  }
  return files;
}

// Each scripted session that saves, and the same choices given to analyse,
// or taken from the session's record, write the same files: result file,
// log, every page image and the record.
TEST(AnalyseVerb, WritesWhatTheSessionWrites) {
  const struct {
    const char* run;
    const char* options;
  } runs[] = {
      {"demo_compute", ""}, {"demo_compute_no_print", " --no-print"}, {"demo_view", " --view"}};
  for (const auto& r : runs) {
    SCOPED_TRACE(r.run);
    TempFolder session("session"), choices("choices"), replay("replay");
    for (const TempFolder* folder : {&session, &choices, &replay})
      write_demo_recording(*folder / "demo.dat");
    ASSERT_EQ(headless(session, script_of(r.run)).status, 0);
    const Outcome by_choices = analyse(choices, session_choices + std::string(r.options));
    EXPECT_EQ(by_choices.status, 0) << by_choices.err;
    EXPECT_EQ(by_choices.out, "");
    EXPECT_EQ(by_choices.err, "") << "the drawing platform's notes are not the verb's";
    const Outcome by_record =
        analyse(replay, "--record '" + (session / "demost.record.json").string() + "'");
    EXPECT_EQ(by_record.status, 0) << by_record.err;
    const auto expected = files_of(session);
    EXPECT_TRUE(expected.count("demost.record.json") && expected.count("demost.txt"));
    EXPECT_TRUE(files_of(choices) == expected);
    EXPECT_TRUE(files_of(replay) == expected);
  }
}

// A copy of the program without its module analyses without pages; what
// needs the module says it is missing, and writes nothing.
TEST(AnalyseVerb, WithoutTheModuleOnlyPagesAreMissing) {
  TempFolder folder("no_module");
  fs::copy_file(ba::test::binary_dir() / "beat_analyser", folder / "beat_analyser");
  write_demo_recording(folder / "demo.dat");
  const struct {
    const char* label;
    std::string arguments;
    int status;
    const char* report;  // the start of standard error
  } rows[] = {
      {"no pages: done", std::string("analyse demo.dat --no-print ") + session_choices, 0, ""},
      {"pages: refused", std::string("analyse demo.dat ") + session_choices, 2,
       "beat_analyser analyse: its drawing and file module is missing (looked for "},
      {"headless session: refused", "--headless --data-dir .", 2,
       "beat_analyser: its drawing and file module is missing (looked for "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    for (const char* name : {"demost.txt", "demostlog.txt", "demost.record.json"})
      fs::remove(folder / name);
    const std::string command = "cd '" + folder.path().string() + "' && ./beat_analyser " +
                                row.arguments + " < /dev/null > /dev/null 2> err.txt";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status);
    const std::string err = read_host_file(folder / "err.txt");
    EXPECT_EQ(err.substr(0, std::string(row.report).size()), row.report) << err;
    EXPECT_EQ(fs::exists(folder / "demost.txt"), row.status == 0);
  }
}

TEST(AnalyseVerb, RefusalsWriteNothing) {
  const struct {
    const char* label;
    std::string arguments;
    int status;
    std::string message;  // a part of standard error
  } cases[] = {
      {"no beat in range", "demo.dat --reference 3700 --pq -71 --q -46 --t-end 379", 2,
       "no beat of the preview there within 201 to 3000 ms"},
      {"a point outside the beat window", "demo.dat --reference 1387 --pq -71 --q -46 --t-end 900",
       2, "--t-end 900: outside the beat window"},
      {"a recording that cannot be read", "gone.dat --reference 1387 --pq -71 --q -46 --t-end 379",
       2, "cannot be read"},
      {"a foreign record", "demo.dat --record foreign.json", 2, "not an analysis record"},
      {"a record of another recording", "demo.dat --record other.json", 2,
       "SHA-256 07c46f0dfec7df192f31ff5a74667598f2feb9e6ae844054fa6221d0705036ec, but the record "
       "was made from SHA-256 " +
           std::string(64, '0')},
      {"points missing without a record", "demo.dat --reference 1387 --pq -71", 1,
       "Try 'beat_analyser analyse --help'"},
      {"only --pq missing", "demo.dat --reference 1387 --q -46 --t-end 379", 1,
       "--reference, --pq, --q and --t-end are needed without --record"},
      {"a number that is not one", "demo.dat --reference 1387 --pq x --q -46 --t-end 379", 1,
       "--pq needs a whole number of ms, not 'x'"},
      {"two leads", "demo.dat --reference 1387 --pq -71 --q -46 --t-end 379 --leads 1,2", 1,
       "--leads needs three lead numbers"},
      {"four leads", "demo.dat --reference 1387 --pq -71 --q -46 --t-end 379 --leads 1,2,3,4", 1,
       "--leads needs three lead numbers"},
      // Values the start-up dialogue would never be given: no beat, or every candidate.
      {"a threshold of 95", "demo.dat --reference 1387 --pq -71 --q -46 --t-end 379 --threshold 95",
       2, "threshold 95 is outside 0.0 to 1.0, the range the start-up dialogue asks for"},
      {"a negative ratio", "demo.dat --reference 1387 --pq -71 --q -46 --t-end 379 --ratio -3", 2,
       "ratio -3 is outside 0.0 to 1.0"},
      {"T end before Q start", "demo.dat --reference 1387 --pq -71 --q -46 --t-end -50", 2,
       "T end -50 ms is not after Q start -46 ms: the points go PQ < Q start < T end"},
      {"PQ moved after the record's Q start", "demo.dat --record mine.json --pq -40", 2,
       "Q start -46 ms is not after PQ -40 ms"},
  };
  // A record of another recording: the demonstration's, its digest changed.
  TempFolder source("source");
  write_demo_recording(source / "demo.dat");
  ASSERT_EQ(analyse(source, std::string(session_choices) + " --no-print").status, 0);
  std::string other = read_host_file(source / "demost.record.json");
  const std::string digest = "07c46f0dfec7df192f31ff5a74667598f2feb9e6ae844054fa6221d0705036ec";
  ASSERT_NE(other.find(digest), std::string::npos) << "the demonstration recording changed";
  const std::string mine = other;
  other.replace(other.find(digest), digest.size(), std::string(64, '0'));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder folder("refusal");
    write_demo_recording(folder / "demo.dat");
    write_host_file(folder / "foreign.json", R"({"format": "map-layout", "version": 1})");
    write_host_file(folder / "other.json", other);
    write_host_file(folder / "mine.json", mine);
    const auto before = files_of(folder);
    const Outcome run = run_beat_analyser(folder.path(), "analyse " + c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(files_of(folder) == before);
  }
}

TEST(AnalyseVerb, ConditionsGivenAreTheRecordsConditions) {
  TempFolder folder("conditions");
  write_demo_recording(folder / "demo.dat");
  const Outcome run = analyse(folder, std::string(session_choices) +
                                          " --no-print --leads ' 1, 2,64' --threshold 0.90 "
                                          "--ratio 0.25");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto read = read_record(read_host_file(folder / "demost.record.json"));
  ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
  const AnalysisRecord& record = std::get<0>(read);
  EXPECT_EQ(record.leads, (std::array<std::int32_t, 3>{1, 2, 64}));
  EXPECT_EQ(record.corr_threshold, 0.9f);
  EXPECT_EQ(record.r_ratio, 0.25f);
  EXPECT_FALSE(record.print);
}

TEST(AnalyseVerb, ForceAnalysesAnotherRecordingOfTheRecord) {
  TempFolder source("source"), folder("forced");
  write_demo_recording(source / "demo.dat");
  ASSERT_EQ(analyse(source, std::string(session_choices) + " --no-print").status, 0);
  write_demo_recording(folder / "demo.dat");
  std::string changed = read_host_file(folder / "demo.dat");
  changed[143] ^= 1;  // the last lead's first sample, in no beat's window
  write_host_file(folder / "demo.dat", changed);
  const std::string record = "--record '" + (source / "demost.record.json").string() + "'";
  EXPECT_EQ(analyse(folder, record).status, 2);
  const Outcome forced = analyse(folder, record + " --force");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(read_host_file(folder / "demost.txt"), read_host_file(source / "demost.txt"));
}

TEST(AnalyseVerb, CheckComparesAFreshRunAndChangesNothing) {
  TempFolder folder("check");
  write_demo_recording(folder / "demo.dat");
  const std::string choices = std::string(session_choices) + " --no-print";
  ASSERT_EQ(analyse(folder, choices).status, 0);
  const auto written = files_of(folder);
  const Outcome same = analyse(folder, choices + " --check");
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_TRUE(files_of(folder) == written);

  std::string result = read_host_file(folder / "demost.txt");
  result[result.find("\r\n") + 2 + 11] ^= 1;  // the first beat's R time, last digit
  write_host_file(folder / "demost.txt", result);
  const auto tampered = files_of(folder);
  const Outcome differs = analyse(folder, choices + " --check");
  EXPECT_EQ(differs.status, 1);
  EXPECT_NE(differs.err.find("demost.txt:2: '         434' beside the recording, '         435' in "
                             "the new run"),
            std::string::npos)
      << differs.err;
  EXPECT_TRUE(files_of(folder) == tampered);
}

// A session that measures with c and then with v before it saves keeps
// both runs in its log; --check finds the record's run among them, and
// still finds a change to that run.
TEST(AnalyseVerb, CheckPassesOnASessionThatMeasuredTwice) {
  TempFolder folder("measured_twice");
  write_demo_recording(folder / "demo.dat");
  std::string script = script_of("demo_view");
  const std::string view = "x\nv\n";
  ASSERT_NE(script.find(view), std::string::npos);
  script.replace(script.find(view), view.size(), "x\nc\nv\n");
  ASSERT_EQ(headless(folder, script).status, 0);
  const std::string check = "--record '" + (folder / "demost.record.json").string() + "' --check";
  const Outcome same = analyse(folder, check);
  EXPECT_EQ(same.status, 0) << same.err;

  std::string log = read_host_file(folder / "demostlog.txt");
  const std::size_t last_run = log.rfind(" k=           1 ");
  ASSERT_NE(last_run, std::string::npos);
  log[log.find("\r\n", last_run) - 1] ^= 1;
  write_host_file(folder / "demostlog.txt", log);
  EXPECT_EQ(analyse(folder, check).status, 1);
}

// What d records is the run c made, even when the points are marked again
// before d; the program's own lines stay as they were.
TEST(AnalyseVerb, RecordKeepsThePointsThatComputeUsed) {
  TempFolder folder("marked_again");
  write_demo_recording(folder / "demo.dat");
  std::string script = script_of("demo_compute_no_print");
  const std::string save = "d\ny\nx\n";
  ASSERT_TRUE(script.ends_with(save));
  script.insert(script.size() - save.size(),
                "s\n!click 208 150\ny\ns\n!click 60 150\n!click 90 150\n!click 400 150\ny\nx\n");
  ASSERT_EQ(headless(folder, script).status, 0);
  const auto read = read_record(read_host_file(folder / "demost.record.json"));
  ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
  const AnalysisRecord& record = std::get<0>(read);
  EXPECT_EQ(record.pq_point, 129);
  EXPECT_EQ(record.q_start, 154);
  EXPECT_EQ(record.t_end, 579);
  EXPECT_EQ(record.command, 'c');
  EXPECT_EQ(record.result_file, "demost.txt");
  EXPECT_EQ(record.recording_sha256,
            "07c46f0dfec7df192f31ff5a74667598f2feb9e6ae844054fa6221d0705036ec");
}

// The files d writes beside the result file: one that cannot be replaced
// is kept whole and named on standard error, and the program's lines stay.
TEST(AnalyseVerb, ReadOnlySideFilesAreKeptWithARemarkOnStandardError) {
  const struct {
    const char* file;
    const char* remark;
  } rows[] = {{"demost.record.json", "cannot write the analysis record"},
              {"demost.leads.csv", "cannot write the lead table"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    TempFolder folder("read_only");
    write_demo_recording(folder / "demo.dat");
    write_host_file(folder / row.file, "kept");
    ::chmod((folder / row.file).c_str(), 0444);
    const std::string expected_out =
        read_host_file(ba::test::source_dir() / "tests" / "runs" / "demo_compute_no_print" /
                       "expected_stdout.txt");
    const Outcome session = headless(folder, script_of("demo_compute_no_print"));
    EXPECT_EQ(session.status, 0);
    EXPECT_TRUE(session.out == expected_out) << "the program's lines are unchanged";
    EXPECT_NE(session.err.find(row.remark), std::string::npos) << session.err;
    EXPECT_EQ(read_host_file(folder / row.file), "kept");
    // analyse promises both files: without one the analysis has failed.
    EXPECT_EQ(analyse(folder, std::string(session_choices) + " --no-print").status, 2);
  }
}

}  // namespace
}  // namespace ba::test

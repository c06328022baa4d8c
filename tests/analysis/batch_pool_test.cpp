#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/batch.h"

namespace ba {
namespace {

// Rows whose recording names say how they end: "fail..." fails, "nostart..."
// cannot start, anything else is ok. Rows end newest first, so the order of
// ending is not the manifest's.
class FakeLauncher : public RowLauncher {
 public:
  std::optional<std::string> start(std::size_t slot, const ManifestRow& row) override {
    if (row.recording_text.starts_with("nostart")) return "cannot start it";
    started.push_back(row.recording_text);
    running.push_back({slot, row.recording_text});
    most_at_once = std::max(most_at_once, running.size());
    return std::nullopt;
  }
  std::optional<RowEnd> wait_one() override {
    if (on_wait) on_wait();
    const auto [slot, name] = running.back();
    running.pop_back();
    ++ended;
    RowEnd end{slot, !name.starts_with("fail"), "", 0.25};
    if (end.ok && !terminated) ran_well.insert(name);
    if (terminated)
      end = {slot, false, "ended by signal 15", 0.5};
    else if (!end.ok)
      end.message = "cannot read " + name;
    return end;
  }
  void terminate_running() override { terminated = true; }

  std::vector<std::string> started;
  std::set<std::string> ran_well;
  std::deque<std::pair<std::size_t, std::string>> running;
  std::size_t most_at_once = 0;
  int ended = 0;
  bool terminated = false;
  std::function<void()> on_wait;
};

class QuietProgress : public BatchProgress {
 public:
  void row_ended(const SummaryRow&, int, int, int) override {}
  void finished(int done, int failed, int total) override { counts = {done, failed, total}; }
  std::vector<int> counts;
};

Manifest manifest_of(const std::vector<std::string>& names) {
  Manifest manifest;
  for (const std::string& name : names) {
    ManifestRow row;
    row.recording_text = name;
    manifest.rows.push_back(row);
  }
  return manifest;
}

// A row's files: "kept..." rows have a record that matches, with 30 beats
// accepted and 2 left out, and so have rows that the launcher ran to a good
// end; "stale..." rows end with a record of other choices. Marks are kept as
// the host keeps them: set at the start, the failure at the end.
class FakeFiles : public RowFiles {
 public:
  explicit FakeFiles(const FakeLauncher& launcher) : launcher_(launcher) {}
  RowRecord record(const ManifestRow& row) override {
    const std::string& name = row.recording_text;
    if (name.starts_with("stale")) return {RowRecord::State::stale, "other threshold", 30, 2};
    if (marks.contains(name)) return {RowRecord::State::stale, "last run " + marks[name]};
    if (name.starts_with("kept") || launcher_.ran_well.contains(name))
      return {RowRecord::State::matches, "", 30, 2};
    return {};
  }
  std::optional<std::string> starting(const ManifestRow& row) override {
    if (row.recording_text.starts_with("nomark")) return "cannot mark it";
    marks[row.recording_text] = "started";
    return std::nullopt;
  }
  std::optional<std::string> ended(const ManifestRow& row, const std::string& failure) override {
    if (failure.empty())
      marks.erase(row.recording_text);
    else
      marks[row.recording_text] = "failed: " + failure;
    return std::nullopt;
  }
  std::map<std::string, std::string> marks;

 private:
  const FakeLauncher& launcher_;
};

// One line per summary row: "row status message accepted left_out".
std::vector<std::string> described(const std::vector<SummaryRow>& rows) {
  std::vector<std::string> lines;
  for (const SummaryRow& row : rows) {
    std::string line = std::to_string(row.row) + " " + row.recording + " " +
                       (row.ok ? "ok" : "failed") + " [" + row.message + "]";
    if (row.beats_accepted) line += " " + std::to_string(*row.beats_accepted);
    lines.push_back(line);
  }
  return lines;
}

// How the pool runs rows: at most N at once, every row whatever the others
// do, the summary in manifest order, and a stop that keeps what ended.
TEST(BatchPool, RunsEveryRowBoundedAndSummarisesInManifestOrder) {
  struct Row {
    const char* label;
    std::vector<std::string> names;
    std::size_t jobs;
    bool resume;
    int stop_after;  // ended rows before the stop, -1 for none
    int stop_level;  // the level asked for then
    std::size_t most_at_once;
    std::vector<std::string> summary;
    std::vector<int> counts;  // done, failed, total
  };
  const Row rows[] = {
      {"two at once, failures do not stop the others",
       {"ok1", "fail2", "ok3", "nostart4", "ok5"},
       2,
       false,
       -1,
       0,
       2,
       {"1 ok1 ok [] 30", "2 fail2 failed [cannot read fail2]", "3 ok3 ok [] 30",
        "4 nostart4 failed [cannot start it]", "5 ok5 ok [] 30"},
       {5, 2, 5}},
      {"one job runs rows one by one",
       {"ok1", "ok2", "ok3"},
       1,
       false,
       -1,
       0,
       1,
       {"1 ok1 ok [] 30", "2 ok2 ok [] 30", "3 ok3 ok [] 30"},
       {3, 0, 3}},
      {"resume keeps rows whose record matches",
       {"kept1", "other2", "kept3"},
       4,
       true,
       -1,
       0,
       1,
       {"1 kept1 ok [kept: its record matches] 30", "2 other2 ok [] 30",
        "3 kept3 ok [kept: its record matches] 30"},
       {3, 0, 3}},
      {"without resume a matching record is run again",
       {"kept1"},
       4,
       false,
       -1,
       0,
       1,
       {"1 kept1 ok [] 30"},
       {1, 0, 1}},
      {"a stop lets the running rows end and starts no more",
       {"ok1", "ok2", "ok3", "ok4", "ok5"},
       2,
       false,
       1,
       1,
       2,
       {"1 ok1 ok [] 30", "2 ok2 ok [] 30", "3 ok3 ok [] 30",
        "4 ok4 failed [not run: the batch was stopped]",
        "5 ok5 failed [not run: the batch was stopped]"},
       {3, 0, 5}},
      {"a second stop ends the running rows",
       {"ok1", "ok2", "ok3", "ok4"},
       3,
       false,
       0,
       2,
       3,
       {"1 ok1 failed [ended by signal 15]", "2 ok2 failed [ended by signal 15]", "3 ok3 ok [] 30",
        "4 ok4 failed [not run: the batch was stopped]"},
       {3, 2, 4}},
  };
  for (const Row& row : rows) {
    const Manifest manifest = manifest_of(row.names);
    std::vector<std::size_t> chosen(manifest.rows.size());
    for (std::size_t k = 0; k < chosen.size(); ++k) chosen[k] = k;
    FakeLauncher launcher;
    int level = 0;
    launcher.on_wait = [&] {
      if (launcher.ended == row.stop_after) level = row.stop_level;  // asked during a wait
    };
    auto stop = [&] { return level; };
    QuietProgress progress;
    FakeFiles files(launcher);
    const auto summary =
        run_rows(manifest, chosen, {row.jobs, row.resume}, launcher, files, stop, progress);
    EXPECT_EQ(described(summary), row.summary) << row.label;
    EXPECT_EQ(launcher.most_at_once, row.most_at_once) << row.label;
    EXPECT_EQ(progress.counts, row.counts) << row.label;
  }
}

// --row and --collect: one chosen row alone; the summary from records only.
TEST(BatchPool, RunsOneChosenRowAndCollectsFromRecords) {
  const Manifest manifest = manifest_of({"ok1", "ok2", "kept3", "stale4"});
  FakeLauncher launcher;
  FakeFiles files(launcher);
  QuietProgress progress;
  const auto one = run_rows(
      manifest, {1}, {4, false}, launcher, files, [] { return 0; }, progress);
  EXPECT_EQ(described(one), std::vector<std::string>{"2 ok2 ok [] 30"});
  EXPECT_EQ(launcher.started, std::vector<std::string>{"ok2"});

  EXPECT_EQ(described(collect_rows(manifest, files)),
            (std::vector<std::string>{"1 ok1 failed [no record]", "2 ok2 ok [] 30",
                                      "3 kept3 ok [] 30", "4 stale4 failed [other threshold]"}));
}

// A row is done only when its last run ended well and then its record
// matched; the mark a failed run leaves makes resume run it again and
// collect count it failed.
TEST(BatchPool, ARowIsDoneOnlyWhenItsLastRunEndedWell) {
  const Manifest manifest = manifest_of({"kept1", "fail2", "stale3", "nomark4", "kept5"});
  FakeLauncher launcher;
  FakeFiles files(launcher);
  files.marks["kept5"] = "failed: ended by signal 15";  // its record matches from before
  QuietProgress progress;
  const auto summary = run_rows(
      manifest, {0, 1, 2, 3, 4}, {1, true}, launcher, files, [] { return 0; }, progress);
  EXPECT_EQ(described(summary),
            (std::vector<std::string>{"1 kept1 ok [kept: its record matches] 30",
                                      "2 fail2 failed [cannot read fail2]",
                                      "3 stale3 failed [ended, but other threshold]",
                                      "4 nomark4 failed [cannot mark it]", "5 kept5 ok [] 30"}));
  EXPECT_EQ(launcher.started, (std::vector<std::string>{"fail2", "stale3", "kept5"}));
  EXPECT_EQ(files.marks,
            (std::map<std::string, std::string>{{"fail2", "failed: cannot read fail2"},
                                                {"nomark4", "failed: cannot mark it"},
                                                {"stale3", "failed: ended, but other threshold"}}));
  EXPECT_EQ(described(collect_rows(manifest, files)),
            (std::vector<std::string>{
                "1 kept1 ok [] 30", "2 fail2 failed [last run failed: cannot read fail2]",
                "3 stale3 failed [other threshold]",
                "4 nomark4 failed [last run failed: cannot mark it]", "5 kept5 ok [] 30"}));
}

TEST(BatchPool, WritesTheSummaryTable) {
  SummaryRow quoted{2, "a,b.dat", false, "say \"no\"", std::nullopt, std::nullopt, 1.5};
  SummaryRow plain{1, "p1.dat", true, "", 32, 3, 0.0421};
  SummaryRow not_run{3, " c.dat", false, "not run", std::nullopt, std::nullopt, std::nullopt};
  // Bytes that would act on a terminal or are no text are shown escaped.
  SummaryRow unclean{4, "p\xff.dat", false, "bad \x1b[2J", std::nullopt, std::nullopt, 0.5};
  EXPECT_EQ(summary_csv({plain, quoted, not_run, unclean}),
            "row,recording,status,message,beats_accepted,beats_left_out,seconds\n"
            "1,p1.dat,ok,,32,3,0.042\n"
            "2,\"a,b.dat\",failed,\"say \"\"no\"\"\",,,1.500\n"
            "3,\" c.dat\",failed,not run,,,\n"
            "4,'p\\377.dat',failed,'bad \\033[2J',,,0.500\n");
}

// What a person sees at a terminal, worked out by hand.
TEST(BatchPool, ProgressLineGivesRateAndTimeLeft) {
  struct Row {
    int done, failed, total;
    double elapsed;
    const char* line;
  };
  const Row rows[] = {
      {0, 0, 10, 0.0, "0/10 rows done, 0 failed"},
      {5, 1, 10, 2.0, "5/10 rows done, 1 failed, 2.5 rows/s, 0:02 left"},
      {3, 0, 10, 2.0, "3/10 rows done, 0 failed, 1.5 rows/s, 0:05 left"},
      {1, 0, 76, 1.0, "1/76 rows done, 0 failed, 1.0 rows/s, 1:15 left"},
      {1, 0, 3726, 1.0, "1/3726 rows done, 0 failed, 1.0 rows/s, 1:02:05 left"},
      {10, 0, 10, 4.0, "10/10 rows done, 0 failed, 2.5 rows/s, 0:00 left"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(progress_line(row.done, row.failed, row.total, row.elapsed), row.line);

  std::ostringstream terminal, plain;
  const SummaryRow failed{4, "p4.dat", false, "cannot read", std::nullopt, std::nullopt, 1.0};
  StreamProgress on_terminal(terminal, true, [] { return 2.0; });
  on_terminal.row_ended(failed, 1, 1, 4);
  on_terminal.finished(3, 1, 4);
  EXPECT_EQ(terminal.str(),
            "\r1/4 rows done, 1 failed, 0.5 rows/s, 0:06 left\033[K"
            "\r3/4 rows done, 1 failed, 1.5 rows/s, 0:01 left\033[K\n"
            "4 rows: 2 ok, 1 failed, 1 not run\n");
  StreamProgress elsewhere(plain, false, [] { return 2.0; });
  elsewhere.row_ended(failed, 1, 1, 4);
  elsewhere.row_ended({5,
                       "p\x9b"
                       "5.dat",
                       false, "\a", std::nullopt, std::nullopt, 1.0},
                      2, 2, 4);
  EXPECT_EQ(plain.str(), "row 4 failed p4.dat: cannot read\nrow 5 failed 'p\\2335.dat': '\\a'\n");
}

}  // namespace
}  // namespace ba

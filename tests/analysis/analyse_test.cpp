// One analysis without a window: the answers it gives the program, the
// choices it refuses before anything is written, and the files of its run
// against those the scripted sessions of tests/runs wrote.

#include "analysis/analyse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "results/lead_table.h"
#include "results/result_file.h"
#include "runtime/errors.h"
#include "runtime/sha256.h"
#include "support/build_paths.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"
#include "tools/demo_model.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

const demo::DemoModel& model() {
  static const demo::DemoModel m;
  return m;
}

void write_demo(const fs::path& file) {
  const auto bytes = model().recording_bytes();
  test::write_host_file(
      file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

fs::path run_case(const std::string& name) {
  return ba::test::source_dir() / "tests" / "runs" / name;
}

// The choices of the scripted sessions: the click at column 208 picks the
// beat at 1387 ms, the marking clicks at 78, 93 and 348 give indices 129,
// 154 and 579.
AnalyseChoices session_choices(const fs::path& recording) {
  AnalyseChoices c;
  c.recording = recording;
  c.reference_ms = 1387;
  c.pq_ms = -71;
  c.q_ms = -46;
  c.t_end_ms = 379;
  return c;
}

std::vector<std::string> typed(const SessionPlan& plan) {
  std::vector<std::string> lines;
  for (const Answer& a : plan.answers) lines.push_back(a.click ? "!click" : a.typed);
  return lines;
}

HostFileOps files;

struct Demo {
  Demo() { write_demo(folder / "demo.dat"); }
  test::TempFolder folder{"analyse"};
};

// The demonstration's reference beat and points, as a person marks them.
AnalyseRequest demo_request(const fs::path& folder) {
  AnalyseRequest request;
  request.recording = folder / "demo.dat";
  request.reference_ms = 1387;
  request.pq_ms = -71;
  request.q_ms = -46;
  request.t_end_ms = 379;
  return request;
}

TEST(Analyse, AnswersThePersonWouldGive) {
  const Demo demo;
  const std::vector<std::string> marking = {"demo",   "s",      "!click", "y", "s",
                                            "!click", "!click", "!click", "y", "x"};
  auto with = [&](std::vector<std::string> start, const char* command) {
    start.insert(start.end(), marking.begin(), marking.end());
    for (const char* line : {command, "d", "y", "x"}) start.push_back(line);
    return start;
  };
  const struct {
    const char* label;
    void (*change)(AnalyseChoices&);
    std::vector<std::string> answers;
  } cases[] = {
      {"start conditions kept at once", [](AnalyseChoices&) {}, with({"1"}, "c")},
      {"printing off: every condition asked", [](AnalyseChoices& c) { c.print = false; },
       with({"0", "1", "1", "1", "0"}, "c")},
      {"a threshold typed with its two decimals", [](AnalyseChoices& c) { c.threshold = 0.9f; },
       with({"0", "1", "0", "0.90", "1", "1"}, "c")},
      {"other leads and ratio",
       [](AnalyseChoices& c) {
         c.leads = {1, 2, 64};
         c.ratio = 0.25f;
       },
       with({"0", "0", "1", "2", "64", "1", "0", "0.25", "1"}, "c")},
      {"view instead of compute", [](AnalyseChoices& c) { c.view = true; }, with({"1"}, "v")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    AnalyseChoices choices = session_choices(demo.folder / "demo.dat");
    c.change(choices);
    const auto plan = plan_session(choices, files);
    ASSERT_EQ(plan.index(), 0u) << std::get<1>(plan);
    EXPECT_EQ(typed(std::get<0>(plan)), c.answers);
  }
}

TEST(Analyse, ChoicesThatCannotBeGivenAreRefused) {
  const Demo demo;
  test::write_host_file(demo.folder / "short.dat", "too short");
  test::write_host_file(demo.folder / "huge.dat", "");
  fs::resize_file(demo.folder / "huge.dat", std::uintmax_t{4} << 30);  // sparse: no disk used
  write_demo(demo.folder / "patient.dat");
  const struct {
    const char* label;
    void (*change)(AnalyseChoices&);
    const char* reason;  // a part of the refusal
  } cases[] = {
      {"a name the program cannot be told",
       [](AnalyseChoices& c) { c.recording = c.recording.parent_path() / "patient.dat"; },
       "1 to 5 characters"},
      {"a recording too short",
       [](AnalyseChoices& c) { c.recording = c.recording.parent_path() / "short.dat"; },
       "9 bytes, a recording has 4608000"},
      {"a recording of 4 GiB, refused unread",
       [](AnalyseChoices& c) { c.recording = c.recording.parent_path() / "huge.dat"; },
       "more than 4608000 bytes, a recording has 4608000"},
      {"a missing recording",
       [](AnalyseChoices& c) { c.recording = c.recording.parent_path() / "gone.dat"; },
       "cannot be read"},
      {"a reference after 3000 ms", [](AnalyseChoices& c) { c.reference_ms = 3700; },
       "no beat of the preview there within 201 to 3000 ms"},
      {"a reference far from every beat", [](AnalyseChoices& c) { c.reference_ms = 30000; },
       "--reference 30000"},
      {"T end after the beat window", [](AnalyseChoices& c) { c.t_end_ms = 801; },
       "--t-end 801: outside the beat window (-199 to 800 ms from R)"},
      {"PQ before the beat window", [](AnalyseChoices& c) { c.pq_ms = -200; },
       "--pq -200: outside the beat window"},
      {"a threshold the dialogue cannot take", [](AnalyseChoices& c) { c.threshold = 0.955f; },
       "--threshold"},
      {"a lead outside the recording",
       [](AnalyseChoices& c) {
         c.leads = {13, 65, 37};
       },
       "lead 65"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    AnalyseChoices choices = session_choices(demo.folder / "demo.dat");
    c.change(choices);
    const auto plan = plan_session(choices, files);
    ASSERT_EQ(plan.index(), 1u);
    EXPECT_NE(std::get<1>(plan).find(c.reason), std::string::npos) << std::get<1>(plan);
  }
}

// With --auto the program chooses: choices given beside it, and a recording
// it cannot propose for, are refused before anything is written.
TEST(Analyse, AutoRefusesChoicesBesideItAndRecordingsWithoutBeats) {
  const Demo demo;
  test::write_host_file(demo.folder / "flat.dat", std::string(recording_bytes, '\0'));
  const struct {
    const char* label;
    const char* recording;
    void (*change)(AnalyseRequest&);
    const char* reason;  // the start of the refusal
  } cases[] = {
      {"a point beside it", "demo.dat", [](AnalyseRequest& r) { r.q_ms = -40; },
       "--auto proposes the reference beat and the points"},
      {"a record beside it", "demo.dat", [](AnalyseRequest& r) { r.record = "demost.record.json"; },
       "--auto proposes the reference beat and the points"},
      {"a lead outside the mapping leads", "demo.dat",
       [](AnalyseRequest& r) {
         r.leads = std::array<std::int32_t, 3>{13, 0, 37};
       },
       "--leads: lead 0 is not one of 1 to 64"},
      {"a flat recording", "flat.dat", [](AnalyseRequest&) {},
       "no proposal: the mapping leads are flat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    AnalyseRequest request;
    request.recording = demo.folder / c.recording;
    request.propose = true;
    request.no_print = true;
    c.change(request);
    const AnalyseOutcome run = analyse(request, nullptr, files);
    EXPECT_EQ(run.status, ExitStatus::failed);
    EXPECT_NE(run.message.find(c.reason), std::string::npos) << run.message;
    EXPECT_EQ(std::distance(fs::directory_iterator(demo.folder.path()), {}), 2)
        << "nothing written";
  }
}

// Without a record every fiducial point is needed: any one missing is refused.
TEST(Analyse, EveryPointNeededWithoutARecord) {
  const struct {
    const char* label;
    std::optional<std::int32_t> AnalyseRequest::*missing;
  } cases[] = {{"--reference", &AnalyseRequest::reference_ms},
               {"--pq", &AnalyseRequest::pq_ms},
               {"--q", &AnalyseRequest::q_ms},
               {"--t-end", &AnalyseRequest::t_end_ms}};
  for (const auto& c : cases) {
    AnalyseRequest request = demo_request("");
    request.*c.missing = std::nullopt;
    const auto choices = resolve_choices(request, files);
    ASSERT_EQ(choices.index(), 1u) << c.label;
    EXPECT_EQ(std::get<1>(choices),
              "--reference, --pq, --q and --t-end are needed without --record");
  }
}

// A record is taken only for the recording it was made from, unless forced,
// and only when it holds a measurement.
TEST(Analyse, RecordTakenForItsOwnRecording) {
  test::TempFolder folder("analyse-record");
  test::write_host_file(folder / "p.dat", "the recording");
  AnalysisRecord made;
  made.recording_file = "p.dat";
  made.recording_sha256 = sha256_hex("the recording");
  made.result_file = "pst.txt";
  made.result_sha256 = made.recording_sha256;
  made.leads = {1, 2, 3};
  made.command = 'v';
  made.reference_r = 1387;
  made.pq_point = 129;
  made.q_start = 154;
  made.t_end = 579;
  AnalysisRecord other = made;
  other.recording_sha256 = std::string(64, 'a');
  AnalysisRecord unmeasured = made;
  unmeasured.command = 0;
  const struct {
    const char* label;
    const AnalysisRecord* record;
    bool force;
    std::string refusal;  // its start; "" when taken
  } cases[] = {
      {"its own recording", &made, false, ""},
      {"another recording", &other, false, "'" + (folder / "p.dat").string() + "' has SHA-256 "},
      {"another recording, forced", &other, true, ""},
      {"nothing measured", &unmeasured, false,
       "'" + (folder / "p.json").string() + "': the record holds no measurement"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::write_host_file(folder / "p.json", record_text(*c.record));
    AnalyseRequest request;
    request.recording = folder / "p.dat";
    request.record = folder / "p.json";
    request.force = c.force;
    const auto choices = resolve_choices(request, files);
    if (c.refusal.empty()) {
      ASSERT_EQ(choices.index(), 0u) << std::get<1>(choices);
      EXPECT_EQ(std::get<0>(choices).q_ms, -46);
      EXPECT_TRUE(std::get<0>(choices).view);
    } else {
      ASSERT_EQ(choices.index(), 1u);
      EXPECT_TRUE(std::get<1>(choices).starts_with(c.refusal)) << std::get<1>(choices);
    }
  }
}

// The result file and log of each scripted session that saves, from the
// same choices given to the analysis (the pages go to a fake here; the
// program's tests compare them with a live session's).
TEST(Analyse, WritesWhatTheScriptedSessionsWrote) {
  const struct {
    const char* run;
    bool print;
    bool view;
  } runs[] = {{"demo_compute", true, false},
              {"demo_compute_no_print", false, false},
              {"demo_view", true, true}};
  for (const auto& r : runs) {
    SCOPED_TRACE(r.run);
    const Demo demo;
    test::FakePlatform pages;
    AnalyseRequest request = demo_request(demo.folder.path());
    request.no_print = !r.print;
    request.view = r.view;
    const AnalyseOutcome outcome = analyse(
        request, [&]() -> Platform& { return pages; }, files);
    ASSERT_EQ(outcome.status, ExitStatus::ok) << outcome.message;
    for (const char* file : {"demost.txt", "demostlog.txt"})
      EXPECT_TRUE(test::read_host_file(demo.folder / file) ==
                  test::read_host_file(run_case(r.run) / ("expected_" + std::string(file))))
          << file;
    EXPECT_EQ(pages.calls.empty(), !r.print) << "pages are drawn only when printing";
  }
}

// The record of a compute run: every ectopic beat of the demonstration
// recording is left out for its shape (a wide one may give a second
// candidate), every normal one kept.
TEST(Analyse, RecordNamesTheBeatsLeftOut) {
  const Demo demo;
  AnalyseRequest request = demo_request(demo.folder.path());
  request.no_print = true;
  ASSERT_EQ(analyse(request, nullptr, files).status, ExitStatus::ok);
  const auto read = read_record(test::read_host_file(demo.folder / "demost.record.json"));
  ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
  const AnalysisRecord& record = std::get<0>(read);
  std::vector<int> ectopic, normal;
  for (const demo::Beat& beat : model().beats())
    (beat.kind == demo::BeatKind::ectopic ? ectopic : normal).push_back(beat.r);
  auto near = [](int r, const std::vector<int>& beats) {
    for (int beat : beats)
      if (std::abs(r - beat) <= 15) return true;
    return false;
  };
  std::vector<int> left_out;
  for (const LeftOutBeat& beat : record.left_out) {
    EXPECT_EQ(beat.reason, left_out_by_correlation);
    EXPECT_FALSE(near(beat.r_ms, normal)) << beat.r_ms << " is a normal beat";
    left_out.push_back(beat.r_ms);
  }
  for (int r : ectopic) EXPECT_TRUE(near(r, left_out)) << "the ectopic beat at " << r;
  EXPECT_TRUE(std::is_sorted(left_out.begin(), left_out.end()));
  EXPECT_EQ(record.accepted_r.size(), normal.size());
  EXPECT_EQ(record.command, 'c');
  EXPECT_EQ(record.reference_r, 1387);
  EXPECT_FALSE(record.print);
  EXPECT_EQ(record.recording_size, 4608000u);
}

// The lead table beside the result file: its QRST areas are the result
// file's, its parts add up to them within the truncation of each, and a
// given J is kept in the record; a J outside the QRST is refused before
// anything is written.
TEST(Analyse, LeadTableBesideTheResultFile) {
  const Demo demo;
  AnalyseRequest request = demo_request(demo.folder.path());
  request.no_print = true;
  for (const std::int32_t j : {-47, 380}) {
    request.j_ms = j;
    const AnalyseOutcome refused = analyse(request, nullptr, files);
    EXPECT_EQ(refused.status, ExitStatus::failed);
    EXPECT_EQ(refused.message,
              "--j " + std::to_string(j) +
                  ": the J point must lie between the Q start (-46 ms) and the T end (379 ms)");
    EXPECT_FALSE(fs::exists(demo.folder / "demost.txt"));
    EXPECT_FALSE(fs::exists(demo.folder / "demost.leads.csv"));
  }
  request.j_ms = 50;
  ASSERT_EQ(analyse(request, nullptr, files).status, ExitStatus::ok);
  const auto result = parse_result_file(test::read_host_file(demo.folder / "demost.txt"));
  const auto table = parse_lead_table(test::read_host_file(demo.folder / "demost.leads.csv"));
  ASSERT_EQ(table.index(), 0u) << std::get<LineFault>(table).reason;
  const auto& beats = std::get<std::vector<ResultBeat>>(result);
  const auto& leads = std::get<std::vector<BeatLeads>>(table);
  EXPECT_EQ(lead_table_mismatch(leads, beats), std::nullopt);
  for (const BeatLeads& beat : leads)
    for (long lead = 1; lead <= lead_point_count; ++lead)
      EXPECT_LE(std::abs(beat.qrs_area(lead) + beat.stt_area(lead) - beat.qrst_area(lead)), 1);
  const auto record = read_record(test::read_host_file(demo.folder / "demost.record.json"));
  ASSERT_EQ(record.index(), 0u);
  EXPECT_EQ(std::get<0>(record).j_point, 250);
  EXPECT_TRUE(std::get<0>(record).j_given);
}

// A point between two pixel columns of the beat display (index 200, R
// itself) is still the point the run takes; --check then finds the same
// files, and a changed result file is named at its first changed line.
TEST(Analyse, PointBetweenColumnsAndCheck) {
  const Demo demo;
  AnalyseRequest request = demo_request(demo.folder.path());
  request.q_ms = 0;
  request.no_print = true;
  const AnalyseOutcome run = analyse(request, nullptr, files);
  ASSERT_EQ(run.status, ExitStatus::ok) << run.message;
  const auto read = read_record(test::read_host_file(demo.folder / "demost.record.json"));
  ASSERT_EQ(read.index(), 0u);
  EXPECT_EQ(std::get<0>(read).q_start, 200);

  request.check = true;
  const AnalyseOutcome same = analyse(request, nullptr, files);
  EXPECT_EQ(same.status, ExitStatus::ok) << same.message;
  std::string log = test::read_host_file(demo.folder / "demostlog.txt");
  log.replace(log.find("selected time"), 8, "SELECTED");
  test::write_host_file(demo.folder / "demostlog.txt", log);
  const AnalyseOutcome differs = analyse(request, nullptr, files);
  EXPECT_EQ(differs.status, ExitStatus::usage) << "a difference";
  EXPECT_EQ(differs.message.substr(0, 33), "demostlog.txt:1: ' SELECTED time ");
}

// A host file layer whose writes to one file fail as on a full disk.
class FullFor : public HostFileOps {
 public:
  explicit FullFor(std::string name) : name_(std::move(name)) {}
  std::optional<std::string> replace_file(const fs::path& path, std::string_view bytes) override {
    if (path.filename() == name_) return std::string("No space left on device");
    return HostFileOps::replace_file(path, bytes);
  }
  std::optional<std::string> open_log(const fs::path& path) override {
    if (path.filename() == name_) return std::string("No space left on device");
    return HostFileOps::open_log(path);
  }

 private:
  std::string name_;
};

// The demonstration run without pages, done, and the request that checks it.
AnalyseRequest check_of_a_run(const fs::path& folder) {
  AnalyseRequest request = demo_request(folder);
  request.no_print = true;
  EXPECT_EQ(analyse(request, nullptr, files).status, ExitStatus::ok);
  request.check = true;
  return request;
}

// --check holds the lead table beside the result to the new run's, and
// passes a result saved before lead tables were written, which has none.
TEST(Analyse, CheckComparesTheLeadTableWhenThereIsOne) {
  const Demo demo;
  const AnalyseRequest request = check_of_a_run(demo.folder.path());
  const fs::path table = demo.folder / "demost.leads.csv";
  std::string text = test::read_host_file(table);
  const std::size_t second_line = text.find('\n') + 1;
  text.insert(second_line, "9");
  test::write_host_file(table, text);
  const AnalyseOutcome changed = analyse(request, nullptr, files);
  EXPECT_EQ(changed.status, ExitStatus::differs);
  EXPECT_EQ(changed.message.substr(0, 20), "demost.leads.csv:2: ");
  fs::remove(table);
  const AnalyseOutcome older = analyse(request, nullptr, files);
  EXPECT_EQ(older.status, ExitStatus::ok) << older.message;
}

// Every file a run writes is the new run's, or the run fails naming the
// file; an older result and record of the same beat and points stay from a
// first run, so a run that only kept them would look done.
TEST(Analyse, AFileNotWrittenFailsTheRunByName) {
  const char* const files_written[] = {"demost.txt", "demostlog.txt", "demost.record.json",
                                       "demost1.bmp"};
  for (const char* name : files_written) {
    SCOPED_TRACE(name);
    const Demo demo;
    test::FakePlatform pages;
    const auto draw = [&]() -> Platform& { return pages; };
    ASSERT_EQ(analyse(demo_request(demo.folder.path()), draw, files).status, ExitStatus::ok);
    FullFor full(name);
    const AnalyseOutcome outcome = analyse(demo_request(demo.folder.path()), draw, full);
    EXPECT_EQ(outcome.status, ExitStatus::failed);
    EXPECT_EQ(outcome.message,
              "cannot write '" + (demo.folder / name).string() + "': No space left on device");
  }
}

// The record names the bytes that were analysed, even when the recording
// is replaced while the run goes on.
TEST(Analyse, RecordDigestsTheBytesRead) {
  struct ReplacedAfterRead : HostFileOps {
    std::optional<std::string> read_prefix(const fs::path& path, std::size_t count,
                                           Bytes& bytes) override {
      auto error = HostFileOps::read_prefix(path, count, bytes);
      if (path.extension() == ".dat") test::write_host_file(path, "replaced");
      return error;
    }
  } replacing;
  const Demo demo;
  AnalyseRequest request = demo_request(demo.folder.path());
  request.no_print = true;
  ASSERT_EQ(analyse(request, nullptr, replacing).status, ExitStatus::ok);
  const auto read = read_record(test::read_host_file(demo.folder / "demost.record.json"));
  ASSERT_EQ(read.index(), 0u);
  EXPECT_EQ(std::get<0>(read).recording_sha256,
            "07c46f0dfec7df192f31ff5a74667598f2feb9e6ae844054fa6221d0705036ec");
  EXPECT_EQ(std::get<0>(read).recording_size, 4608000u);
}

// While one run holds a recording's files a second is refused; checks only
// read them and may run side by side.
TEST(Analyse, OneRunOfARecordingAtATime) {
  const Demo demo;
  const AnalyseRequest run = [&] {
    AnalyseRequest r = demo_request(demo.folder.path());
    r.no_print = true;
    return r;
  }();
  ASSERT_EQ(analyse(run, nullptr, files).status, ExitStatus::ok);
  AnalyseRequest check = run;
  check.check = true;
  const struct {
    const char* label;
    FileLock::Kind held;
    const AnalyseRequest* request;
    bool refused;
  } cases[] = {
      {"a run while a run writes", FileLock::Kind::exclusive, &run, true},
      {"a check while a run writes", FileLock::Kind::exclusive, &check, true},
      {"a run while a check reads", FileLock::Kind::shared, &run, true},
      {"a check beside a check", FileLock::Kind::shared, &check, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    HostFileOps other;
    const auto held = other.lock(demo.folder / "demo.dat", c.held);
    ASSERT_EQ(held.index(), 0u);
    const AnalyseOutcome outcome = analyse(*c.request, nullptr, files);
    const std::string refusal = "'" + (demo.folder / "demo.dat").string() +
                                "': another run is analysing this recording; try again when it "
                                "has ended";
    EXPECT_EQ(outcome.message, c.refused ? refusal : "");
  }
}

// --check runs in a private temporary folder, which falls back to /tmp
// whatever TMPDIR holds.
TEST(Analyse, CheckWhateverTemporaryFolderIsNamed) {
  const Demo demo;
  const AnalyseRequest request = check_of_a_run(demo.folder.path());
  test::write_host_file(demo.folder / "a_file", "");
  const char* const saved = std::getenv("TMPDIR");
  const std::string kept = saved ? saved : "";
  for (const std::string& tmpdir :
       {(demo.folder / "missing").string(), std::string(), (demo.folder / "a_file").string()}) {
    SCOPED_TRACE("TMPDIR=" + tmpdir);
    ::setenv("TMPDIR", tmpdir.c_str(), 1);
    const AnalyseOutcome outcome = analyse(request, nullptr, files);
    EXPECT_EQ(outcome.status, ExitStatus::ok) << outcome.message;
  }
  saved ? ::setenv("TMPDIR", kept.c_str(), 1) : ::unsetenv("TMPDIR");
}

TEST(Analyse, AnsweringPlatformGivesTheListInOrder) {
  AnsweringPlatform platform({Answer::line("1"), Answer::left_click(208, 150)}, nullptr);
  EXPECT_EQ(platform.get_line(console_unit), "1");
  EXPECT_THROW(platform.get_line(console_unit), ScriptProblem) << "a click is next";
  EXPECT_EQ(platform.wait_mouse_event(mouse_left_down).x, 208);
  EXPECT_TRUE(platform.all_answered());
  // Clicks beyond the list only let a review go on.
  EXPECT_EQ(platform.wait_mouse_event(mouse_left_down).x, review_click_column);
  EXPECT_THROW(platform.get_line(graphics_unit), ScriptProblem);
}

}  // namespace
}  // namespace ba

#pragma once
// One analysis without a window: the answers and clicks a person would give
// for s, the marking pass, c (or v) and d are made from the choices, and the
// program runs on them, so it writes exactly the files of such a session
// (result file, log, print pages) and the analysis record beside them.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "analysis/answering_platform.h"
#include "results/analysis_record.h"
#include "runtime/exit_status.h"
#include "runtime/files.h"

namespace ba {

class Platform;

struct AnalyseChoices {
  std::filesystem::path recording;  // NAME.dat in its data folder
  std::int32_t reference_ms = 0;    // the preview candidate nearest this time
  std::int32_t pq_ms = 0;           // fiducial points, ms from R
  std::int32_t q_ms = 0;
  std::int32_t t_end_ms = 0;
  std::optional<std::int32_t> j_ms;  // given J point; proposed from the leads without it
  std::array<std::int32_t, 3> leads = {13, 23, 37};
  float threshold = 0.95f;
  float ratio = 0.5f;
  bool print = true;
  bool view = false;  // v instead of c
};

// What the command line gives; unset fields come from the record, if any.
struct AnalyseRequest {
  std::filesystem::path recording;
  std::optional<std::filesystem::path> record;
  std::optional<std::int32_t> reference_ms, pq_ms, q_ms, t_end_ms, j_ms;
  std::optional<std::array<std::int32_t, 3>> leads;
  std::optional<float> threshold, ratio;
  bool no_print = false;
  bool view = false;
  bool force = false;    // a recording whose digest differs from the record's
  bool check = false;    // run elsewhere and compare with the files beside the recording
  bool propose = false;  // the program proposes the reference beat and the points
};

// The program's answers for the choices, or why they cannot be given.
struct SessionPlan {
  std::vector<Answer> answers;
  std::int32_t reference_r = 0;           // the candidate the click picks
  std::array<std::int32_t, 3> indices{};  // beat-window indices of PQ, Q start, T end
  std::int32_t j_index = 0;               // beat-window index of a given J point, else 0
  std::string stem;                       // NAME
  std::size_t command_answer = 0;         // the answer c or v
};
// The recording is read through `files`.
std::variant<SessionPlan, std::string> plan_session(const AnalyseChoices& choices, FileOps& files);

// Gives the platform that draws print pages; called only when printing.
using PagePlatform = std::function<Platform&()>;

struct AnalyseOutcome {
  // ok done; usage (1) when --check found a difference; failed refused or failed
  ExitStatus status = ExitStatus::ok;
  std::string message;  // the difference or the reason
};

// The choices a request makes, with the record's where the request is silent.
std::variant<AnalyseChoices, std::string> resolve_choices(const AnalyseRequest& request,
                                                          FileOps& files);

// Runs the program on a plan in `folder`, which holds the recording, with
// `files` as its file layer. The run fails, naming the file, when any file
// it writes is not written; its record holds the digest of the bytes it
// read.
std::optional<std::string> run_plan(const SessionPlan& plan, const AnalyseChoices& choices,
                                    const std::filesystem::path& folder, const PagePlatform& pages,
                                    FileOps& files);

// The whole verb: choices (proposed by the program for `propose`), checks,
// the run (or the run elsewhere and the comparison for --check). The
// recording is locked meanwhile: a second run of it is refused while one
// writes its files. With `propose`, what the program proposed goes to
// `proposed`, if given.
AnalyseOutcome analyse(const AnalyseRequest& request, const PagePlatform& pages, FileOps& files,
                       RecordProposal* proposed = nullptr);
// The same with the choices the request gives or its record keeps.
AnalyseOutcome analyse_chosen(const AnalyseRequest& request, const PagePlatform& pages,
                              FileOps& files);

}  // namespace ba

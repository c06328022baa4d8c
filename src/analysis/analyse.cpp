#include "analysis/analyse.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>

#include "analysis/choice_rules.h"
#include "detection/detection.h"
#include "dialogue/paths.h"
#include "display/plot.h"
#include "marking/marking.h"
#include "program/whole_run.h"
#include "proposal/proposal.h"
#include "recording/recording.h"
#include "results/lead_table.h"
#include "runtime/errors.h"
#include "runtime/files.h"
#include "runtime/io.h"
#include "runtime/large_block.h"
#include "runtime/messages.h"
#include "runtime/quoting.h"
#include "runtime/sha256.h"
#include "runtime/size_limits.h"
#include "runtime/text_kit.h"
#include "runtime/textform.h"

namespace ba {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view recording_extension = ".dat";
constexpr int longest_stem = 5;      // the name the program asks for, before ".dat"
constexpr int real_field_width = 4;  // the start-up dialogue's threshold fields
constexpr int real_field_decimals = 2;
constexpr int trace_columns = 600;  // pixel columns of the trace area
constexpr double columns_per_unit = 1000.0;

std::string shown(const fs::path& path) { return quote(path.string()); }

// Where a left click at a pixel column lands, as the program's mouse pick
// gives it.
float click_x(int column) { return static_cast<float>(column / columns_per_unit); }

// The text typed into a 4-character field with 2 implied decimals that the
// dialogue reads as exactly `value`, if there is one.
std::optional<std::string> typed_real(float value) {
  for (const char* form : {"%.2f", "%.1f", "%.0f"}) {
    char text[64];
    std::snprintf(text, sizeof text, form, static_cast<double>(value));
    const std::string typed = std::string(text).substr(0, real_field_width);
    float read = 0.0f;
    if (parse_real_field(typed, real_field_width, real_field_decimals, read) && read == value)
      return typed;
  }
  return std::nullopt;
}

std::string point_option(int k) {
  static constexpr const char* names[] = {"--pq", "--q", "--t-end"};
  return names[k];
}

// The start-up answers that settle the conditions: 1 when every condition
// keeps its start value, otherwise each one answered in turn.
std::variant<std::vector<Answer>, std::string> condition_answers(const AnalyseChoices& c,
                                                                 AnalysisConditions& conditions) {
  const AnalysisConditions start;
  const std::array<std::int32_t, 3> start_leads = {start.first_lead - lead_channel_offset,
                                                   start.second_lead - lead_channel_offset,
                                                   start.third_lead - lead_channel_offset};
  for (std::int32_t lead : c.leads)
    if (lead + lead_channel_offset < 1 || lead + lead_channel_offset > channel_count)
      return "--leads: lead " + std::to_string(lead) + " is not in the recording (-7 to 64)";
  const auto threshold = typed_real(c.threshold);
  const auto ratio = typed_real(c.ratio);
  if (!threshold || !ratio)
    return std::string(!threshold ? "--threshold" : "--ratio") +
           ": the start-up dialogue takes a number of 4 characters (such as 0.95)";
  conditions.first_lead = static_cast<std::int16_t>(c.leads[0] + lead_channel_offset);
  conditions.second_lead = static_cast<std::int16_t>(c.leads[1] + lead_channel_offset);
  conditions.third_lead = static_cast<std::int16_t>(c.leads[2] + lead_channel_offset);
  conditions.corr_threshold = c.threshold;
  conditions.r_ratio = c.ratio;
  conditions.print_flag = c.print ? 1 : 0;
  const bool start_leads_kept = c.leads == start_leads;
  const bool threshold_kept = c.threshold == start.corr_threshold;
  const bool ratio_kept = c.ratio == start.r_ratio;
  if (start_leads_kept && threshold_kept && ratio_kept && c.print)
    return std::vector<Answer>{Answer::line("1")};
  std::vector<Answer> answers{Answer::line("0")};
  if (start_leads_kept) {
    answers.push_back(Answer::line("1"));
  } else {
    answers.push_back(Answer::line("0"));
    for (std::int32_t lead : c.leads) answers.push_back(Answer::line(std::to_string(lead)));
  }
  for (const auto& [kept, typed] : {std::pair{threshold_kept, *threshold}, {ratio_kept, *ratio}}) {
    answers.push_back(Answer::line(kept ? "1" : "0"));
    if (!kept) answers.push_back(Answer::line(typed));
  }
  answers.push_back(Answer::line(c.print ? "1" : "0"));
  return answers;
}

// The name the program is told: the file name without ".dat", which must
// give back the same file.
std::variant<std::string, Refusal> recording_stem(const fs::path& recording) {
  const std::string name = recording.filename().string();
  const std::string refusal = shown(recording) +
                              ": the program names a recording by 1 to 5 characters (no blank) "
                              "followed by .dat";
  if (!name.ends_with(recording_extension)) return Refusal{refusal};
  const std::string stem = name.substr(0, name.size() - recording_extension.size());
  if (stem.empty() || stem.size() > static_cast<std::size_t>(longest_stem) ||
      stem.find(' ') != std::string::npos)
    return Refusal{refusal};
  RecordingPaths paths;
  build_paths(stem, paths);
  const DataFolder folder(recording.parent_path());
  const auto host = folder.host_path(paths.recording_path);
  if (!paths_usable(folder, paths) || !host || host->filename() != name) return Refusal{refusal};
  return stem;
}

// The column of the preview whose click picks `target`, nearest to it.
std::optional<int> reference_column(const DetectionState& d, const DisplayGeometry& g,
                                    std::int32_t target) {
  std::optional<int> best;
  std::int64_t best_distance = 0;
  for (int column = 0; column < trace_columns; ++column) {
    const std::int32_t sample = click_sample(click_x(column), g.plot_x0, g.x_scale);
    if (nearest_beat(d.beat_positions, sample, 0) != target) continue;
    const std::int64_t distance = std::llabs(std::int64_t{sample} - target);
    if (!best || distance < best_distance) {
      best = column;
      best_distance = distance;
    }
  }
  return best;
}

// The column of the one-beat display whose click marks beat-window index
// `index` or, for an index that lies between two columns, the nearest one
// (the index itself is then given to the program as a number), or a
// refusal for an index outside the beat window.
std::variant<int, std::string> point_column(const DisplayGeometry& g, std::int32_t index,
                                            const std::string& option) {
  if (index < 1 || index > beat_window_len)
    return option + " " + std::to_string(index - r_peak_index) + ": outside the beat window (" +
           std::to_string(1 - r_peak_index) + " to " +
           std::to_string(beat_window_len - r_peak_index) + " ms from R)";
  const float beat_x_scale =
      static_cast<float>((static_cast<double>(g.plot_x1) - g.plot_x0) / beat_window_len);
  int best = 0;
  std::int64_t best_distance = -1;
  for (int column = 0; column < trace_columns; ++column) {
    const std::int32_t marked = click_sample(click_x(column), g.plot_x0, beat_x_scale);
    const std::int64_t distance = std::llabs(std::int64_t{marked} - index);
    if (best_distance < 0 || distance < best_distance) {
      best = column;
      best_distance = distance;
    }
  }
  return best;
}

std::variant<std::string, Refusal> read_text_file(FileOps& files, const fs::path& path) {
  Bytes bytes;
  if (auto error = files.read_whole(path, largest_record, bytes))
    return Refusal{shown(path) + ": cannot be read: " + *error};
  return std::string(bytes.begin(), bytes.end());
}

// The lines of a text whose lines end in `end`.
std::vector<std::string> lines_of(const std::string& text, std::string_view end) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size())
    lines.push_back(text.substr(from, at - from));
  if (from < text.size()) lines.push_back(text.substr(from));
  return lines;
}

// Whether a log line starts a c or v run: its first record, k=1.
bool starts_run(std::string_view line) {
  line = trimmed(line);
  return line.starts_with("k=") && trimmed(line.substr(2)).starts_with("1 ");
}

bool selects(std::string_view line) { return trimmed(line).starts_with("selected time"); }

// Whether a session's log holds the new run's log: the new run selects once
// and measures once, while a session may measure several times before it
// saves (c, then v, then d). The log passes when one of its runs, with the
// selection before it, is the new run's log line for line.
bool log_holds_run(const std::vector<std::string>& kept, const std::vector<std::string>& fresh) {
  std::optional<std::size_t> selection;
  for (std::size_t start = 0; start < kept.size(); ++start) {
    if (selects(kept[start])) selection = start;
    if (!starts_run(kept[start]) || !selection) continue;
    std::vector<std::string> section{kept[*selection]};
    for (std::size_t k = start; k < kept.size(); ++k) {
      if (k > start && (starts_run(kept[k]) || selects(kept[k]))) break;
      section.push_back(kept[k]);
    }
    if (section == fresh) return true;
  }
  return false;
}

// The first difference between a file beside the recording and the same
// file of a new run, or nothing when they are identical (for the log: when
// the session's log holds the new run's).
// The files --check compares: the result and the log end their lines in
// CR LF, the lead table in LF.
enum class Compared { result, log, lead_table };

std::optional<std::string> first_difference(FileOps& files, const fs::path& kept,
                                            const fs::path& fresh, Compared kind) {
  const std::string name = kept.filename().string();
  std::error_code error;
  const bool kept_exists = fs::exists(kept, error);
  const bool fresh_exists = fs::exists(fresh, error);
  if (!kept_exists && !fresh_exists) return std::nullopt;
  if (!kept_exists) return name + ": not beside the recording, but the new run writes it";
  if (!fresh_exists) return name + ": beside the recording, but the new run does not write it";
  Bytes old_bytes, new_bytes;
  if (auto failure = files.read_whole(kept, largest_study_input, old_bytes))
    return name + ": cannot be read: " + *failure;
  if (auto failure = files.read_whole(fresh, largest_study_input, new_bytes))
    return name + ": cannot be read: " + *failure;
  const std::string a(old_bytes.begin(), old_bytes.end());
  const std::string b(new_bytes.begin(), new_bytes.end());
  if (a == b) return std::nullopt;
  const std::string_view end = kind == Compared::lead_table ? "\n" : "\r\n";
  const auto old_lines = lines_of(a, end);
  const auto new_lines = lines_of(b, end);
  if (kind == Compared::log && b.ends_with(end) && log_holds_run(old_lines, new_lines))
    return std::nullopt;
  for (std::size_t k = 0; k < std::max(old_lines.size(), new_lines.size()); ++k) {
    const std::string was = k < old_lines.size() ? quote(old_lines[k]) : "(no line)";
    const std::string now = k < new_lines.size() ? quote(new_lines[k]) : "(no line)";
    if (was != now)
      return name + ":" + std::to_string(k + 1) + ": " + was + " beside the recording, " + now +
             " in the new run";
  }
  return name + ": the line ends differ";
}

// The file layer of one run. The recording is read once, before the run:
// every read the run makes of it is given those bytes, and the record's
// digest is theirs, so the record names exactly what was analysed even when
// the file is replaced meanwhile. Every write that fails is kept with its
// file's name: the program only says so on the console and goes on, but a
// run that leaves an old file in place of a new one has failed.
class RunFiles : public FileOps {
 public:
  // `ahead`: the digest is worked out on another thread at once, for a run
  // whose d asks for it at the end; otherwise only when asked for.
  RunFiles(FileOps& host, fs::path recording, Bytes bytes, bool ahead)
      : host_(host), recording_(std::move(recording)), bytes_(std::move(bytes)) {
    const auto policy = ahead ? std::launch::async : std::launch::deferred;
    digest_ =
        std::async(policy, [this] {
          return FileDigest{bytes_.size(),
                            sha256_hex(std::string_view(
                                reinterpret_cast<const char*>(bytes_.data()), bytes_.size()))};
        }).share();
  }
  ~RunFiles() override {
    if (digest_.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) digest_.wait();
  }
  RunFiles(const RunFiles&) = delete;
  RunFiles& operator=(const RunFiles&) = delete;

  std::optional<std::string> read_prefix(const fs::path& path, std::size_t count,
                                         Bytes& bytes) override {
    if (!is_recording(path)) return host_.read_prefix(path, count, bytes);
    bytes.assign(bytes_.begin(),
                 bytes_.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes_.size())));
    return std::nullopt;
  }
  std::optional<std::string> replace_file(const fs::path& path, std::string_view bytes) override {
    return kept(path, host_.replace_file(path, bytes));
  }
  std::optional<std::string> create_file(const fs::path& path, std::string_view bytes) override {
    return kept(path, host_.create_file(path, bytes));
  }
  std::optional<std::string> open_log(const fs::path& path) override {
    log_ = path;
    return kept(path, host_.open_log(path));
  }
  std::optional<std::string> append_log(std::string_view bytes) override {
    return kept(log_, host_.append_log(bytes));
  }
  void close_log() override { host_.close_log(); }
  std::variant<std::unique_ptr<PrivateFolder>, std::string> private_folder(
      std::string_view prefix) override {
    return host_.private_folder(prefix);
  }
  std::variant<FileDigest, std::string> digest(const fs::path& path) override {
    if (!is_recording(path)) return host_.digest(path);
    return digest_.get();
  }

  // The first write that failed, with its file, or nothing.
  const std::optional<std::string>& failed_write() const { return failed_; }

 private:
  bool is_recording(const fs::path& path) const { return path == recording_; }
  std::optional<std::string> kept(const fs::path& path, std::optional<std::string> error) {
    if (error && !failed_) failed_ = "cannot write " + shown(path) + ": " + *error;
    return error;
  }

  FileOps& host_;
  fs::path recording_;
  Bytes bytes_;
  std::shared_future<FileDigest> digest_;
  fs::path log_;
  std::optional<std::string> failed_;
};

// The recording's bytes, read once and no further than one byte past a
// recording's size: a larger file is no recording and is not read whole.
std::variant<Bytes, std::string> read_recording(FileOps& files, const fs::path& path) {
  Bytes bytes;
  if (auto error = files.read_prefix(path, recording_bytes + 1, bytes))
    return shown(path) + ": cannot be read: " + *error;
  if (bytes.size() > recording_bytes)
    return shown(path) + ": more than " + std::to_string(recording_bytes) +
           " bytes, a recording has " + std::to_string(recording_bytes);
  return bytes;
}

}  // namespace

namespace {

// The whole recording: the preview shows the first seconds alone, but a
// shorter file ends the program's read of it.
std::variant<Bytes, std::string> read_whole_recording(const AnalyseChoices& c, FileOps& files) {
  Bytes bytes;
  if (auto error = files.read_prefix(c.recording, recording_bytes + 1, bytes))
    return shown(c.recording) + ": cannot be read: " + *error;
  if (bytes.size() != recording_bytes)
    return shown(c.recording) + ": " +
           (bytes.size() > recording_bytes ? "more than " + std::to_string(recording_bytes)
                                           : std::to_string(bytes.size())) +
           " bytes, a recording has " + std::to_string(recording_bytes);
  return bytes;
}

// The preview as the program shows it, and where a click picks the beat
// nearest the reference time.
struct PreviewPick {
  DisplayGeometry geometry;
  std::int32_t reference_r = 0;
  int column = 0;
};

std::variant<PreviewPick, std::string> pick_reference(const AnalyseChoices& c,
                                                      const AnalysisConditions& conditions,
                                                      const Bytes& bytes) {
  auto recording = make_large<RecordingState>();
  unpack_recording_start(bytes, preview_span, recording->sample_matrix);
  auto detection = make_large<DetectionState>();
  detect(recording->sample_matrix, conditions, preview_span, preview_reference_end, true,
         *detection);
  if (detection->amp_max == 0.0f)
    return shown(c.recording) + ": no signal in the first 4 seconds of the first displayed lead";
  PreviewPick pick;
  set_display_geometry(detection->span_len, detection->amp_max, pick.geometry);
  sort_candidates(*detection);
  const std::int32_t target = nearest_beat(detection->beat_positions, c.reference_ms, 0);
  if (target < earliest_selectable_beat || target > latest_selectable_beat)
    return "--reference " + std::to_string(c.reference_ms) +
           ": no beat of the preview there within 201 to 3000 ms" +
           (target > 0 ? " (the nearest lies at " + std::to_string(target) + " ms)" : "");
  const auto column = reference_column(*detection, pick.geometry, target);
  if (!column)
    return "--reference " + std::to_string(c.reference_ms) + ": no click picks the beat at " +
           std::to_string(target) + " ms";
  pick.reference_r = target;
  pick.column = *column;
  return pick;
}

// The beat-window indices of the PQ point, Q start and T end (into plan) and
// the columns that click them; the J point's index when one is given.
std::variant<std::array<int, 3>, std::string> place_points(const AnalyseChoices& c,
                                                           const DisplayGeometry& geometry,
                                                           SessionPlan& plan) {
  const std::array<std::int32_t, 3> ms = {c.pq_ms, c.q_ms, c.t_end_ms};
  std::array<int, 3> point_columns{};
  for (int k = 0; k < 3; ++k) {
    plan.indices[static_cast<std::size_t>(k)] = r_peak_index + ms[static_cast<std::size_t>(k)];
    auto found = point_column(geometry, plan.indices[static_cast<std::size_t>(k)], point_option(k));
    if (const auto* failure = std::get_if<std::string>(&found)) return *failure;
    point_columns[static_cast<std::size_t>(k)] = std::get<int>(found);
  }
  if (c.j_ms) {
    if (*c.j_ms < c.q_ms || *c.j_ms > c.t_end_ms)
      return "--j " + std::to_string(*c.j_ms) + ": the J point must lie between the Q start (" +
             std::to_string(c.q_ms) + " ms) and the T end (" + std::to_string(c.t_end_ms) + " ms)";
    plan.j_index = r_peak_index + *c.j_ms;
  }
  return point_columns;
}

// What the person types and clicks after the conditions: the name, the
// reference beat, its points, the command and the save.
void append_session_answers(const AnalyseChoices& c, int reference_column,
                            const std::array<int, 3>& point_columns, SessionPlan& plan) {
  std::vector<Answer>& a = plan.answers;
  a.push_back(Answer::line(plan.stem));
  a.push_back(Answer::line("s"));
  a.push_back(Answer::left_click(reference_column, answer_click_row));
  a.push_back(Answer::line("y"));
  a.push_back(Answer::line("s"));
  for (int point : point_columns) a.push_back(Answer::left_click(point, answer_click_row));
  a.push_back(Answer::line("y"));
  a.push_back(Answer::line("x"));
  plan.command_answer = a.size();
  a.push_back(Answer::line(c.view ? "v" : "c"));
  for (const char* typed : {"d", "y", "x"}) a.push_back(Answer::line(typed));
}

}  // namespace

std::variant<SessionPlan, std::string> plan_session(const AnalyseChoices& c, FileOps& files) {
  SessionPlan plan;
  auto stem = recording_stem(c.recording);
  if (const auto* failure = std::get_if<Refusal>(&stem)) return failure->reason;
  plan.stem = std::get<std::string>(stem);

  AnalysisConditions conditions;
  auto answers = condition_answers(c, conditions);
  if (const auto* failure = std::get_if<std::string>(&answers)) return *failure;
  plan.answers = std::move(std::get<std::vector<Answer>>(answers));

  const auto bytes = read_whole_recording(c, files);
  if (const auto* failure = std::get_if<std::string>(&bytes)) return *failure;
  const auto pick = pick_reference(c, conditions, std::get<Bytes>(bytes));
  if (const auto* failure = std::get_if<std::string>(&pick)) return *failure;
  plan.reference_r = std::get<PreviewPick>(pick).reference_r;
  const auto points = place_points(c, std::get<PreviewPick>(pick).geometry, plan);
  if (const auto* failure = std::get_if<std::string>(&points)) return *failure;
  append_session_answers(c, std::get<PreviewPick>(pick).column,
                         std::get<std::array<int, 3>>(points), plan);
  return plan;
}

std::variant<AnalyseChoices, std::string> resolve_choices(const AnalyseRequest& r, FileOps& files) {
  AnalyseChoices c;
  c.recording = r.recording;
  if (r.record) {
    auto text = read_text_file(files, *r.record);
    if (const auto* failure = std::get_if<Refusal>(&text)) return failure->reason;
    auto read = read_record(std::get<std::string>(text));
    if (const auto* failure = std::get_if<std::string>(&read))
      return shown(*r.record) + ": " + *failure;
    const AnalysisRecord& record = std::get<AnalysisRecord>(read);
    if (record.command == 0)
      return shown(*r.record) + ": the record holds no measurement (no c or v before d)";
    const auto digest = files.digest(r.recording);
    if (const auto* failure = std::get_if<std::string>(&digest))
      return shown(r.recording) + ": cannot be read: " + *failure;
    const std::string& sha = std::get<FileDigest>(digest).sha256;
    if (sha != record.recording_sha256 && !r.force)
      return shown(r.recording) + " has SHA-256 " + sha +
             ", but the record was made from SHA-256 " + record.recording_sha256 +
             " (--force analyses it all the same)";
    c.reference_ms = record.reference_r;
    c.pq_ms = record.pq_point - r_peak_index;
    c.q_ms = record.q_start - r_peak_index;
    c.t_end_ms = record.t_end - r_peak_index;
    c.leads = record.leads;
    c.threshold = record.corr_threshold;
    c.ratio = record.r_ratio;
    c.print = record.print;
    c.view = record.command == 'v';
    // A proposed J is proposed again from the same beat; a given one is kept.
    if (record.j_given) c.j_ms = record.j_point - r_peak_index;
  } else if (!r.reference_ms || !r.pq_ms || !r.q_ms || !r.t_end_ms) {
    return std::string("--reference, --pq, --q and --t-end are needed without --record");
  }
  if (r.reference_ms) c.reference_ms = *r.reference_ms;
  if (r.pq_ms) c.pq_ms = *r.pq_ms;
  if (r.q_ms) c.q_ms = *r.q_ms;
  if (r.t_end_ms) c.t_end_ms = *r.t_end_ms;
  if (r.j_ms) c.j_ms = *r.j_ms;
  if (r.leads) c.leads = *r.leads;
  if (r.threshold) c.threshold = *r.threshold;
  if (r.ratio) c.ratio = *r.ratio;
  if (r.no_print) c.print = false;
  if (r.view) c.view = true;
  for (auto [name, value] : {std::pair{"threshold", c.threshold}, {"ratio", c.ratio}})
    if (auto fault = fraction_fault(name, value)) return *fault;
  if (auto fault = point_order_fault(c.pq_ms, c.q_ms, c.t_end_ms)) return *fault;
  return c;
}

std::optional<std::string> run_plan(const SessionPlan& plan, const AnalyseChoices& choices,
                                    const fs::path& folder, const PagePlatform& pages,
                                    FileOps& files) {
  // The marking clicks give the points a click can mark; the points are
  // given again as numbers when the command is chosen, which changes nothing
  // for those and gives the program a point that lies between two columns.
  MarkingState* marking = nullptr;
  std::vector<Answer> answers = plan.answers;
  answers.at(plan.command_answer).then = [&] {
    if (!marking) return;
    marking->pq_point = plan.indices[0];
    marking->q_start = plan.indices[1];
    marking->t_end = plan.indices[2];
    marking->j_point = plan.j_index;
  };
  Bytes recording;
  if (auto error = files.read_prefix(choices.recording, recording_bytes, recording))
    return shown(choices.recording) + ": cannot be read: " + *error;
  RunFiles run_files(files, choices.recording, std::move(recording), true);
  AnsweringPlatform platform(std::move(answers), choices.print ? &pages() : nullptr);
  Io io(platform, DataFolder(folder), run_files);
  std::optional<std::string> failure;
  try {
    run_whole_program(io, [&](MarkingState& state) { marking = &state; });
  } catch (const ProgramEnd&) {
  } catch (const IoFailure& ended) {
    failure = ended.message();
  } catch (const std::exception& error) {
    failure = std::string("the run did not go as planned: ") + error.what();
  }
  io.close_all_files();
  // A file not written is the first cause: the run goes astray after it.
  if (run_files.failed_write()) return run_files.failed_write();
  if (failure) return failure;
  if (!platform.all_answered())
    return std::string("the program ended before the analysis was done");
  if (!platform.remarks().empty()) return platform.remarks().front();
  // The record d wrote says which beat and points the run used: they must be
  // the ones asked for.
  const auto text = read_text_file(files, folder / (plan.stem + "st" + std::string(record_suffix)));
  if (const auto* failure = std::get_if<Refusal>(&text)) return failure->reason;
  const auto record = read_record(std::get<std::string>(text));
  if (const auto* failure = std::get_if<std::string>(&record)) return *failure;
  const AnalysisRecord& kept = std::get<AnalysisRecord>(record);
  if (kept.reference_r != plan.reference_r || kept.pq_point != plan.indices[0] ||
      kept.q_start != plan.indices[1] || kept.t_end != plan.indices[2] ||
      (plan.j_index != 0 && kept.j_point != plan.j_index))
    return std::string("the run did not take the planned beat and points");
  return std::nullopt;
}

namespace {

RecordProposal record_proposal(const Proposal& p) {
  return {std::string(proposal_method),
          proposal_version,
          p.doubtful,
          p.reasons,
          p.pq_confidence,
          p.q_confidence,
          p.t_end_confidence};
}

// The request with the proposed reference beat and points, or why the
// recording gives none.
std::variant<AnalyseRequest, std::string> proposed_request(const AnalyseRequest& request,
                                                           RecordProposal& kept, FileOps& files) {
  if (request.record || request.reference_ms || request.pq_ms || request.q_ms || request.t_end_ms)
    return std::string(
        "--auto proposes the reference beat and the points: give neither --record "
        "nor --reference, --pq, --q or --t-end with it");
  ProposalOptions options;
  if (request.leads) options.leads = *request.leads;
  if (request.ratio) options.ratio = *request.ratio;
  for (std::int32_t lead : options.leads)
    if (lead < 1 || lead > lead_point_count)
      return "--leads: lead " + std::to_string(lead) + " is not one of 1 to 64";
  auto proposed = propose_recording(request.recording, options, files);
  if (auto* reason = std::get_if<std::string>(&proposed)) return *reason;
  const Proposal& p = std::get<Proposal>(proposed);
  AnalyseRequest chosen = request;
  chosen.reference_ms = p.reference_ms;
  chosen.pq_ms = p.pq_ms;
  chosen.q_ms = p.q_ms;
  chosen.t_end_ms = p.t_end_ms;
  kept = record_proposal(p);
  return chosen;
}

// Adds the proposal to the record the run has just written beside the result.
std::optional<std::string> keep_proposal(const fs::path& record_path,
                                         const RecordProposal& proposal, FileOps& files) {
  const auto text = read_text_file(files, record_path);
  if (const auto* failure = std::get_if<Refusal>(&text)) return failure->reason;
  auto record = read_record(std::get<std::string>(text));
  if (const auto* failure = std::get_if<std::string>(&record))
    return shown(record_path) + ": " + *failure;
  std::get<AnalysisRecord>(record).proposal = proposal;
  if (auto error = files.replace_file(record_path, record_text(std::get<AnalysisRecord>(record))))
    return shown(record_path) + ": " + *error;
  return std::nullopt;
}

// --check: the run made again in a private folder and its files compared
// with those beside the recording.
AnalyseOutcome check_elsewhere(const SessionPlan& plan, const AnalyseChoices& c,
                               const PagePlatform& pages, RunFiles& recording, FileOps& files) {
  auto made = files.private_folder("beat_analyse.");
  if (const auto* reason = std::get_if<std::string>(&made))
    return {ExitStatus::failed, "cannot make a temporary folder: " + *reason};
  const fs::path scratch = std::get<std::unique_ptr<PrivateFolder>>(made)->path();
  const std::string name = c.recording.filename().string();
  Bytes bytes;
  recording.read_prefix(c.recording, recording_bytes, bytes);
  if (auto error = files.replace_file(
          scratch / name,
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
    return {ExitStatus::failed, "cannot copy the recording to " + shown(scratch) + ": " + *error};
  AnalyseChoices elsewhere = c;
  elsewhere.recording = scratch / name;
  if (auto failure = run_plan(plan, elsewhere, scratch, pages, recording))
    return {ExitStatus::failed, *failure};
  const fs::path beside = c.recording.parent_path();
  for (const auto& [file, kind] : {std::pair{plan.stem + "st.txt", Compared::result},
                                   std::pair{plan.stem + "stlog.txt", Compared::log}})
    if (auto difference = first_difference(files, beside / file, scratch / file, kind))
      return {ExitStatus::differs, *difference};
  // Results saved before lead tables were written have none beside them;
  // one that is there must be the new run's exactly.
  const std::string lead_table = plan.stem + "st" + std::string(lead_table_suffix);
  std::error_code error;
  if (fs::exists(fs::symlink_status(beside / lead_table, error)))
    if (auto difference = first_difference(files, beside / lead_table, scratch / lead_table,
                                           Compared::lead_table))
      return {ExitStatus::differs, *difference};
  return {};
}

}  // namespace

AnalyseOutcome analyse(const AnalyseRequest& asked, const PagePlatform& pages, FileOps& files,
                       RecordProposal* proposed) {
  std::optional<RecordProposal> proposal;
  AnalyseRequest request = asked;
  if (asked.propose) {
    RecordProposal kept;
    auto chosen = proposed_request(asked, kept, files);
    if (const auto* failure = std::get_if<std::string>(&chosen))
      return {ExitStatus::failed, *failure};
    request = std::get<AnalyseRequest>(chosen);
    proposal = kept;
    if (proposed) *proposed = kept;
  }
  AnalyseOutcome outcome = analyse_chosen(request, pages, files);
  if (proposal && outcome.status == ExitStatus::ok && !request.check) {
    const fs::path record_path =
        request.recording.parent_path() /
        (request.recording.stem().string() + "st" + std::string(record_suffix));
    if (auto failure = keep_proposal(record_path, *proposal, files))
      return {ExitStatus::failed, *failure};
  }
  return outcome;
}

AnalyseOutcome analyse_chosen(const AnalyseRequest& request, const PagePlatform& pages,
                              FileOps& files) {
  // One run at a time writes a recording's files; --check only reads them.
  auto lock = files.lock(request.recording,
                         request.check ? FileLock::Kind::shared : FileLock::Kind::exclusive);
  if (const auto* reason = std::get_if<std::string>(&lock))
    return {ExitStatus::failed,
            shown(request.recording) + (*reason == runtime_text::locked
                                            ? ": another run is analysing this recording; "
                                              "try again when it has ended"
                                            : ": cannot be read: " + *reason)};
  // Read once: the choices, the plan and the run all take these bytes.
  auto read = read_recording(files, request.recording);
  if (const auto* reason = std::get_if<std::string>(&read)) return {ExitStatus::failed, *reason};
  RunFiles recording(files, request.recording, std::move(std::get<Bytes>(read)), false);
  auto choices = resolve_choices(request, recording);
  if (const auto* failure = std::get_if<std::string>(&choices))
    return {ExitStatus::failed, *failure};
  const AnalyseChoices& c = std::get<AnalyseChoices>(choices);
  auto planned = plan_session(c, recording);
  if (const auto* failure = std::get_if<std::string>(&planned))
    return {ExitStatus::failed, *failure};
  const SessionPlan& plan = std::get<SessionPlan>(planned);
  if (!request.check) {
    if (auto failure = run_plan(plan, c, c.recording.parent_path(), pages, recording))
      return {ExitStatus::failed, *failure};
    return {};
  }
  return check_elsewhere(plan, c, pages, recording, files);
}

}  // namespace ba

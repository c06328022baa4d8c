#pragma once
// The manifest of a batch: one CSV row per analysis of one recording.
//
// The header names the columns: `recording`, then either `record` or all of
// `reference_ms,pq_ms,q_ms,t_end_ms`, and optionally `leads` (three lead
// numbers, quoted when separated by commas, or separated by ';' or blanks),
// `threshold`, `ratio`, `print` (1/0, yes/no, true/false, on/off) and
// `auto` (the same: 1 lets the program propose the reference beat and the
// points, and the row then gives neither record nor points). An
// empty optional field takes the default; a row with a record may still give
// points or conditions, which override the record's. Paths are relative to
// the manifest's folder and hold no control character. Times are whole ms;
// the threshold and ratio lie within 0.0 to 1.0 and points given in full go
// PQ < Q start < T end (analysis/choice_rules.h). Fields are separated by
// commas and may be quoted with double quotes ("" for a quote inside); blank
// lines are skipped.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "analysis/analyse.h"
#include "runtime/text_kit.h"

namespace ba {

struct ManifestRow {
  int line = 0;                     // line of the manifest, for messages
  std::string recording_text;       // as written in the manifest
  std::filesystem::path recording;  // resolved against the manifest's folder
  std::optional<std::filesystem::path> record;
  // Each option as analyse takes it; unset ones are left to the record or
  // the defaults.
  std::optional<std::int32_t> reference_ms, pq_ms, q_ms, t_end_ms;
  std::optional<std::array<std::int32_t, 3>> leads;
  std::optional<float> threshold, ratio;
  bool print = true;
  bool propose = false;  // `auto` 1: the program proposes the beat and the points

  // The analyse command line of the row, without the program: the verb
  // first, every option as --name=value.
  std::vector<std::string> analyse_arguments() const;
  // The same choices as analyse takes them from that command line.
  AnalyseRequest request() const;
  // Where analyse writes the row's record: NAMEst.record.json beside the
  // recording, NAME being the recording's file name without ".dat".
  std::filesystem::path record_written() const;
  // Where analyse writes the row's result file (NAMEst.txt).
  std::filesystem::path result_written() const;
  // Where a batch notes that the row's last run has not ended well
  // (NAMEst.unfinished): there from the start of a run until it has
  // succeeded, then holding why it did not.
  std::filesystem::path unfinished_mark() const;
};

struct Manifest {
  std::filesystem::path file;
  std::vector<ManifestRow> rows;
};

// Reads a manifest from its text; `file` names it in messages and its folder
// resolves the paths. Returns the fault ("line 0" for the file as a whole)
// when any row cannot run: nothing of a bad manifest is used.
std::variant<Manifest, LineFault> parse_manifest(const std::filesystem::path& file,
                                                 std::string_view text);

}  // namespace ba

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
// the manifest's folder. Fields are separated by commas and may be quoted
// with double quotes ("" for a quote inside); blank lines are skipped.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/text_kit.h"

namespace ba {

struct ManifestRow {
  int line = 0;                     // line of the manifest, for messages
  std::string recording_text;       // as written in the manifest
  std::filesystem::path recording;  // resolved against the manifest's folder
  std::optional<std::filesystem::path> record;
  // Each option as analyse takes it, in its text form.
  std::optional<std::string> reference_ms, pq_ms, q_ms, t_end_ms;
  std::optional<std::string> leads;  // "A,B,C"
  std::optional<std::string> threshold, ratio;
  bool print = true;
  bool propose = false;  // `auto` 1: the program proposes the beat and the points

  // The analyse command line of the row, without the program: the verb
  // first, every option as --name=value.
  std::vector<std::string> analyse_arguments() const;
  // Where analyse writes the row's record: NAMEst.record.json beside the
  // recording, NAME being the recording's file name without ".dat".
  std::filesystem::path record_written() const;
  // Where analyse writes the row's result file (NAMEst.txt).
  std::filesystem::path result_written() const;
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

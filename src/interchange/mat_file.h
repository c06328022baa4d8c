#pragma once
// Saved results as a MATLAB v5 file (through matio), for analysis in MATLAB
// or Octave: one variable per quantity, the layout as a structure.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "recording/recording.h"
#include "results/result_file.h"
#include "runtime/files.h"

namespace ba {

// Where the leads sit: lead n (1-based) at index n - 1; NaN coordinates and
// an empty label for a lead the layout does not place.
struct MatLayout {
  std::vector<double> x = std::vector<double>(lead_point_count);
  std::vector<double> y = std::vector<double>(lead_point_count);
  std::vector<std::string> label = std::vector<std::string>(lead_point_count);
};

struct MatResults {
  std::string recording;  // the recording's name
  std::vector<ResultBeat> beats;
  std::optional<MatLayout> layout;
};

// Writes, whole or not at all, replacing `path`: `areas` (beats x 64),
// `r_ms` (beats x 1, the R time as a sample position in ms), `leads`
// (1 x 64: 1..64), `recording` (text) and, when a layout is given, `layout`
// with the fields x, y (64 x 1) and label (64 x 1 cell of text).
std::optional<std::string> write_mat(FileOps& files, const std::filesystem::path& path,
                                     const MatResults& results);

}  // namespace ba

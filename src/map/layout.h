#pragma once
// Where the 64 mapping leads sit on the torso, in the plane of the map.
// Coordinates are in the layout's own units: x grows to the right (around
// the torso), y grows downward (from the neck toward the waist).

#include <string>
#include <string_view>
#include <variant>

#include "recording/recording.h"
#include "runtime/one_based.h"
#include "runtime/text_kit.h"

namespace ba {

struct Electrode {
  double x = 0;
  double y = 0;
  std::string label;    // shown beside the dot; the lead number when empty
  bool listed = false;  // the layout places this lead
  bool bad = false;     // placed, but its value is not to be trusted
  bool usable() const { return listed && !bad; }
};

struct LeadLayout {
  Array1<Electrode, lead_point_count> leads;
  // The default 8 x 8 grid with every lead usable: interpolated bicubically;
  // every other layout by a thin-plate spline.
  bool regular_grid = false;
};

inline constexpr int grid_side = 8;  // leads per column of the default grid

// Lead n in column (n - 1) / 8 and row (n - 1) mod 8, one unit apart.
LeadLayout default_layout();

// Why a layout text cannot be used: the 1-based line and what is wrong there
// (line 0 when the fault is the file as a whole).
using LayoutFault = LineFault;

using LayoutText = std::variant<LeadLayout, LayoutFault>;

// A CSV text: a header naming the columns lead, x, y and optionally label
// and bad, in any order, then one line per lead. Needs at least 4 usable
// leads that do not lie on one line.
LayoutText parse_layout(std::string_view text);

}  // namespace ba

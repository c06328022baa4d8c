#pragma once
// The input of a headless run: one event per line.
//   !click X Y     left button down at pixel column X, row Y of the active window
//   !rclick X Y    right button down
//   !snapshot PATH save the active window's whole surface as PNG
//   !map PATH      save the QRST map of the last measured selection (mean of
//                  its beats) as PNG, SVG or PDF by the path's extension
//   !!text         the typed line "!text"
//   anything else  one typed line
// Programs that drive the analyser rely on exactly this form.

#include <cstddef>
#include <istream>
#include <string>

#include "runtime/io.h"

namespace ba {

struct ScriptEvent {
  enum class Kind { typed_line, left_click, right_click, snapshot, map };
  Kind kind = Kind::typed_line;
  std::string text;  // the typed line, or the snapshot or map path
  int x = 0;         // pixel column of a click
  int y = 0;         // pixel row of a click
};

// Input lines are cut where typed answers are (bytes), already while they are
// read, so that a huge line never fills the memory.
inline constexpr std::size_t script_line_limit = typed_line_limit;

// Reads one input line without its newline, keeping at most `limit` bytes and
// discarding the rest up to the newline; `cut` tells whether bytes were
// discarded. False at the end of the input with no line.
bool read_script_line(std::istream& in, std::string& line, bool& cut,
                      std::size_t limit = script_line_limit);

// One input line (without its newline; a trailing CR is dropped). A click,
// snapshot or map line with missing or unreadable arguments throws ScriptProblem.
ScriptEvent parse_script_line(std::string line);

// How an event is named in a report: "a click at (10, 20)".
std::string describe(const ScriptEvent& event);

}  // namespace ba

#pragma once
// The platform of a headless run: typed lines and clicks come from a script
// (script.h), every line shown on the console or in a window is printed,
// and nothing is displayed.

#include <iostream>
#include <istream>
#include <ostream>
#include <string>

#include "platform/surface_platform.h"
#include "runtime/script.h"

namespace ba {

// "the console" or "unit N", as reports name a unit.
std::string unit_label(int unit);

class HeadlessPlatform : public SurfacePlatform {
 public:
  // Events are read from `in`; console lines are printed to `out` as they
  // are, window lines as "[Unit N] " and the line.
  // Notes about the input (a line cut to its first bytes) go to `err`.
  // Snapshots and maps the script asks for are written through `files`.
  HeadlessPlatform(FileOps& files, std::istream& in, std::ostream& out,
                   std::ostream& err = std::cerr);

  // The next typed line; it is also shown at the unit's text position, as
  // typing would show it.
  std::string get_line(int unit) override;
  // The next click; it must be one of `event_set` and inside the surface.
  MouseEvent wait_mouse_event(int event_set) override;
  void show_error(const std::string& /*message*/) override {}

 protected:
  void line_shown(int unit, const std::string& utf8_line) override;

 private:
  // The next event that answers a wait; snapshots on the way are taken.
  // End of input throws ScriptProblem naming `awaited`.
  ScriptEvent next_answer(const std::string& awaited);
  // Writes the mean map of the measured beats; throws ScriptProblem when
  // there are none or the file cannot be written.
  void save_map(const std::string& path) const;
  [[noreturn]] void mismatch(const ScriptEvent& event, const std::string& awaited) const;

  FileOps& files_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  int line_number_ = 0;  // of the last input line read
};

}  // namespace ba

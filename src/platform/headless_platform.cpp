#include "platform/headless_platform.h"

#include "map/layout.h"
#include "map/page.h"
#include "platform/map_drawing.h"
#include "runtime/errors.h"
#include "runtime/quoting.h"

namespace ba {

std::string unit_label(int unit) {
  return unit == console_unit ? std::string("the console") : "unit " + std::to_string(unit);
}

HeadlessPlatform::HeadlessPlatform(FileOps& files, std::istream& in, std::ostream& out,
                                   std::ostream& err)
    : files_(files), in_(in), out_(out), err_(err) {}

void HeadlessPlatform::line_shown(int unit, const std::string& utf8_line) {
  if (unit != console_unit) out_ << "[Unit " << unit << "] ";
  // Flushed at once: a driving program may wait for a prompt before it answers.
  out_ << utf8_line << std::endl;
}

ScriptEvent HeadlessPlatform::next_answer(const std::string& awaited) {
  std::string line;
  bool cut = false;
  while (read_script_line(in_, line, cut)) {
    ++line_number_;
    if (cut)
      err_ << "beat_analyser: input line " << line_number_ << ": only its first "
           << script_line_limit << " bytes are read, the rest is discarded" << std::endl;
    ScriptEvent event = parse_script_line(line);
    if (event.kind == ScriptEvent::Kind::map) {
      save_map(event.text);
      continue;
    }
    if (event.kind != ScriptEvent::Kind::snapshot) return event;
    const std::optional<std::string> png = surface(active_unit()).png_bytes();
    if (!png || files_.replace_file(event.text, *png))
      throw ScriptProblem("input line " + std::to_string(line_number_) +
                          ": cannot write the snapshot " + quote(event.text));
  }
  throw ScriptProblem("end of input while " + awaited);
}

void HeadlessPlatform::save_map(const std::string& path) const {
  const std::string where = "input line " + std::to_string(line_number_) + ": ";
  if (measured_beats().empty())
    throw ScriptProblem(where + "no measured beats to map (command c measures them)");
  if (!map_file_type_known(path))
    throw ScriptProblem(where + "a map path must end in .png, .svg or .pdf: " + path);
  const MapPage page = make_page(measured_beats(), default_layout(), MapRequest{});
  if (auto error = save_map_file(files_, path, page, default_map_size, MapDrawOptions{}))
    throw ScriptProblem(where + *error);
}

void HeadlessPlatform::mismatch(const ScriptEvent& event, const std::string& awaited) const {
  throw ScriptProblem("input line " + std::to_string(line_number_) + ": " + describe(event) +
                      " came while " + awaited);
}

std::string HeadlessPlatform::get_line(int unit) {
  std::string awaited = "a typed line is awaited on " + unit_label(unit);
  Surface& shown = open_surface(unit);
  ScriptEvent event = next_answer(awaited);
  if (event.kind != ScriptEvent::Kind::typed_line) mismatch(event, awaited);
  shown.put_line(QString::fromUtf8(event.text));
  return event.text;
}

MouseEvent HeadlessPlatform::wait_mouse_event(int event_set) {
  std::string awaited = "a click is awaited in " + unit_label(active_unit());
  ScriptEvent event = next_answer(awaited);
  MouseEvent mouse;
  if (event.kind == ScriptEvent::Kind::left_click) {
    mouse = {mouse_left_down, key_left_button, event.x, event.y};
  } else if (event.kind == ScriptEvent::Kind::right_click) {
    mouse = {mouse_right_down, key_right_button, event.x, event.y};
  } else {
    mismatch(event, awaited);
  }
  if (!(mouse.event & event_set)) mismatch(event, awaited);
  if (event.x < 0 || event.x >= Surface::width || event.y < 0 || event.y >= Surface::height)
    throw ScriptProblem("input line " + std::to_string(line_number_) + ": " + describe(event) +
                        " lies outside the window (columns 0 to " +
                        std::to_string(Surface::width - 1) + ", rows 0 to " +
                        std::to_string(Surface::height - 1) + ")");
  return mouse;
}

}  // namespace ba

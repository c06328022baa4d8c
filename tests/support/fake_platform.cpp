#include "support/fake_platform.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "display/palette.h"
#include "runtime/errors.h"

namespace ba::test {

void FakePlatform::open_window(int unit) {
  calls.push_back("open_window " + std::to_string(unit));
  opened_windows.push_back(unit);
  active = unit;
  background[unit] = window_palette[new_window_background_index];
}

void FakePlatform::close_window(int unit) {
  calls.push_back("close_window " + std::to_string(unit));
}

void FakePlatform::activate_window(int unit) { active = unit; }

void FakePlatform::put_line(int unit, const std::string& utf8_line) {
  calls.push_back("put_line " + std::to_string(unit));
  lines.push_back({unit, utf8_line});
}

std::string FakePlatform::get_line(int unit) {
  calls.push_back("get_line " + std::to_string(unit));
  if (typed_lines.empty()) throw ScriptProblem("end of input while a typed line is awaited");
  std::string line = typed_lines.front();
  typed_lines.pop_front();
  return line;
}

void FakePlatform::clear_window() {
  calls.push_back("clear_window " + std::to_string(active));
  ++clears[active];
}

void FakePlatform::set_background_rgb(std::uint32_t colour) {
  calls.push_back("set_background_rgb");
  background[active] = colour;
}

void FakePlatform::set_colour_rgb(std::uint32_t colour) { colour_ = colour; }

void FakePlatform::set_colour_index(int palette_index) {
  calls.push_back("set_colour_index " + std::to_string(palette_index));
  colour_ = window_palette.at(static_cast<std::size_t>(palette_index));
}

void FakePlatform::init_fonts() {}

void FakePlatform::set_font(const std::string& descriptor) { font_ = descriptor; }

void FakePlatform::move_to(int x, int y) {
  x_ = x;
  y_ = y;
}

void FakePlatform::line_to(int x, int y) {
  segments.push_back({active, colour_, x_, y_, x, y});
  x_ = x;
  y_ = y;
}

void FakePlatform::draw_text(const std::string& utf8) {
  calls.push_back("draw_text");
  texts.push_back({active, font_, colour_, x_, y_, utf8});
}

std::optional<std::string> FakePlatform::bmp_image(int x1, int y1, int x2, int y2) {
  const std::string call = "save_image " + std::to_string(active) + " " + std::to_string(x1) + " " +
                           std::to_string(y1) + " " + std::to_string(x2) + " " + std::to_string(y2);
  calls.push_back(call);
  return call;  // stands for the image bytes
}

void FakePlatform::set_crosshair_cursor() {}

MouseEvent FakePlatform::wait_mouse_event(int event_set) {
  calls.push_back("wait_mouse_event " + std::to_string(active));
  while (!clicks.empty()) {
    MouseEvent event = clicks.front();
    clicks.pop_front();
    if (event.event & event_set) return event;
  }
  throw ScriptProblem("end of input while a click is awaited");
}

void FakePlatform::show_error(const std::string& message) {
  calls.push_back("show_error " + message);
}

std::vector<std::string> FakePlatform::lines_of(int unit) const {
  std::vector<std::string> shown;
  for (const auto& line : lines)
    if (line.unit == unit) shown.push_back(line.text);
  return shown;
}

std::vector<Segment> FakePlatform::segments_of(int window) const {
  std::vector<Segment> drawn;
  for (const auto& segment : segments)
    if (segment.window == window) drawn.push_back(segment);
  return drawn;
}

std::filesystem::path make_temp_folder(const std::string& tag) {
  static std::atomic<int> counter{0};
  auto path =
      std::filesystem::temp_directory_path() /
      ("beat_test_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

TestBench::TestBench()
    : folder(make_temp_folder("bench")), io(platform, DataFolder(folder), files) {}

TestBench::~TestBench() {
  io.close_all_files();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

std::string TestBench::read(const std::string& file_name) const {
  std::ifstream in(folder / file_name, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void TestBench::write(const std::string& file_name, const std::string& bytes) const {
  std::ofstream out(folder / file_name, std::ios::binary);
  out << bytes;
}

}  // namespace ba::test

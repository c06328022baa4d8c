#pragma once
// A platform that records what the program asks of it and answers from
// queued typed lines and clicks, for tests of the program logic.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "results/selection.h"
#include "runtime/files.h"
#include "runtime/io.h"
#include "runtime/platform.h"

namespace ba::test {

struct Segment {
  int window;
  std::uint32_t colour;
  int x1, y1, x2, y2;
};

struct TextDrawn {
  int window;
  std::string font;
  std::uint32_t colour;
  int x, y;
  std::string text;
};

struct LineShown {
  int unit;
  std::string text;
};

class FakePlatform : public Platform, public SelectionListener {
 public:
  // Input the program will read.
  std::deque<std::string> typed_lines;
  std::deque<MouseEvent> clicks;

  // What the program did.
  std::vector<std::string> calls;  // operation names in order, e.g. "open_window 12"
  std::vector<LineShown> lines;    // every put_line
  std::vector<Segment> segments;   // every line_to
  std::vector<TextDrawn> texts;    // every draw_text
  std::vector<int> opened_windows;
  int active = console_unit;
  std::map<int, std::uint32_t> background;
  std::map<int, int> clears;  // clears per window

  void open_window(int unit) override;
  void close_window(int unit) override;
  void activate_window(int unit) override;
  void put_line(int unit, const std::string& utf8_line) override;
  std::string get_line(int unit) override;
  void clear_window() override;
  void set_background_rgb(std::uint32_t colour) override;
  void set_colour_rgb(std::uint32_t colour) override;
  void set_colour_index(int palette_index) override;
  void init_fonts() override;
  void set_font(const std::string& descriptor) override;
  void move_to(int x, int y) override;
  void line_to(int x, int y) override;
  void draw_text(const std::string& utf8) override;
  std::optional<std::string> bmp_image(int x1, int y1, int x2, int y2) override;
  void set_crosshair_cursor() override;
  MouseEvent wait_mouse_event(int event_set) override;
  void show_error(const std::string& message) override;
  void selection_measured(const std::vector<ResultBeat>& beats) override {
    measured.push_back(beats);
  }
  std::vector<std::vector<ResultBeat>> measured;  // every selection handed over
  struct Saved {
    SaveOutcome outcome;
    int beats;
    std::string result_path;
  };
  void selection_saved(SaveOutcome outcome, int beats, const std::string& result_path) override {
    saved.push_back({outcome, beats, result_path});
  }
  std::vector<Saved> saved;  // every d, as reported

  // Lines shown on one unit, in order.
  std::vector<std::string> lines_of(int unit) const;
  // Segments drawn in one window.
  std::vector<Segment> segments_of(int window) const;

  static MouseEvent left_click(int x, int y = 150) { return {mouse_left_down, 0, x, y}; }
  static MouseEvent right_click(int x = 700, int y = 150) { return {mouse_right_down, 0, x, y}; }

 private:
  std::uint32_t colour_ = 0;
  std::string font_;
  int x_ = 0, y_ = 0;
};

// A fake platform, a fresh temporary data folder on the host and an Io over
// both: the usual set-up of a logic test.
// The host file system, keeping the host path of every file it replaced
// (result files and page images), in order.
class ReplacingFileOps : public HostFileOps {
 public:
  std::optional<std::string> replace_file(const std::filesystem::path& path,
                                          std::string_view bytes) override {
    replaced.push_back(path.string());
    return HostFileOps::replace_file(path, bytes);
  }
  std::vector<std::string> replaced;
};

class TestBench {
 public:
  TestBench();
  ~TestBench();
  TestBench(const TestBench&) = delete;
  TestBench& operator=(const TestBench&) = delete;

  FakePlatform platform;
  std::filesystem::path folder;  // host folder behind "d:\data\map\"
  ReplacingFileOps files;
  Io io;

  // Contents of a file in the data folder ("" when missing).
  std::string read(const std::string& file_name) const;
  void write(const std::string& file_name, const std::string& bytes) const;
};

// A unique empty temporary folder.
std::filesystem::path make_temp_folder(const std::string& tag);

}  // namespace ba::test

#pragma once
// A platform that shows nothing: for benchmarks and fuzz targets, where only
// the logic's work counts. A saved image is a two-byte stand-in; every mouse
// wait is answered at once with a right click in the trace area.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/platform.h"

namespace ba::test {

class NullPlatform : public Platform {
 public:
  void open_window(int) override {}
  void close_window(int) override {}
  void activate_window(int) override {}
  void put_line(int, const std::string&) override {}
  std::string get_line(int) override { return ""; }
  void clear_window() override {}
  void set_background_rgb(std::uint32_t) override {}
  void set_colour_rgb(std::uint32_t) override {}
  void set_colour_index(int) override {}
  void init_fonts() override {}
  void set_font(const std::string&) override {}
  void move_to(int, int) override {}
  void line_to(int, int) override {}
  void draw_text(const std::string&) override {}
  std::optional<std::string> bmp_image(int, int, int, int) override { return "BM"; }
  void set_crosshair_cursor() override {}
  MouseEvent wait_mouse_event(int) override { return {mouse_right_down, 0, 500, 150}; }
  void show_error(const std::string&) override {}
};

}  // namespace ba::test

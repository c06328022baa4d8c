#include "display/window_routines.h"

#include "runtime/io.h"
#include "runtime/textform.h"

namespace ba {

namespace {

constexpr std::uint32_t print_background = rgb(255, 255, 255);
constexpr int label_dx = 30;  // pixels left of the strip's left edge
constexpr int label_dy = 50;  // pixels above the strip's zero line
constexpr int label_width = 6;
constexpr int label_length = 7;  // the number and one blank
constexpr int samples_per_page = 4000;
constexpr const char* label_font = "t'Times New Roman'h12w5";
constexpr int label_colour_index = 5;

}  // namespace

void CHART_FEED(Io& io, std::int16_t unit) {
  io.open_window(unit);
  io.platform().set_background_rgb(print_background);
  io.clear_window();
}

void LEADWR(Io& io, std::int16_t x, std::int16_t y, std::int16_t time, std::int16_t page) {
  Platform& platform = io.platform();
  platform.move_to(x - label_dx, y - label_dy);
  const auto value = static_cast<std::int16_t>(time + samples_per_page * page);
  std::string label = format_integer(value, label_width);
  label.resize(label_length, ' ');
  platform.init_fonts();
  platform.set_font(label_font);
  platform.set_colour_index(label_colour_index);
  platform.draw_text(label);
}

}  // namespace ba

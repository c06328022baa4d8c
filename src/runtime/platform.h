#pragma once
// The console and window operations the program needs from its platform.
// The program logic sees its platform only through this interface; the Qt
// implementation (headless and interactive) lives in src/platform/, and
// tests use a recording fake.
//
// Units: the console is unit `console_unit`; windows are numbered by the
// program (12 = graphics window, 14 upward = print pages). Pixel coordinates
// have their origin at the top left of a window's drawing surface, x to the
// right, y downward.

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

namespace ba {

inline constexpr int console_unit = 0;

// Mouse events as bits of an event set.
inline constexpr int mouse_left_down = 1;
inline constexpr int mouse_left_up = 2;
inline constexpr int mouse_left_double = 4;
inline constexpr int mouse_right_down = 8;
inline constexpr int mouse_right_up = 16;
inline constexpr int mouse_right_double = 32;
inline constexpr int mouse_move = 64;

struct MouseEvent {
  int event = 0;      // one bit of the set waited for
  int key_state = 0;  // modifier keys and buttons held, as the platform reports them
  int x = 0;          // pixel column in the window's drawing coordinates
  int y = 0;          // pixel row
};

// Colours: red in the lowest byte, green in the next, blue in the third.
constexpr std::uint32_t rgb(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
         (static_cast<std::uint32_t>(blue) << 16);
}

class Platform {
 public:
  virtual ~Platform() = default;

  // Opens a window for text and graphics bound to `unit`, captioned
  // "Unit %i", black background, text-line colour white; it becomes the
  // active window and gets the keyboard focus.
  virtual void open_window(int unit) = 0;
  virtual void close_window(int unit) = 0;
  // Makes an open window the active window and gives it the keyboard focus.
  // Called for every line read from or written to a window unit.
  virtual void activate_window(int unit) = 0;

  // Shows one finished text line (UTF-8) on the console or a window at its
  // text position, which then moves down one line.
  virtual void put_line(int unit, const std::string& utf8_line) = 0;
  // Waits for one typed line (UTF-8, without its line end) on the console or
  // a window.
  virtual std::string get_line(int unit) = 0;

  // Operations on the active window (the console before any window exists).
  virtual void clear_window() = 0;  // whole window, text position to top left
  virtual void set_background_rgb(std::uint32_t colour) = 0;
  virtual void set_colour_rgb(std::uint32_t colour) = 0;
  virtual void set_colour_index(int palette_index) = 0;
  virtual void init_fonts() = 0;
  virtual void set_font(const std::string& descriptor) = 0;  // t'face'hHwW
  virtual void move_to(int x, int y) = 0;
  virtual void line_to(int x, int y) = 0;  // one pixel wide, aliased
  virtual void draw_text(const std::string& utf8) = 0;
  // Pixels (x1, y1)-(x2, y2), inclusive, of the active window as the bytes
  // of a 24-bit BMP file; nothing when the rectangle is empty. The file
  // layer writes them, so a failed save is known with its reason.
  virtual std::optional<std::string> bmp_image(int x1, int y1, int x2, int y2) = 0;
  virtual void set_crosshair_cursor() = 0;
  // Blocks until one of the events of `event_set` happens in the active window.
  virtual MouseEvent wait_mouse_event(int event_set) = 0;

  // Shows the error report before the program ends (a message box in the
  // window mode); the caller also writes it to stderr.
  virtual void show_error(const std::string& message) = 0;

  // A remark about a file beside the program's own (the analysis record)
  // that could not be written: never among the program's lines; standard
  // error unless the platform shows it elsewhere.
  virtual void remark(const std::string& message) {
    std::cerr << "beat_analyser: " << message << std::endl;
  }
};

}  // namespace ba

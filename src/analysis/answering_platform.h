#pragma once
// A platform that answers the program from a list made beforehand: the typed
// lines and clicks a person would give. Drawing goes to another platform
// when print pages are to be made, and nowhere otherwise.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "runtime/platform.h"

namespace ba {

struct Answer {
  bool click = false;
  std::string typed;  // a typed line
  int x = 0;          // pixel of a left click
  int y = 0;
  std::function<void()> then;  // run when the answer is given

  static Answer line(std::string text) { return {false, std::move(text), 0, 0, {}}; }
  static Answer left_click(int x, int y) { return {true, {}, x, y, {}}; }
};

// Row of every click: the middle of the trace area.
inline constexpr int answer_click_row = 150;
// Column of the clicks that only let the review of command v go on.
inline constexpr int review_click_column = 300;

class AnsweringPlatform : public Platform {
 public:
  // `drawing`: where windows, lines and drawing go; nullptr for nowhere.
  AnsweringPlatform(std::vector<Answer> answers, Platform* drawing);

  void open_window(int unit) override;
  void close_window(int unit) override;
  void activate_window(int unit) override;
  void put_line(int unit, const std::string& utf8_line) override;
  // The next answer, which must be a typed line (ScriptProblem otherwise).
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
  // The next answer when it is a click; otherwise a click in the middle of
  // the trace area, which is all the review of command v waits for.
  MouseEvent wait_mouse_event(int event_set) override;
  void show_error(const std::string&) override {}
  void remark(const std::string& message) override { remarks_.push_back(message); }

  bool all_answered() const { return next_ == answers_.size(); }
  const std::vector<std::string>& remarks() const { return remarks_; }

 private:
  std::vector<Answer> answers_;
  std::size_t next_ = 0;
  Platform* drawing_;
  std::vector<std::string> remarks_;
};

}  // namespace ba

#include "analysis/answering_platform.h"

#include "runtime/errors.h"

namespace ba {

AnsweringPlatform::AnsweringPlatform(std::vector<Answer> answers, Platform* drawing)
    : answers_(std::move(answers)), drawing_(drawing) {}

void AnsweringPlatform::open_window(int unit) {
  if (drawing_) drawing_->open_window(unit);
}
void AnsweringPlatform::close_window(int unit) {
  if (drawing_) drawing_->close_window(unit);
}
void AnsweringPlatform::activate_window(int unit) {
  if (drawing_) drawing_->activate_window(unit);
}
void AnsweringPlatform::put_line(int unit, const std::string& utf8_line) {
  if (drawing_) drawing_->put_line(unit, utf8_line);
}

std::string AnsweringPlatform::get_line(int unit) {
  if (next_ == answers_.size() || answers_[next_].click)
    throw ScriptProblem(
        "the analysis has no typed answer for the question on " +
        (unit == console_unit ? std::string("the console") : "unit " + std::to_string(unit)));
  const Answer& answer = answers_[next_++];
  if (answer.then) answer.then();
  const std::string typed = answer.typed;
  // Shown where it is typed, as a person's typing shows.
  if (drawing_) drawing_->put_line(unit, typed);
  return typed;
}

void AnsweringPlatform::clear_window() {
  if (drawing_) drawing_->clear_window();
}
void AnsweringPlatform::set_background_rgb(std::uint32_t colour) {
  if (drawing_) drawing_->set_background_rgb(colour);
}
void AnsweringPlatform::set_colour_rgb(std::uint32_t colour) {
  if (drawing_) drawing_->set_colour_rgb(colour);
}
void AnsweringPlatform::set_colour_index(int palette_index) {
  if (drawing_) drawing_->set_colour_index(palette_index);
}
void AnsweringPlatform::init_fonts() {
  if (drawing_) drawing_->init_fonts();
}
void AnsweringPlatform::set_font(const std::string& descriptor) {
  if (drawing_) drawing_->set_font(descriptor);
}
void AnsweringPlatform::move_to(int x, int y) {
  if (drawing_) drawing_->move_to(x, y);
}
void AnsweringPlatform::line_to(int x, int y) {
  if (drawing_) drawing_->line_to(x, y);
}
void AnsweringPlatform::draw_text(const std::string& utf8) {
  if (drawing_) drawing_->draw_text(utf8);
}
std::optional<std::string> AnsweringPlatform::bmp_image(int x1, int y1, int x2, int y2) {
  if (!drawing_) return std::nullopt;
  return drawing_->bmp_image(x1, y1, x2, y2);
}
void AnsweringPlatform::set_crosshair_cursor() {
  if (drawing_) drawing_->set_crosshair_cursor();
}

MouseEvent AnsweringPlatform::wait_mouse_event(int /*event_set*/) {
  if (next_ < answers_.size() && answers_[next_].click) {
    const Answer& click = answers_[next_++];
    return {mouse_left_down, 1, click.x, click.y};
  }
  return {mouse_left_down, 1, review_click_column, answer_click_row};
}

}  // namespace ba

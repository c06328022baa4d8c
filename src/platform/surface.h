#pragma once
// The drawing surface of one window (or of the console): an off-screen image
// that every drawing operation and every text line goes into. Both the
// headless and the interactive mode draw through this class; the interactive
// mode only shows the image on screen.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/font_descriptor.h"

namespace ba {

class Surface {
 public:
  // Pixels. Print pages are saved from (1, 1) to (1000, 750), so the
  // surface must hold column 1000 and row 750.
  static constexpr int width = 1024;
  static constexpr int height = 768;

  Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // The finished image (any pending painting is completed first).
  const QImage& image();
  // Counts every change, so a view can tell whether it must repaint.
  std::uint64_t generation() const { return generation_; }

  void set_background_rgb(std::uint32_t colour) { background_ = colour; }
  void set_colour_rgb(std::uint32_t colour) { colour_ = colour; }
  void set_colour_index(int palette_index);  // 0..15; others are ignored
  std::uint32_t background_rgb() const { return background_; }
  std::uint32_t colour_rgb() const { return colour_; }

  // Selects the font of draw_text; an unreadable descriptor keeps the old one.
  void set_font(const std::string& descriptor);
  const QFont& font() const { return font_; }

  // Fills the whole surface with the background colour; the text position
  // goes back to the top left.
  void clear();
  void move_to(int x, int y);
  void line_to(int x, int y);  // one pixel wide, aliased, both ends drawn
  // Top left of the text at the current position, transparent background;
  // the current position moves right by the text's width.
  void draw_text(const std::string& utf8);
  QPoint position() const { return position_; }

  // Text lines: drawn top-down from the top left in the text-line colour,
  // the surface scrolling up when a line would pass its bottom.
  void put_line(const QString& line);
  int line_height() const { return line_height_; }
  QPoint text_position() const { return text_position_; }

  // A line being typed: shown at the text position while it is edited and
  // left there as a finished text line by end_input.
  void begin_input();
  void show_input(const QString& text);
  void end_input(const QString& text);
  // Where the next typed character appears (for a caret and input methods).
  QRect input_caret(const QString& text) const;

  // Pixels (x1, y1)-(x2, y2), inclusive, as the bytes of a 24-bit BMP file;
  // nothing when the rectangle is empty. The file layer writes them.
  std::optional<std::string> bmp_bytes(int x1, int y1, int x2, int y2);
  // The whole surface as the bytes of a PNG file.
  std::optional<std::string> png_bytes();

 private:
  QPainter& painter();
  void make_room_for_line();
  void changed() { ++generation_; }

  QImage image_;
  QPainter painter_;
  std::uint32_t background_;
  std::uint32_t colour_;
  std::uint32_t text_colour_;
  std::string font_descriptor_;
  QFont font_;
  QFont line_font_;
  int line_height_;
  QPoint position_{0, 0};       // current graphics position, pixels
  QPoint text_position_{0, 0};  // top left of the next text line, pixels
  QImage input_background_;     // the text line under a line being typed
  std::uint64_t generation_ = 0;
};

// The QColor of a colour with red in the lowest byte.
QColor to_qcolor(std::uint32_t colour);

}  // namespace ba

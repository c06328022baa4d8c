#include "platform/surface.h"

#include <QBuffer>
#include <QFontMetrics>

#include "display/palette.h"
#include "platform/fonts.h"

namespace ba {

QColor to_qcolor(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

Surface::Surface()
    : image_(width, height, QImage::Format_RGB32),
      background_(window_palette[new_window_background_index]),
      colour_(window_palette[new_window_drawing_index]),
      text_colour_(window_palette[new_window_text_index]),
      line_font_(text_line_font()),
      line_height_(QFontMetrics(line_font_).lineSpacing()) {
  image_.fill(to_qcolor(background_));
  font_ = line_font_;
}

QPainter& Surface::painter() {
  if (!painter_.isActive()) {
    painter_.begin(&image_);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
  }
  return painter_;
}

const QImage& Surface::image() {
  if (painter_.isActive()) painter_.end();
  return image_;
}

void Surface::set_colour_index(int palette_index) {
  if (palette_index < 0 || palette_index >= static_cast<int>(window_palette.size())) return;
  colour_ = window_palette[static_cast<std::size_t>(palette_index)];
}

void Surface::set_font(const std::string& descriptor) {
  if (descriptor == font_descriptor_) return;  // the labels select the same font again and again
  std::optional<FontRequest> request = parse_font_descriptor(descriptor);
  if (!request) return;
  font_ = make_font(*request);
  font_descriptor_ = descriptor;
}

void Surface::clear() {
  painter().fillRect(image_.rect(), to_qcolor(background_));
  text_position_ = QPoint(0, 0);
  changed();
}

void Surface::move_to(int x, int y) { position_ = QPoint(x, y); }

void Surface::line_to(int x, int y) {
  QPainter& p = painter();
  p.setPen(QPen(to_qcolor(colour_), 1));
  p.drawLine(position_, QPoint(x, y));
  position_ = QPoint(x, y);
  changed();
}

void Surface::draw_text(const std::string& utf8) {
  QString text = QString::fromUtf8(utf8);
  QFontMetrics metrics(font_);
  QPainter& p = painter();
  p.setFont(font_);
  p.setPen(to_qcolor(colour_));
  p.drawText(position_.x(), position_.y() + metrics.ascent(), text);
  position_.rx() += metrics.horizontalAdvance(text);
  changed();
}

void Surface::make_room_for_line() {
  int overflow = text_position_.y() + line_height_ - height;
  if (overflow <= 0) return;
  // Scroll everything up so that the line fits at the bottom.
  QImage kept = image().copy(0, overflow, width, height - overflow);
  QPainter& p = painter();
  p.drawImage(0, 0, kept);
  p.fillRect(0, height - overflow, width, overflow, to_qcolor(background_));
  text_position_.ry() -= overflow;
}

void Surface::put_line(const QString& line) {
  make_room_for_line();
  QPainter& p = painter();
  p.setFont(line_font_);
  p.setPen(to_qcolor(text_colour_));
  p.drawText(text_position_.x(), text_position_.y() + QFontMetrics(line_font_).ascent(), line);
  text_position_ = QPoint(0, text_position_.y() + line_height_);
  changed();
}

void Surface::begin_input() {
  make_room_for_line();
  input_background_ = image().copy(0, text_position_.y(), width, line_height_);
}

void Surface::show_input(const QString& text) {
  QPainter& p = painter();
  p.drawImage(0, text_position_.y(), input_background_);
  p.setFont(line_font_);
  p.setPen(to_qcolor(text_colour_));
  p.drawText(text_position_.x(), text_position_.y() + QFontMetrics(line_font_).ascent(), text);
  changed();
}

void Surface::end_input(const QString& text) {
  painter().drawImage(0, text_position_.y(), input_background_);
  input_background_ = QImage();
  put_line(text);
}

QRect Surface::input_caret(const QString& text) const {
  int x = text_position_.x() + QFontMetrics(line_font_).horizontalAdvance(text);
  return QRect(x, text_position_.y(), 1, line_height_);
}

std::optional<std::string> Surface::bmp_bytes(int x1, int y1, int x2, int y2) {
  if (x2 < x1 || y2 < y1) return std::nullopt;
  // Pixels outside the surface come out black.
  QImage part =
      image().copy(x1, y1, x2 - x1 + 1, y2 - y1 + 1).convertToFormat(QImage::Format_RGB888);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!part.save(&buffer, "BMP")) return std::nullopt;
  return bytes.toStdString();
}

std::optional<std::string> Surface::png_bytes() {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image().save(&buffer, "PNG")) return std::nullopt;
  return bytes.toStdString();
}

}  // namespace ba

#include "platform/fonts.h"

#include <QFontMetricsF>
#include <QString>
#include <algorithm>
#include <cmath>
#include <utility>

namespace ba {

namespace {

// Thousandths of English text: the letters a..z, then the blank.
constexpr std::pair<char, int> letter_weights[] = {
    {'a', 64}, {'b', 14}, {'c', 27}, {'d', 35}, {'e', 100}, {'f', 20}, {'g', 14},
    {'h', 42}, {'i', 63}, {'j', 3},  {'k', 6},  {'l', 35},  {'m', 20}, {'n', 56},
    {'o', 56}, {'p', 17}, {'q', 4},  {'r', 49}, {'s', 56},  {'t', 71}, {'u', 31},
    {'v', 10}, {'w', 18}, {'x', 3},  {'y', 18}, {'z', 2},   {' ', 166}};

// Crisp glyphs: the drawn pixels are exactly the drawing colour.
void make_crisp(QFont& font) { font.setStyleStrategy(QFont::NoAntialias); }

}  // namespace

QFont text_line_font() {
  QFont font(QStringLiteral("IPAGothic"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPixelSize(text_line_pixel_size);
  make_crisp(font);
  return font;
}

double average_char_width(const QFont& font) {
  QFontMetricsF metrics(font);
  double total = 0.0;
  for (auto [letter, weight] : letter_weights)
    total += weight * metrics.horizontalAdvance(QChar(letter));
  return total / 1000.0;
}

QFont make_font(const FontRequest& request) {
  QFont font(QString::fromStdString(request.face));
  if (request.height > 0) font.setPixelSize(request.height);
  make_crisp(font);
  if (request.width > 0) {
    double natural = average_char_width(font);
    if (natural > 0.0) {
      // QFont takes the stretch as a percentage between 1 and 4000.
      int stretch = static_cast<int>(std::lround(100.0 * request.width / natural));
      font.setStretch(std::clamp(stretch, 1, 4000));
    }
  }
  return font;
}

}  // namespace ba

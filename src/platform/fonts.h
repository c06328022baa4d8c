#pragma once
// The fonts the surfaces draw with.

#include <QFont>

#include "runtime/font_descriptor.h"

namespace ba {

// Pixel size of the text-line font.
inline constexpr int text_line_pixel_size = 16;
// A fixed-pitch font that shows Japanese, for the text lines of the console
// and the windows: half-width characters 8 pixels wide, full-width 16.
QFont text_line_font();

// The font of a descriptor: its typeface at `height` pixels, stretched
// horizontally so that its average character width is `width` pixels.
QFont make_font(const FontRequest& request);

// Average width of a font's characters in pixels, weighted by how often each
// lower-case letter and the blank occur in English text: the measure that
// font tables give as the average character width, and that a descriptor's
// width asks for.
double average_char_width(const QFont& font);

}  // namespace ba

#include "platform/surface.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <filesystem>

#include "display/palette.h"
#include "runtime/platform.h"
#include "support/bmp_file.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

std::uint32_t pixel(Surface& surface, int x, int y) {
  QRgb value = surface.image().pixel(x, y);
  return rgb(qRed(value), qGreen(value), qBlue(value));
}

// Pixels of one colour inside a rectangle.
int count(Surface& surface, const QRect& area, std::uint32_t colour) {
  int found = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) found += pixel(surface, x, y) == colour;
  return found;
}

const std::uint32_t black = rgb(0, 0, 0);
const std::uint32_t white = rgb(255, 255, 255);
const std::uint32_t magenta = rgb(128, 0, 128);  // palette index 5

TEST(Surface, NewWindowIsBlackWithWhiteTextLinesAndHoldsAPrintPage) {
  Surface surface;
  EXPECT_GE(surface.image().width(), 1001);  // column 1000 is saved
  EXPECT_GE(surface.image().height(), 751);  // so is row 750
  EXPECT_EQ(pixel(surface, 0, 0), black);
  EXPECT_EQ(pixel(surface, 1000, 750), black);
  EXPECT_EQ(surface.colour_rgb(), window_palette[0]);
  surface.put_line("Wj");
  EXPECT_GT(count(surface, QRect(0, 0, 16, surface.line_height()), white), 10);
}

TEST(Surface, LinesAreOnePixelWideAlisedAndIncludeBothEnds) {
  Surface surface;
  surface.set_background_rgb(white);
  surface.clear();
  surface.set_colour_index(5);
  surface.move_to(10, 20);
  surface.line_to(60, 20);
  surface.line_to(60, 80);
  EXPECT_EQ(surface.position(), QPoint(60, 80));
  EXPECT_EQ(pixel(surface, 9, 20), white);
  EXPECT_EQ(count(surface, QRect(10, 20, 51, 1), magenta), 51);
  EXPECT_EQ(pixel(surface, 61, 20), white);
  EXPECT_EQ(count(surface, QRect(10, 19, 51, 1), magenta), 0);  // one pixel wide
  EXPECT_EQ(count(surface, QRect(10, 21, 50, 1), magenta), 0);
  EXPECT_EQ(count(surface, QRect(60, 20, 1, 61), magenta), 61);
  EXPECT_EQ(pixel(surface, 60, 81), white);
  // A diagonal has no blended neighbours: every pixel is line or background.
  surface.move_to(100, 100);
  surface.line_to(130, 117);
  EXPECT_EQ(count(surface, QRect(100, 100, 31, 18), magenta) +
                count(surface, QRect(100, 100, 31, 18), white),
            31 * 18);
  // A line of zero length leaves one dot.
  surface.move_to(200, 200);
  surface.line_to(200, 200);
  EXPECT_EQ(pixel(surface, 200, 200), magenta);
}

TEST(Surface, ColoursHaveRedInTheLowestByte) {
  Surface surface;
  struct Case {
    std::uint32_t colour;
    int red, green, blue;
  };
  const Case cases[] = {{0x0000F0u << 16, 0, 0, 240},
                        {0x0000FFu, 255, 0, 0},
                        {0x00FF00u, 0, 255, 0},
                        {0xFFFF00u, 0, 255, 255}};
  int x = 0;
  for (const auto& c : cases) {
    surface.set_colour_rgb(c.colour);
    surface.move_to(x, 5);
    surface.line_to(x, 5);
    EXPECT_EQ(surface.image().pixel(x, 5), qRgb(c.red, c.green, c.blue)) << x;
    x += 2;
  }
}

TEST(Surface, PaletteIndexOutsideTheSixteenEntriesIsIgnored) {
  Surface surface;
  surface.set_colour_index(12);
  EXPECT_EQ(surface.colour_rgb(), rgb(255, 0, 0));
  surface.set_colour_index(16);
  surface.set_colour_index(-1);
  EXPECT_EQ(surface.colour_rgb(), rgb(255, 0, 0));
}

TEST(Surface, SavesTheExactRectangleAsA24BitBmp) {
  Surface surface;
  surface.set_background_rgb(white);
  surface.clear();
  surface.set_colour_index(5);
  surface.move_to(1, 1);  // the rectangle's top left corner
  surface.line_to(1, 1);
  surface.move_to(1000, 750);  // and its bottom right
  surface.line_to(1000, 750);
  const std::optional<std::string> bytes = surface.bmp_bytes(1, 1, 1000, 750);
  ASSERT_TRUE(bytes);

  const test::BmpFile file(*bytes);
  ASSERT_GE(file.bytes.size(), 54u);
  EXPECT_EQ(file.bytes.substr(0, 2), "BM");
  EXPECT_EQ(file.width, 1000);
  EXPECT_EQ(file.height, 750);  // rows bottom-up
  EXPECT_EQ(file.bits, 24);
  EXPECT_EQ(file.compression, 0u);
  EXPECT_EQ(file.bytes.size(), file.pixels_at + 1000u * 3u * 750u);

  QImage saved = QImage::fromData(QByteArray::fromStdString(*bytes), "BMP");
  ASSERT_EQ(saved.size(), QSize(1000, 750));
  EXPECT_EQ(saved.pixel(0, 0), qRgb(128, 0, 128));
  EXPECT_EQ(saved.pixel(999, 749), qRgb(128, 0, 128));
  EXPECT_EQ(saved.pixel(1, 0), qRgb(255, 255, 255));
}

TEST(Surface, BmpRowsOfOddWidthArePadded) {
  Surface surface;
  surface.set_colour_rgb(rgb(10, 20, 30));
  surface.move_to(5, 6);
  surface.line_to(5, 6);
  const std::optional<std::string> bytes = surface.bmp_bytes(5, 5, 7, 6);
  ASSERT_TRUE(bytes);
  const test::BmpFile file(*bytes);
  EXPECT_EQ(file.width, 3);
  EXPECT_EQ(file.height, 2);
  ASSERT_EQ(file.bytes.size(), file.pixels_at + 2u * 12u);  // 9 bytes a row, padded to 12
  // The bottom row comes first; its first pixel is (5, 6), blue green red.
  EXPECT_EQ(file.bytes.substr(file.pixels_at, 3), "\x1e\x14\x0a");
}

TEST(Surface, AnEmptyRectangleHasNoImage) {
  Surface surface;
  EXPECT_FALSE(surface.bmp_bytes(10, 10, 9, 10));
  EXPECT_FALSE(surface.bmp_bytes(10, 10, 10, 9));
}

TEST(Surface, TextLinesGoDownAndScrollAtTheBottom) {
  Surface surface;
  int height = surface.line_height();
  ASSERT_GE(height, 16);
  surface.put_line("first");
  EXPECT_EQ(surface.text_position(), QPoint(0, height));
  surface.put_line(QString::fromUtf8("ecg dataを表示"));
  EXPECT_GT(count(surface, QRect(8 * 9, height, 48, height), white), 20);  // the Japanese part
  // Fill the surface; the first lines scroll away and the last stays visible.
  int lines = Surface::height / height + 3;
  for (int i = 0; i < lines; ++i) surface.put_line(QString("line %1").arg(i));
  EXPECT_LE(surface.text_position().y(), Surface::height);
  EXPECT_GT(surface.text_position().y(), Surface::height - height);
  EXPECT_GT(count(surface, QRect(0, surface.text_position().y() - height, 64, height), white), 20);
  // The cleared surface starts again at the top left.
  surface.clear();
  EXPECT_EQ(surface.text_position(), QPoint(0, 0));
  EXPECT_EQ(count(surface, QRect(0, 0, Surface::width, Surface::height), black),
            Surface::width * Surface::height);
}

TEST(Surface, ScrollingMovesEverythingUpByTheMissingRows) {
  Surface surface;
  int height = surface.line_height();
  int lines = Surface::height / height;
  for (int i = 0; i < lines; ++i) surface.put_line(i == lines - 1 ? "WWWW" : "");
  int last_row = surface.text_position().y() - height;
  QImage last_line = surface.image().copy(0, last_row, 64, height);
  int missing = surface.text_position().y() + height - Surface::height;
  ASSERT_GT(missing, 0);
  surface.put_line("");
  EXPECT_EQ(surface.image().copy(0, last_row - missing, 64, height), last_line);
  EXPECT_EQ(surface.text_position().y(), Surface::height);
}

TEST(Surface, DrawnTextStartsAtTheCurrentPositionAndMovesItRight) {
  Surface surface;
  surface.set_background_rgb(white);
  surface.clear();
  surface.set_colour_rgb(rgb(0, 255, 0));  // shows through the text's transparent background
  surface.move_to(0, 36);
  surface.line_to(300, 36);
  surface.set_colour_index(5);
  surface.set_font("t'Times New Roman'h12w5");
  surface.move_to(20, 30);
  surface.draw_text("  1234 ");
  int advance = surface.position().x() - 20;
  EXPECT_EQ(surface.position().y(), 30);
  EXPECT_NEAR(advance, 7 * 5, 6);
  QRect box(20, 30, advance, 12);
  EXPECT_GT(count(surface, box, magenta), 15);
  EXPECT_EQ(count(surface, QRect(0, 0, 300, 30), magenta), 0);          // nothing above the top
  EXPECT_EQ(count(surface, QRect(0, 30, 20, 12), magenta), 0);          // nor left of it
  EXPECT_GT(count(surface, QRect(20, 36, 14, 1), rgb(0, 255, 0)), 10);  // the two blanks
}

TEST(Surface, UnreadableFontDescriptorKeepsTheFont) {
  Surface surface;
  surface.set_font("t'Times New Roman'h24w10");
  QFont chosen = surface.font();
  surface.set_font("Times");
  EXPECT_EQ(surface.font(), chosen);
}

TEST(Surface, TypedLineIsEchoedAndEditedOverWhatWasThere) {
  Surface surface;
  surface.set_colour_rgb(rgb(255, 0, 0));
  surface.move_to(0, 5);
  surface.line_to(100, 5);  // crosses the first text line
  surface.begin_input();
  surface.show_input("WWW");
  EXPECT_GT(count(surface, QRect(16, 0, 8, surface.line_height()), white), 5);
  surface.show_input("WW");  // Backspace
  EXPECT_EQ(count(surface, QRect(16, 0, 8, surface.line_height()), white), 0);
  EXPECT_EQ(pixel(surface, 20, 5), rgb(255, 0, 0));  // what was under the W is back
  EXPECT_EQ(surface.input_caret("WW"), QRect(16, 0, 1, surface.line_height()));
  surface.end_input("WW");
  EXPECT_EQ(surface.text_position(), QPoint(0, surface.line_height()));
  EXPECT_GT(count(surface, QRect(0, 0, 16, surface.line_height()), white), 10);
}

}  // namespace
}  // namespace ba

#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

namespace ba {
namespace {

TEST(Fonts, TimesNewRomanResolvesToAMetricCompatibleSerif) {
  QFont font = make_font({"Times New Roman", 24, 10});
  EXPECT_EQ(QFontInfo(font).family(), "Liberation Serif");
  EXPECT_EQ(font.pixelSize(), 24);
}

TEST(Fonts, WidthStretchesToTheAskedAverage) {
  for (int width : {5, 10, 16}) {
    SCOPED_TRACE(width);
    QFont font = make_font({"Times New Roman", 24, width});
    EXPECT_NEAR(average_char_width(font), width, 0.6);
  }
}

TEST(Fonts, TextLineFontShowsJapaneseAtFixedPitch) {
  QFont font = text_line_font();
  EXPECT_EQ(QFontInfo(font).family(), "IPAGothic");
  QFontMetrics metrics(font);
  EXPECT_EQ(metrics.horizontalAdvance("A"), 8);
  EXPECT_EQ(metrics.horizontalAdvance("i"), 8);
  EXPECT_EQ(metrics.horizontalAdvance(QString::fromUtf8("表")), 16);
  EXPECT_TRUE(metrics.inFont(QString::fromUtf8("表").front()));
}

}  // namespace
}  // namespace ba

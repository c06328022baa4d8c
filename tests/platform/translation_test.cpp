#include "platform/translation.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

#include "platform/window_platform.h"

namespace ba {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

QStringList menu_titles(WindowPlatform& platform) {
  QStringList titles;
  for (QAction* action : platform.main_window().menuBar()->actions()) titles << action->text();
  return titles;
}

// A Japanese system gets Japanese menus, captions and status texts.
TEST(Translation, JapaneseLocaleTranslatesTheWindowsOwnTexts) {
  std::unique_ptr<QTranslator> japanese =
      load_translation(QLocale(QLocale::Japanese, QLocale::Japan));
  ASSERT_NE(japanese, nullptr);
  QCoreApplication::installTranslator(japanese.get());
  {
    WindowPlatform platform(disk);
    platform.open_window(12);
    EXPECT_EQ(menu_titles(platform), (QStringList{"ファイル(&F)", "表示(&V)", "マーキング(&M)",
                                                  "ウィンドウ(&W)", "ヘルプ(&H)"}));
    EXPECT_EQ(platform.child(12)->windowTitle(), "概観と拡大波形 (ユニット 12)");
    platform.selection_described("demo", false);
    EXPECT_EQ(platform.main_window().note_text(), "基準点が未設定のため、面積はすべて 0 です");
  }
  QCoreApplication::removeTranslator(japanese.get());
}

// Qt's own dialogs (the file dialog's buttons) speak the window's language.
TEST(Translation, QtsOwnTextsComeWithTheJapaneseLocale) {
  std::unique_ptr<QTranslator> qt = load_qt_translation(QLocale(QLocale::Japanese, QLocale::Japan));
  ASSERT_NE(qt, nullptr);
  EXPECT_EQ(qt->translate("QPlatformTheme", "Cancel"), "キャンセル");
}

TEST(Translation, OtherLocalesKeepEnglish) {
  EXPECT_EQ(load_translation(QLocale(QLocale::English, QLocale::UnitedStates)), nullptr);
  EXPECT_EQ(load_translation(QLocale(QLocale::German, QLocale::Germany)), nullptr);
  WindowPlatform platform(disk);
  EXPECT_EQ(menu_titles(platform), (QStringList{"&File", "&View", "&Marking", "&Window", "&Help"}));
}

}  // namespace
}  // namespace ba

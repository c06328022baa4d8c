// The Map window of the interactive mode: opened from the View menu, fed by
// the program's selections, never a unit of the program.

#include "platform/map_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>

#include "platform/window_platform.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

QAction* menu_item(QMenuBar& bar, const QString& menu, const QString& item) {
  for (QAction* title : bar.actions())
    if (title->text() == menu && title->menu())
      for (QAction* action : title->menu()->actions())
        if (action->text() == item) return action;
  return nullptr;
}

std::vector<ResultBeat> two_beats() {
  std::vector<ResultBeat> beats(2);
  beats[0].r_ms = 1200;
  beats[1].r_ms = 2050;
  for (int n = 1; n <= lead_point_count; ++n) {
    beats[0].areas(n) = n - 20;
    beats[1].areas(n) = 40 - n;
  }
  return beats;
}

TEST(MapWindow, OpensFromTheViewMenuAndFollowsEachSelection) {
  WindowPlatform platform;
  QMenuBar& bar = *platform.main_window().menuBar();
  QStringList menus;
  for (QAction* title : bar.actions()) menus << title->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Window", "&Help"}));
  QAction* show = menu_item(bar, "&View", "QRST map");
  ASSERT_NE(show, nullptr);
  EXPECT_EQ(show->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
  ASSERT_NE(menu_item(bar, "&File", "Export map..."), nullptr);

  platform.open_window(12);
  show->trigger();
  MapWindow* map = platform.map_hook().window();
  ASSERT_NE(map, nullptr);
  EXPECT_FALSE(map->page()) << "nothing measured yet";
  EXPECT_EQ(platform.active_unit(), 12) << "the map is no unit";

  platform.selection_measured(two_beats());
  ASSERT_TRUE(map->page());
  EXPECT_EQ(map->page()->title, "QRST integral map: mean of 2 beats");
  map->beat_choice().setValue(2);
  EXPECT_EQ(map->kind_choice().currentText(), "One beat");
  EXPECT_EQ(map->page()->title, "QRST integral map: beat 2 of 2, R 2050 ms");
  map->kind_choice().setCurrentIndex(1);
  EXPECT_EQ(map->page()->title, "QRST integral map: standard deviation over 2 beats");
  // A new c starts again from the mean.
  platform.selection_measured(two_beats());
  EXPECT_EQ(map->kind_choice().currentText(), "Mean");
  EXPECT_EQ(platform.active_unit(), 12);
  EXPECT_EQ(platform.surface(12).text_position().y(), 0) << "nothing written to the unit";

  const test::TempFolder folder("map_window");
  EXPECT_EQ(platform.map_hook().export_to((folder / "map.svg").string()), std::nullopt);
  EXPECT_EQ(test::read_host_file(folder / "map.svg").rfind("<?xml", 0), 0u);
}

TEST(MapWindow, ExportWithoutAMapSaysSo) {
  WindowPlatform platform;
  const test::TempFolder folder("map_window_empty");
  EXPECT_EQ(platform.map_hook().export_to((folder / "map.png").string()),
            "no map to export: command c measures the beats first");
  EXPECT_FALSE(std::filesystem::exists(folder / "map.png"));
}

}  // namespace
}  // namespace ba

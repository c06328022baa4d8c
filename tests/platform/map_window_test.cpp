// The Map window of the interactive mode: opened from the View menu, fed by
// the program's selections, never a unit of the program.

#include "platform/map_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <algorithm>
#include <map>
#include <string>

#include "platform/window_platform.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

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
  WindowPlatform platform(disk);
  QMenuBar& bar = *platform.main_window().menuBar();
  QStringList menus;
  for (QAction* title : bar.actions()) menus << title->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Marking", "&Window", "&Help"}));
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

// A reference group over leads 1..lead_count: the same mean and SD at every
// lead but those of `no_sd`, whose SD is 0; its basis the unit vectors of
// leads 1, 2, ... `basis_size`.
std::string group_json(double mean, double sd, int basis_size, const std::vector<int>& no_sd = {},
                       int lead_count = lead_point_count) {
  auto list = [&](auto value_of) {
    std::string text = "[";
    for (int n = 1; n <= lead_count; ++n) text += (n > 1 ? "," : "") + std::to_string(value_of(n));
    return text + "]";
  };
  std::string basis;
  for (int k = 1; k <= basis_size; ++k)
    basis += std::string(k > 1 ? "," : "") + "{\"eigenvalue\":" + std::to_string(10 - k) +
             ",\"vector\":" + list([k](int n) { return n == k ? 1 : 0; }) + "}";
  return "{\"format\":\"beat-analyser-reference\",\"version\":1,\"count\":3,\"leads\":" +
         list([](int n) { return n; }) + ",\"mean\":" + list([mean](int) { return mean; }) +
         ",\"sd\":" +
         list([&](int n) { return std::count(no_sd.begin(), no_sd.end(), n) ? 0.0 : sd; }) +
         ",\"basis\":[" + basis +
         "],\"files\":[{\"name\":\"a\",\"sha256\":\"\"},{\"name\":\"b\",\"sha256\":\"\"},"
         "{\"name\":\"c\",\"sha256\":\"\"}]}";
}

// Two beats whose mean map is 1, 2, 2, 4 at leads 1-4, -5 at lead 17 and 0
// elsewhere: KL coefficients on unit vectors 1, 2, 2, 4, NDI 16 / 25.
std::vector<ResultBeat> beats_around_known_mean() {
  std::vector<ResultBeat> beats(2);
  beats[1].r_ms = 900;
  const std::map<int, int> mean = {{1, 1}, {2, 2}, {3, 2}, {4, 4}, {17, -5}};
  for (int n = 1; n <= lead_point_count; ++n) {
    const int m = mean.count(n) ? mean.at(n) : 0;
    beats[0].areas(n) = m + n;
    beats[1].areas(n) = m - n;
  }
  return beats;
}

// The kind chooser draws what map --kind draws from the selection's lead
// measures: lead n's activation times 10 + n % 5 and 14 + n % 5 ms average
// to 12 + n % 5; lead 8, timed in the first beat only, keeps its 30 ms;
// lead 7, timed in neither, is left out.
TEST(MapWindow, KindsOfTheLeadsValuesAsTheMapVerbDrawsThem) {
  WindowPlatform platform(disk);
  std::vector<BeatLeads> leads(2);
  for (int k = 0; k < 2; ++k) {
    leads[static_cast<std::size_t>(k)].r_ms = two_beats()[static_cast<std::size_t>(k)].r_ms;
    for (int n = 1; n <= lead_point_count; ++n)
      if (n != 7 && !(n == 8 && k == 1))
        leads[static_cast<std::size_t>(k)].at_ms(n) = n == 8 ? 30 : 10 + 4 * k + n % 5;
  }
  platform.selection_leads_measured(leads);
  platform.selection_measured(two_beats());
  MapWindow& map = platform.map_hook().open();
  QComboBox& kind = map.lead_kind_choice();
  ASSERT_EQ(kind.count(), 6);
  EXPECT_EQ(kind.currentText(), "QRST area");
  kind.setCurrentIndex(3);
  EXPECT_EQ(kind.currentText(), "Activation time");
  const auto shown = map.page();
  ASSERT_TRUE(shown);
  const MapPage& page = *shown;
  EXPECT_EQ(page.unit, "AT ms");
  EXPECT_EQ(page.scale, ColourScale::sequential);
  EXPECT_NEAR(page.frames.at(0).values(1), 13.0, 1e-9);
  EXPECT_NEAR(page.frames.at(0).values(5), 12.0, 1e-9);
  EXPECT_NEAR(page.frames.at(0).values(8), 30.0, 1e-9);
  EXPECT_TRUE(page.layout.leads(7).bad);
  EXPECT_FALSE(page.layout.leads(8).bad);
  EXPECT_EQ(map.view_name(), "mean_at");
  // Without lead measures no other kind is drawn.
  platform.selection_leads_measured({});
  platform.selection_measured(two_beats());
  EXPECT_FALSE(map.page());
  EXPECT_EQ(map.blank_reason(), "No lead measures for these beats: command c measures them.");
}

TEST(MapWindow, DepartureFromAChosenGroup) {
  struct Case {
    const char* label;
    std::string group;
    QString line;
  };
  const Case cases[] = {
      {"SD 1 about 0: z is the map", group_json(0, 1, 4), "NDI 0.640   max |z| 5.0 at lead 17"},
      {"mean 1, SD 2: z = (m - 1) / 2", group_json(1, 2, 4), "NDI 0.640   max |z| 3.0 at lead 17"},
      {"three basis vectors: no NDI", group_json(0, 1, 3), "NDI \u2013   max |z| 5.0 at lead 17"},
      {"leads without SD left out and said", group_json(0, 1, 4, {17, 20}),
       "NDI 0.640   max |z| 4.0 at lead 4   leads 17, 20 left out: the group gives no SD there"},
  };
  const test::TempFolder folder("map_window_group");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WindowPlatform platform(disk);
    ASSERT_NE(menu_item(*platform.main_window().menuBar(), "&View", "Choose reference group..."),
              nullptr);
    platform.selection_measured(beats_around_known_mean());
    test::write_host_file(folder / "group.ref.json", c.group);
    EXPECT_EQ(platform.map_hook().choose_group((folder / "group.ref.json").string()), std::nullopt);
    MapWindow* map = platform.map_hook().window();
    ASSERT_NE(map, nullptr) << "choosing a group opens the map";
    EXPECT_EQ(map->view_name(), "departure");
    ASSERT_TRUE(map->page());
    EXPECT_EQ(map->page()->kind, MapKind::departure);
    EXPECT_EQ(map->group_line(), c.line);
  }
}

TEST(MapWindow, AGroupThatCannotBeUsedChangesNothing) {
  const test::TempFolder folder("map_window_bad_group");
  WindowPlatform platform(disk);
  const std::string good = (folder / "good.ref.json").string();
  test::write_host_file(good, group_json(0, 1, 4));
  // Chosen before any beat: no line until c measures some.
  EXPECT_EQ(platform.map_hook().choose_group(good), std::nullopt);
  MapWindow* map = platform.map_hook().window();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->group_line(), "");
  EXPECT_EQ(map->blank_reason(), "No measured beats yet: command c measures them.");
  platform.selection_measured(beats_around_known_mean());
  const QString line = "NDI 0.640   max |z| 5.0 at lead 17";
  EXPECT_EQ(map->group_line(), line);

  struct Case {
    const char* label;
    std::string text;
    std::string reason;
  };
  const Case cases[] = {
      {"not JSON", "{", "is not JSON"},
      {"other leads", group_json(0, 1, 4, {}, 63),
       "was made over other leads than the layout's usable ones"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = (folder / "bad.ref.json").string();
    test::write_host_file(path, c.text);
    EXPECT_EQ(platform.map_hook().choose_group(path), path + ": " + c.reason);
    EXPECT_EQ(map->group_line(), line);
  }
}

TEST(MapWindow, ExportWithoutAMapSaysSo) {
  WindowPlatform platform(disk);
  const test::TempFolder folder("map_window_empty");
  EXPECT_EQ(platform.map_hook().export_to((folder / "map.png").string()),
            "no map to export: command c measures the beats first");
  EXPECT_FALSE(std::filesystem::exists(folder / "map.png"));
}

}  // namespace
}  // namespace ba

#include "platform/surface_platform.h"

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <stdexcept>

#include "support/temp_folder.h"

namespace ba {
namespace {

// The surface platform without input, for the rules it shares between modes.
class SilentPlatform : public SurfacePlatform {
 public:
  std::string get_line(int) override { return ""; }
  MouseEvent wait_mouse_event(int) override { return {}; }
  void show_error(const std::string&) override {}
};

QRgb at(SurfacePlatform& platform, int unit, int x, int y) {
  return platform.surface(unit).image().pixel(x, y);
}

TEST(ActiveWindow, ConsoleIsActiveUntilAWindowOpens) {
  SilentPlatform platform;
  EXPECT_EQ(platform.active_unit(), console_unit);
  // The start-up dialogue clears the console.
  platform.put_line(console_unit, "banner");
  platform.clear_window();
  EXPECT_EQ(platform.surface(console_unit).text_position(), QPoint(0, 0));
  platform.open_window(14);
  EXPECT_EQ(platform.active_unit(), 14);
  platform.open_window(12);
  EXPECT_EQ(platform.active_unit(), 12);
  EXPECT_EQ(platform.window_units(), (std::vector<int>{14, 12}));
}

TEST(ActiveWindow, WindowLinesMoveItConsoleLinesDoNot) {
  SilentPlatform platform;
  platform.open_window(14);
  platform.open_window(12);
  platform.activate_window(14);  // a line written to the print page
  EXPECT_EQ(platform.active_unit(), 14);
  platform.activate_window(console_unit);
  platform.put_line(console_unit, "console line");
  EXPECT_EQ(platform.active_unit(), 14);
  platform.activate_window(12);
  EXPECT_EQ(platform.active_unit(), 12);
}

TEST(ActiveWindow, DrawingGoesToTheActiveWindowOnly) {
  SilentPlatform platform;
  platform.open_window(14);
  platform.set_background_rgb(0xFFFFFF);
  platform.clear_window();
  platform.open_window(12);
  platform.set_colour_rgb(0x0000FF);
  platform.move_to(5, 5);
  platform.line_to(5, 5);
  EXPECT_EQ(at(platform, 12, 5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(at(platform, 14, 5, 5), qRgb(255, 255, 255));
  EXPECT_EQ(at(platform, console_unit, 5, 5), qRgb(0, 0, 0));
  // Each window keeps its own drawing colour and position.
  platform.activate_window(14);
  platform.line_to(7, 5);
  EXPECT_EQ(at(platform, 14, 7, 5), qRgb(0, 0, 0));
}

TEST(ActiveWindow, ClosingTheActiveWindowFallsBackToTheLastActiveOne) {
  SilentPlatform platform;
  platform.open_window(14);
  platform.open_window(12);
  platform.close_window(12);
  EXPECT_EQ(platform.active_unit(), 14);
  EXPECT_FALSE(platform.is_open(12));
  platform.close_window(14);
  EXPECT_EQ(platform.active_unit(), console_unit);
}

TEST(ActiveWindow, UnitsThatAreNotOpenWindowsAreRefused) {
  SilentPlatform platform;
  EXPECT_THROW(platform.activate_window(12), std::logic_error);
  EXPECT_THROW(platform.put_line(12, "x"), std::logic_error);
  EXPECT_THROW(platform.open_window(console_unit), std::logic_error);
  platform.open_window(12);
  platform.close_window(12);
  EXPECT_THROW(platform.put_line(12, "x"), std::logic_error);
  EXPECT_THROW(platform.close_window(12), std::logic_error);
}

TEST(Snapshots, EveryWindowEverOpenedAndTheConsoleAreSaved) {
  SilentPlatform platform;
  platform.open_window(14);
  platform.set_background_rgb(0xFFFFFF);
  platform.clear_window();
  platform.open_window(12);
  platform.close_window(12);  // the exit sequence closes the graphics window
  const test::TempFolder temp("snapshots");
  const auto folder = temp / "made";
  HostFileOps files;
  ASSERT_EQ(platform.save_snapshots(folder, files), std::nullopt);
  for (const char* name : {"console.png", "unit12.png", "unit14.png"})
    EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
  QImage page(QString::fromStdString((folder / "unit14.png").string()));
  EXPECT_EQ(page.size(), QSize(Surface::width, Surface::height));
  EXPECT_EQ(page.pixel(500, 500), qRgb(255, 255, 255));
}

TEST(Snapshots, AnUnwritableFolderIsReported) {
  SilentPlatform platform;
  const test::TempFolder folder("snapshots_bad");
  test::write_host_file(folder / "file", "x");
  HostFileOps files;
  auto failed = platform.save_snapshots(folder / "file" / "inside", files);
  ASSERT_TRUE(failed.has_value());
  EXPECT_NE(failed->find("inside"), std::string::npos);
}

// A snapshot's name that is a link, to a file or to nowhere, is replaced by
// the picture; what the link pointed to keeps its bytes.
TEST(Snapshots, ALinkInPlaceOfASnapshotIsReplacedNotFollowed) {
  namespace fs = std::filesystem;
  SilentPlatform platform;
  platform.open_window(12);
  const test::TempFolder temp("snapshots_link");
  const fs::path shots = temp / "shots";
  fs::create_directories(shots);
  test::write_host_file(temp / "kept.txt", "someone else's");
  fs::create_symlink(temp / "kept.txt", shots / "console.png");
  fs::create_symlink(temp / "nowhere.png", shots / "unit12.png");
  HostFileOps files;
  ASSERT_EQ(platform.save_snapshots(shots, files), std::nullopt);
  EXPECT_EQ(test::read_host_file(temp / "kept.txt"), "someone else's");
  EXPECT_FALSE(fs::exists(temp / "nowhere.png"));
  for (const char* name : {"console.png", "unit12.png"}) {
    EXPECT_FALSE(fs::is_symlink(shots / name)) << name;
    EXPECT_EQ(test::read_host_file(shots / name).substr(1, 3), "PNG") << name;
  }
}

// A write that fails is named with the system's reason.
TEST(Snapshots, AFailedWriteIsReportedWithItsReason) {
  struct FullDisk : HostFileOps {
    std::optional<std::string> replace_file(const std::filesystem::path&,
                                            std::string_view) override {
      return "No space left on device";
    }
  } full;
  SilentPlatform platform;
  const test::TempFolder temp("snapshots_full");
  auto failed = platform.save_snapshots(temp.path(), full);
  ASSERT_TRUE(failed.has_value());
  EXPECT_EQ(*failed,
            "cannot write " + (temp / "console.png").string() + ": No space left on device");
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

}  // namespace
}  // namespace ba

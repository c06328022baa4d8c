// The whole program in the window mode, typed at and clicked like a person
// would: the start-up dialogue in the console, the preview in the graphics
// window, a beat chosen with the mouse. Run once more under a real X server
// (Xvfb) when one can be started, where a screenshot shows what a person sees.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QMdiArea>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "app/program_runs.h"
#include "platform/session.h"
#include "platform/window_platform.h"
#include "program/program_state.h"
#include "runtime/io.h"
#include "support/qt_application.h"
#include "support/window_person.h"

namespace ba {
namespace {

namespace fs = std::filesystem;

// One QApplication for the whole test program.
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new test::QtApplicationEnvironment);

using test::captions;
using test::Person;

// The first column where row `row` of the image has exactly `colour`, or -1.
int first_column(const QImage& image, int row, QRgb colour, int from = 0) {
  for (int x = from; x < image.width(); ++x)
    if (image.pixel(x, row) == colour) return x;
  return -1;
}

const QRgb cyan = qRgb(0, 255, 255);

// Lets the window system show the latest paint before a screenshot.
void settle() {
  for (int i = 0; i < 10; ++i) {
    QApplication::processEvents();
    QTest::qWait(50);
  }
}

// The screenshot of the whole screen, saved where BEAT_SCREENSHOT says.
void take_screenshot(const QString& path) {
  settle();
  QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
  ASSERT_FALSE(screen.isNull());
  ASSERT_TRUE(screen.save(path, "PNG"));
}

TEST(WindowSession, DialogueThenPreviewThenAClickedBeat) {
  const test::TempFolder folder("window_session");
  test::write_demo_recording(folder / "demo.dat");
  WindowPlatform platform;
  HostFileOps files;
  Io io(platform, DataFolder(folder.path()), files);
  auto state = std::make_unique<ProgramState>();
  Person person(platform);
  int marker_column = -1;

  person.then([&] {
    EXPECT_EQ(captions(platform), QStringList{"Console"});
    SurfaceView& console = platform.child(console_unit)->view();
    QTest::keyClicks(&console, "1");
    QTest::keyClick(&console, Qt::Key_Return);
  });
  person.types(console_unit, "demo");
  person.then([&] {
    // The menu waits in the graphics window, opened after the first print page.
    EXPECT_EQ(captions(platform), (QStringList{"Console", "Unit 14", "Unit 12"}));
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
    EXPECT_EQ(platform.main_window().focusWidget(), &platform.child(12)->view());
    QImage shown = platform.child(12)->view().grab().toImage();
    marker_column = first_column(shown, 150, cyan);
    EXPECT_GT(marker_column, 0) << "no candidate marker shown in the graphics window";
    QString screenshot = qEnvironmentVariable("BEAT_SCREENSHOT");
    if (!screenshot.isEmpty()) take_screenshot(screenshot);
    QTest::keyClicks(&platform.child(12)->view(), "s");
    QTest::keyClick(&platform.child(12)->view(), Qt::Key_Return);
  });
  person.then([&] {
    SurfaceView& graphics = platform.child(12)->view();
    EXPECT_EQ(graphics.cursor().shape(), Qt::CrossCursor);
    QTest::mousePress(&graphics, Qt::LeftButton, {}, QPoint(marker_column, 150));
  });
  person.then([&] {
    // The chosen beat is shown enlarged and the program asks to confirm it.
    EXPECT_NE(platform.child(12)->view().grab().toImage(), QImage());
    platform.main_window().close();  // the person ends the program here
  });

  std::ostringstream err;
  int status = run_session(
      platform, io, [&] { run_program(*state, io); }, err);
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_TRUE(person.done());
  EXPECT_FALSE(io.log_open());
  EXPECT_TRUE(fs::exists(folder / "demostlog.txt"));
}

// The same session under Xvfb with the window system's own plugin, and a
// screenshot of the screen at the menu.
TEST(WindowSession, RealWindowUnderXvfb) {
  if (qEnvironmentVariable("QT_QPA_PLATFORM") == "xcb") GTEST_SKIP() << "already under X";
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  const test::TempFolder folder("xvfb");
  fs::path shot = folder / "screen.png";
  std::string command =
      "xvfb-run -a -s '-screen 0 1366x768x24' env QT_QPA_PLATFORM=xcb LSAN_OPTIONS=suppressions='" +
      (fs::path(BEAT_SOURCE_DIR) / "tests" / "app" / "lsan_suppressions.txt").string() +
      "' BEAT_SCREENSHOT='" + shot.string() + "' '" + fs::read_symlink("/proc/self/exe").string() +
      "' --gtest_filter=WindowSession.DialogueThenPreviewThenAClickedBeat > '" +
      (folder / "log.txt").string() + "' 2>&1";
  int raw = std::system(command.c_str());
  const std::string log = test::read_host_file(folder / "log.txt");
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << log;
  QImage screen(QString::fromStdString(shot.string()));
  ASSERT_EQ(screen.size(), QSize(1366, 768)) << log;
  // The graphics window's markers and blue traces are on the screen.
  int markers = 0, traces = 0;
  for (int x = 0; x < screen.width(); ++x)
    for (int y = 0; y < screen.height(); y += 2) {
      markers += screen.pixel(x, y) == cyan;
      traces += screen.pixel(x, y) == qRgb(0, 0, 240);
    }
  EXPECT_GT(markers, 100);
  EXPECT_GT(traces, 100);
}

}  // namespace
}  // namespace ba

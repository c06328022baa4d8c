// The whole program in the window mode, typed at and clicked like a person
// would: the start-up dialogue in the console, the preview in the graphics
// window, a beat chosen with the mouse. Run once more under a real X server
// (Xvfb) when one can be started, where a screenshot shows what a person sees.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDockWidget>
#include <QMdiArea>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

#include "app/program_runs.h"
#include "platform/session.h"
#include "platform/window_platform.h"
#include "program/program.h"
#include "program/program_state.h"
#include "runtime/io.h"
#include "support/build_paths.h"
#include "support/qt_application.h"
#include "support/window_person.h"

namespace ba {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

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

// The person's view of one window: its position on the screen.
QRect on_screen(QWidget& widget) { return QRect(widget.mapToGlobal(QPoint()), widget.size()); }

// Presses the left button at a view position through the window system,
// at a given time (ms): presses close in time and place make a double click.
void press_at(WindowPlatform& platform, int unit, QPoint at, int time) {
  QWindow* window = platform.main_window().windowHandle();
  QPoint in_window = platform.view(unit).mapTo(&platform.main_window(), at);
  QPoint global = window->mapToGlobal(in_window);
  qt_handleMouseEvent(window, in_window, global, Qt::LeftButton, Qt::LeftButton,
                      QEvent::MouseButtonPress, {}, time);
  qt_handleMouseEvent(window, in_window, global, Qt::NoButton, Qt::LeftButton,
                      QEvent::MouseButtonRelease, {}, time + 40);
}

TEST(WindowSession, DialogueThenPreviewThenAMarkedBeat) {
  const test::TempFolder folder("window_session");
  test::write_demo_recording(folder / "demo.dat");
  WindowPlatform platform(disk);
  HostFileOps files;
  Io io(platform, DataFolder(folder.path()), files);
  auto state = std::make_unique<ProgramState>();
  Person person(platform);
  int marker_column = -1;
  int marker_row = -1;
  const int time = QTest::lastMouseTimestamp + 10000;
  // Beat-window columns of the three fiducial points, at actual size.
  auto column = [&](int x) {
    return QPoint(x, 200) + QPoint(SurfaceView::margin, SurfaceView::margin);
  };

  person.then([&] {
    EXPECT_TRUE(captions(platform).isEmpty());
    SurfaceView& console = platform.view(console_unit);
    QTest::keyClicks(&console, "1");
    QTest::keyClick(&console, Qt::Key_Return);
  });
  person.types(console_unit, "demo");
  person.then([&] {
    // The menu waits in the graphics window, opened after the first print page.
    EXPECT_EQ(captions(platform),
              (QStringList{"Print page 1 (unit 14)", "Overview and enlarged beat (unit 12)"}));
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
    EXPECT_EQ(platform.main_window().focusWidget(), &platform.view(12));
    // The console panel and the whole graphics window are both on the screen.
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    QRect console = on_screen(platform.main_window().console_dock());
    QRect graphics = on_screen(*platform.child(12));
    EXPECT_TRUE(screen.contains(console) && screen.contains(graphics));
    EXPECT_FALSE(console.intersects(graphics));
    // Looked for where the person sees surface row 150, at any zoom.
    QImage shown = platform.view(12).grab().toImage();
    marker_row = platform.view(12).view_rect(QRect(0, 150, 1, 1)).y();
    marker_column = first_column(shown, marker_row, cyan);
    EXPECT_GT(marker_column, 0) << "no candidate marker shown in the graphics window";
    QString screenshot = qEnvironmentVariable("BEAT_SCREENSHOT");
    if (!screenshot.isEmpty()) take_screenshot(screenshot);
    QTest::keyClicks(&platform.view(12), "s");
    QTest::keyClick(&platform.view(12), Qt::Key_Return);
  });
  person.then([&] {
    SurfaceView& graphics = platform.view(12);
    EXPECT_EQ(graphics.cursor().shape(), Qt::CrossCursor);
    QTest::mousePress(&graphics, Qt::LeftButton, {}, QPoint(marker_column, marker_row));
  });
  person.types(12, "y");  // this beat
  person.types(12, "s");  // mark its fiducial points
  person.then([&] {
    platform.pane(12).actual_size();
    press_at(platform, 12, column(120), time);  // PQ, double-clicked
  });
  person.then([&] {
    // The double click's second press comes while Q start is awaited.
    press_at(platform, 12, column(120), time + 150);
    press_at(platform, 12, column(150), time + 3000);  // Q start
  });
  person.then([&] {
    QString screenshot = qEnvironmentVariable("BEAT_SCREENSHOT_MARKING");
    if (!screenshot.isEmpty()) {
      platform.pane(12).zoom_to_fit();  // as a person first sees it
      take_screenshot(screenshot);
      platform.pane(12).actual_size();
    }
    press_at(platform, 12, column(420), time + 6000);  // T end
  });
  person.types(12, "y");  // keep the three points
  person.then([&] {
    EXPECT_EQ(platform.main_window().waiting_text(),
              "Type an answer in Overview and enlarged beat (unit 12), then Enter");
    platform.main_window().close();  // the person ends the program here
  });

  std::ostringstream err;
  int status = exit_code(run_session(
      platform, io, [&] { run_program(*state, io, platform); }, err));
  QTest::lastMouseTimestamp = time + 10000;
  EXPECT_EQ(status, 0) << err.str();
  EXPECT_TRUE(person.done());
  EXPECT_FALSE(io.log_open());
  EXPECT_TRUE(fs::exists(folder / "demostlog.txt"));
  // Column 120 of the beat display is beat-window index 199; 0.6 window
  // units hold the 1000 indices.
  EXPECT_EQ(state->marking.pq_point, 199);
  EXPECT_EQ(state->marking.q_start, 249);
  EXPECT_EQ(state->marking.t_end, 699);
}

// Command c after the fiducial points were never confirmed, or confirmed
// with the T end before the Q start: every area is 0, as measured, and the
// status bar and the Map window say why.
TEST(WindowSession, MeasuringWithoutMarkedPointsSaysWhy) {
  struct Case {
    const char* name;
    std::vector<int> clicks;  // beat-window columns of PQ, Q start, T end; none: not marked
    bool said;
  };
  const Case cases[] = {
      {"never confirmed", {}, true},
      {"T end before Q start", {120, 420, 150}, true},
      {"marked", {120, 150, 420}, false},
  };
  const QString note = "The fiducial points are not marked: every area is 0";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const test::TempFolder folder("unmarked");
    test::write_demo_recording(folder / "demo.dat");
    WindowPlatform platform(disk);
    HostFileOps files;
    Io io(platform, DataFolder(folder.path()), files);
    auto state = std::make_unique<ProgramState>();
    Person person(platform);
    int time = QTest::lastMouseTimestamp + 10000;
    QString status_note, map_note;
    bool all_zero = true;
    person.types(console_unit, "0");  // conditions: leads 1, 1, 1; no print pages
    person.types(console_unit, "1");
    person.types(console_unit, "1");
    person.types(console_unit, "1");
    person.types(console_unit, "0");
    person.types(console_unit, "demo");
    person.types(12, "s");
    person.then([&] {
      // The first candidate of the preview.
      SurfaceView& graphics = platform.view(12);
      QImage shown = graphics.grab().toImage();
      const int row = graphics.view_rect(QRect(0, 150, 1, 1)).y();
      QTest::mousePress(&graphics, Qt::LeftButton, {}, QPoint(first_column(shown, row, cyan), row));
    });
    person.types(12, "y");
    if (!c.clicks.empty()) {
      person.types(12, "s");
      for (int x : c.clicks)
        person.then([&platform, &time, x] {
          platform.pane(12).actual_size();
          press_at(platform, 12, QPoint(x, 200) + QPoint(SurfaceView::margin, SurfaceView::margin),
                   time += 3000);
        });
      person.types(12, "y");
    }
    person.types(12, "x");  // back to the main menu
    person.types(12, "c");
    person.then([&] {
      status_note = platform.main_window().note_text();
      map_note = platform.map_hook().open().note();
      for (const ResultBeat& beat : platform.measured_beats())
        for (int n = 1; n <= lead_point_count; ++n) all_zero = all_zero && beat.areas(n) == 0;
      platform.main_window().close();
    });
    std::ostringstream err;
    run_session(
        platform, io, [&] { run_program(*state, io, platform); }, err);
    QTest::lastMouseTimestamp = time + 10000;
    EXPECT_TRUE(person.done()) << err.str();
    EXPECT_FALSE(platform.measured_beats().empty());
    EXPECT_EQ(all_zero, c.said);
    EXPECT_EQ(status_note, c.said ? note : QString());
    EXPECT_EQ(map_note, c.said ? note : QString());
  }
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
      (ba::test::source_dir() / "tests" / "app" / "lsan_suppressions.txt").string() +
      "' BEAT_SCREENSHOT='" + shot.string() + "' BEAT_SCREENSHOT_MARKING='" +
      qEnvironmentVariable("BEAT_SCREENSHOT_MARKING").toStdString() + "' '" +
      fs::read_symlink("/proc/self/exe").string() +
      "' --gtest_filter=WindowSession.DialogueThenPreviewThenAMarkedBeat > '" +
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

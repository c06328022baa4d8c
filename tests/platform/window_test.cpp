#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "platform/window_platform.h"
#include "runtime/errors.h"
#include "support/window_person.h"

namespace ba {
namespace {

using test::captions;
using test::Person;

// Presses a button where the person sees `at` in the child's visible area,
// routed by the window system like a real press.
void press_in_viewport(WindowPlatform& platform, int unit, QPoint at,
                       Qt::MouseButton button = Qt::LeftButton) {
  QWidget* viewport = platform.child(unit)->scroll_area().viewport();
  QWidget& main = platform.main_window();
  QTest::mousePress(main.windowHandle(), button, {}, viewport->mapTo(&main, at));
  QTest::mouseRelease(main.windowHandle(), button, {}, viewport->mapTo(&main, at));
}

TEST(WindowMode, ChildrenAreCaptionedInOpeningOrder) {
  WindowPlatform platform;
  EXPECT_EQ(platform.main_window().windowTitle(), "beat analyser");
  platform.open_window(14);
  platform.open_window(12);
  EXPECT_EQ(captions(platform), (QStringList{"Console", "Unit 14", "Unit 12"}));
  EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
  platform.activate_window(14);
  EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(14));
  platform.close_window(14);
  EXPECT_EQ(platform.child(14), nullptr);
  EXPECT_EQ(platform.active_unit(), 12);
}

// The Window menu brings a covered child into view without moving the
// program's active window.
TEST(WindowMode, WindowMenuShowsACoveredChild) {
  WindowPlatform platform;
  platform.open_window(12);
  QMenu* menu = platform.main_window().menuBar()->findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  QStringList items;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) items << action->text();
  EXPECT_EQ(items, (QStringList{"&Cascade", "&Tile", "Console", "Unit 12"}));
  menu->actions().at(3)->trigger();  // Console
  EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(console_unit));
  EXPECT_EQ(platform.active_unit(), 12);
}

TEST(WindowMode, TypedLineWithEchoAndBackspace) {
  WindowPlatform platform;
  Person person(platform);
  person.then([&] {
    SurfaceView& console = platform.child(console_unit)->view();
    QTest::keyClicks(&console, "21x");
    QTest::keyClick(&console, Qt::Key_Backspace);
    QTest::keyClick(&console, Qt::Key_Return);
  });
  platform.put_line(console_unit, "prompt");
  EXPECT_EQ(platform.get_line(console_unit), "21");
  Surface& console = platform.surface(console_unit);
  EXPECT_EQ(console.text_position().y(), 2 * console.line_height());  // prompt, echo
  QImage echo = console.image().copy(0, console.line_height(), 32, console.line_height());
  Surface reference;
  reference.put_line("21");
  EXPECT_EQ(echo, reference.image().copy(0, 0, 32, reference.line_height()));
}

TEST(WindowMode, JapaneseComesThroughTheInputMethod) {
  WindowPlatform platform;
  Person person(platform);
  person.then([&] {
    SurfaceView& view = platform.child(console_unit)->view();
    EXPECT_TRUE(view.inputMethodQuery(Qt::ImEnabled).toBool());
    QInputMethodEvent composing(QString::fromUtf8("ひょうじ"), {});
    QApplication::sendEvent(&view, &composing);
    EXPECT_EQ(view.typed(), "");  // still being composed
    QInputMethodEvent committed;
    committed.setCommitString(QString::fromUtf8("表示"));
    QApplication::sendEvent(&view, &committed);
    QTest::keyClick(&view, Qt::Key_Return);
  });
  EXPECT_EQ(platform.get_line(console_unit), "表示");
}

TEST(WindowMode, InputGoesToTheWindowReadFromAndConsoleReadsKeepTheActiveWindow) {
  WindowPlatform platform;
  Person person(platform);
  platform.open_window(12);
  person.then([&] {
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(console_unit));
    EXPECT_EQ(platform.main_window().focusWidget(), &platform.child(console_unit)->view());
    // Keys typed into the graphics window meanwhile are not the console's answer.
    QTest::keyClicks(&platform.child(12)->view(), "zz");
    QTest::keyClicks(&platform.child(console_unit)->view(), "abc");
    QTest::keyClick(&platform.child(console_unit)->view(), Qt::Key_Return);
  });
  person.types(12, "s");
  EXPECT_EQ(platform.get_line(console_unit), "abc");
  EXPECT_EQ(platform.active_unit(), 12);
  platform.activate_window(12);  // the program reads its answer from the graphics window
  EXPECT_EQ(platform.get_line(12), "s");
  EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
  EXPECT_EQ(platform.main_window().focusWidget(), &platform.child(12)->view());
}

TEST(WindowMode, MouseWaitEndsOnlyWithALeftOrRightPressInTheActiveWindow) {
  WindowPlatform platform;
  Person person(platform);
  platform.open_window(12);
  platform.set_crosshair_cursor();
  EXPECT_EQ(platform.child(12)->view().cursor().shape(), Qt::CrossCursor);
  person.then([&] {
    SurfaceView& view = platform.child(12)->view();
    QTest::mouseMove(&view, QPoint(40, 40));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(41, 40));
    QTest::mousePress(&view, Qt::MiddleButton, {}, QPoint(42, 40));
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::mousePress(&platform.child(console_unit)->view(), Qt::LeftButton, {}, QPoint(43, 40));
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(120, 150));
  });
  MouseEvent left = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(left.event, mouse_left_down);
  EXPECT_EQ(left.x, 120);
  EXPECT_EQ(left.y, 150);
  person.then(
      [&] { QTest::mousePress(&platform.child(12)->view(), Qt::RightButton, {}, QPoint(7, 8)); });
  MouseEvent right = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(right.event, mouse_right_down);
  EXPECT_EQ(right.x, 7);
}

TEST(WindowMode, ClickPositionIsInDrawingCoordinatesWhenScrolled) {
  WindowPlatform platform;
  Person person(platform);
  platform.main_window().resize(500, 400);  // smaller than a surface: the child scrolls
  platform.open_window(12);
  ChildWindow& graphics = *platform.child(12);
  QApplication::processEvents();
  graphics.scroll_area().horizontalScrollBar()->setValue(200);
  graphics.scroll_area().verticalScrollBar()->setValue(100);
  ASSERT_EQ(graphics.scroll_area().horizontalScrollBar()->value(), 200);
  ASSERT_EQ(graphics.scroll_area().verticalScrollBar()->value(), 100);
  person.then([&] { press_in_viewport(platform, 12, QPoint(50, 60)); });
  MouseEvent click = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(click.x, 250);
  EXPECT_EQ(click.y, 160);
}

TEST(WindowMode, ViewShowsTheSurfaceAndRepaintsNeverChangeIt) {
  WindowPlatform platform;
  Person person(platform);
  platform.open_window(12);
  platform.set_colour_rgb(0xFFFF00);  // cyan marker
  platform.move_to(90, 30);
  platform.line_to(90, 269);
  std::uint64_t drawn = platform.surface(12).generation();
  person.then([&] {
    platform.main_window().resize(700, 500);
    platform.child(12)->view().repaint();
    QImage shown = platform.child(12)->view().grab().toImage();
    EXPECT_EQ(shown.pixel(90, 150), qRgb(0, 255, 255));
    EXPECT_EQ(shown.pixel(91, 150), qRgb(0, 0, 0));
    QTest::mousePress(&platform.child(12)->view(), Qt::LeftButton, {}, QPoint(90, 150));
  });
  platform.wait_mouse_event(mouse_left_down);
  EXPECT_EQ(platform.surface(12).generation(), drawn);
}

TEST(WindowMode, ClosingTheMainWindowStopsAnyWait) {
  WindowPlatform platform;
  Person person(platform);
  person.then([&] { platform.main_window().close(); });
  EXPECT_THROW(platform.get_line(console_unit), StopRequested);
  // Once asked to stop, no later wait blocks.
  EXPECT_THROW(platform.wait_mouse_event(mouse_left_down), StopRequested);
}

TEST(WindowMode, ChildrenCannotBeClosedByThePerson) {
  WindowPlatform platform;
  platform.open_window(12);
  platform.child(12)->close();
  EXPECT_NE(platform.child(12), nullptr);
  EXPECT_TRUE(platform.child(12)->isVisible());
}

TEST(WindowMode, OpensNoLargerThanTheScreen) {
  WindowPlatform platform;
  QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
  EXPECT_LE(platform.main_window().width(), available.width());
  EXPECT_LE(platform.main_window().height(), available.height());
}

}  // namespace
}  // namespace ba

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QWindow>
#include <functional>
#include <vector>

#include "platform/window_platform.h"
#include "program/program_state.h"
#include "proposal/proposal.h"
#include "runtime/errors.h"
#include "runtime/io.h"
#include "runtime/large_block.h"
#include "support/temp_folder.h"
#include "support/window_person.h"
#include "tools/demo_model.h"

namespace ba {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

using test::captions;
using test::Person;

// Presses a button where the person sees `at` in the child's visible area,
// routed by the window system like a real press.
void press_in_viewport(WindowPlatform& platform, int unit, QPoint at,
                       Qt::MouseButton button = Qt::LeftButton) {
  QWidget* viewport = platform.pane(unit).viewport();
  QWidget& main = platform.main_window();
  QTest::mousePress(main.windowHandle(), button, {}, viewport->mapTo(&main, at));
  QTest::mouseRelease(main.windowHandle(), button, {}, viewport->mapTo(&main, at));
}

// The main window's menu with this title.
QMenu* menu_titled(WindowPlatform& platform, const QString& title) {
  for (QMenu* menu : platform.main_window().menuBar()->findChildren<QMenu*>())
    if (menu->title() == title) return menu;
  return nullptr;
}

QMenu* window_menu(WindowPlatform& platform) { return menu_titled(platform, "&Window"); }

// The menu item with this text, once the menu has been opened.
QAction* item(QMenu* menu, const QString& text) {
  emit menu->aboutToShow();
  for (QAction* action : menu->actions())
    if (action->text() == text) return action;
  return nullptr;
}

// Each child is named by what it shows, its unit after it.
TEST(WindowMode, ChildrenAreNamedByWhatTheyShow) {
  const struct {
    int unit;
    const char* caption;
  } cases[] = {
      {12, "Overview and enlarged beat (unit 12)"},
      {14, "Print page 1 (unit 14)"},
      {16, "Print page 3 (unit 16)"},
  };
  WindowPlatform platform(disk);
  for (const auto& c : cases) {
    platform.open_window(c.unit);
    EXPECT_EQ(platform.child(c.unit)->windowTitle(), c.caption);
  }
}

TEST(WindowMode, ChildrenAreCaptionedInOpeningOrder) {
  WindowPlatform platform(disk);
  EXPECT_EQ(platform.main_window().windowTitle(), "beat analyser");
  platform.open_window(14);
  platform.open_window(12);
  EXPECT_EQ(platform.main_window().console_dock().windowTitle(), "Console");
  EXPECT_EQ(captions(platform),
            (QStringList{"Print page 1 (unit 14)", "Overview and enlarged beat (unit 12)"}));
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
  WindowPlatform platform(disk);
  platform.open_window(12);
  QMenu* menu = window_menu(platform);
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  QStringList items;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) items << action->text();
  EXPECT_EQ(items,
            (QStringList{"&Cascade", "&Tile", "Console", "Overview and enlarged beat (unit 12)"}));
  menu->actions().at(3)->trigger();  // Console
  EXPECT_EQ(platform.main_window().focusWidget(), &platform.view(console_unit));
  EXPECT_EQ(platform.active_unit(), 12);
}

TEST(WindowMode, TypedLineWithEchoAndBackspace) {
  WindowPlatform platform(disk);
  Person person(platform);
  person.then([&] {
    SurfaceView& console = platform.view(console_unit);
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
  WindowPlatform platform(disk);
  Person person(platform);
  person.then([&] {
    SurfaceView& view = platform.view(console_unit);
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

// A key typed anywhere in the main window answers the line being read, is
// echoed there, and brings the reading window to the front.
TEST(WindowMode, KeysReachTheWaitingReadWhereverTheFocusIs) {
  struct Case {
    const char* name;
    int reading;                                          // unit read from
    std::function<QWidget*(WindowPlatform&)> typed_into;  // where the keys land
  };
  const Case cases[] = {
      {"console read, keys in the graphics window", console_unit,
       [](WindowPlatform& p) { return &p.view(12); }},
      {"console read, keys in a print page", console_unit,
       [](WindowPlatform& p) { return &p.view(14); }},
      {"graphics read, keys in the console panel", 12,
       [](WindowPlatform& p) { return &p.view(console_unit); }},
      {"graphics read, keys in a print page", 12, [](WindowPlatform& p) { return &p.view(14); }},
      {"graphics read, keys in the child area", 12,
       [](WindowPlatform& p) { return &p.main_window().mdi_area(); }},
      {"graphics read, print page chosen from the Window menu", 12,
       [](WindowPlatform& p) -> QWidget* {
         item(window_menu(p), "Print page 1 (unit 14)")->trigger();
         return p.main_window().focusWidget();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    Person person(platform);
    platform.open_window(14);
    platform.open_window(12);
    person.then([&] {
      QWidget* target = c.typed_into(platform);
      QTest::keyClicks(target, "ab");
      QTest::keyClick(target, Qt::Key_Backspace);
      QTest::keyClicks(target, "c");
      EXPECT_EQ(platform.view(c.reading).typed(), "ac");
      EXPECT_EQ(platform.main_window().focusWidget(), &platform.view(c.reading));
      QTest::keyClick(target, Qt::Key_Return);
    });
    EXPECT_EQ(platform.get_line(c.reading), "ac");
    if (c.reading != console_unit) {
      EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(c.reading));
    }
    EXPECT_EQ(platform.active_unit(), 12);
  }
}

TEST(WindowMode, ReadsAndWaitsBringTheirWindowForwardAndSayItInTheStatusBar) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(14);
  platform.open_window(12);
  person.then([&] {
    EXPECT_EQ(platform.main_window().focusWidget(), &platform.view(console_unit));
    EXPECT_EQ(platform.main_window().waiting_text(), "Type an answer in Console, then Enter");
    item(window_menu(platform), "Print page 1 (unit 14)")->trigger();  // looks elsewhere
    QTest::keyClick(platform.main_window().focusWidget(), Qt::Key_Return);
  });
  platform.get_line(console_unit);
  platform.activate_window(14);
  platform.activate_window(12);
  person.then([&] {
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
    EXPECT_EQ(platform.main_window().focusWidget(), &platform.view(12));
    EXPECT_EQ(platform.main_window().waiting_text(),
              "Click in Overview and enlarged beat (unit 12)");
    press_in_viewport(platform, 12, QPoint(50, 50));
  });
  platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(platform.main_window().waiting_text(), "Working");
}

TEST(WindowMode, MouseWaitEndsOnlyWithALeftOrRightPressInTheActiveWindow) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(12);
  platform.pane(12).actual_size();
  platform.set_crosshair_cursor();
  EXPECT_EQ(platform.view(12).cursor().shape(), Qt::CrossCursor);
  const QPoint margin(SurfaceView::margin, SurfaceView::margin);
  person.then([&] {
    SurfaceView& view = platform.view(12);
    QTest::mouseMove(&view, QPoint(40, 40));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(41, 40));
    QTest::mousePress(&view, Qt::MiddleButton, {}, QPoint(42, 40));
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(2, 40));  // in the margin
    // The console panel sits beside the child area: clicking it hides nothing.
    QTest::mousePress(&platform.view(console_unit), Qt::LeftButton, {}, QPoint(43, 40));
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(120, 150) + margin);
  });
  MouseEvent left = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(left.event, mouse_left_down);
  EXPECT_EQ(left.x, 120);
  EXPECT_EQ(left.y, 150);
  person.then(
      [&] { QTest::mousePress(&platform.view(12), Qt::RightButton, {}, QPoint(7, 8) + margin); });
  MouseEvent right = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(right.event, mouse_right_down);
  EXPECT_EQ(right.x, 7);
}

// A click that brings a covered child to the front is no answer, nor is a
// click on a window the program does not wait on.
TEST(WindowMode, AClickThatOnlyBringsTheWindowForwardIsNoAnswer) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(14);
  platform.open_window(12);
  // Side by side, the print page partly under the graphics window.
  QSize area = platform.main_window().mdi_area().viewport()->size();
  platform.child(14)->setGeometry(0, 0, 300, 200);
  platform.child(12)->setGeometry(200, 0, area.width() - 200, area.height());
  person.then([&] {
    press_in_viewport(platform, 14, QPoint(20, 100));  // the print page comes forward
    ASSERT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(14));
    // The graphics window's surface, three quarters across and down: beside
    // the print page.
    QPoint beside = platform.view(12)
                        .view_rect(QRect(Surface::width * 3 / 4, Surface::height * 3 / 4, 1, 1))
                        .center();
    press_in_viewport(platform, 12, beside);  // it comes back
    ASSERT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
    press_in_viewport(platform, 12, QPoint(80, 90));  // the answer
  });
  MouseEvent click = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(QPoint(click.x, click.y), platform.view(12).surface_pixel(QPoint(80, 90)));
  EXPECT_TRUE(person.done());
}

// The second press of a double click comes as a double click of its own:
// the wait after the first press goes on until the next single click.
TEST(WindowMode, ADoubleClickEndsOneWait) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(12);
  platform.pane(12).actual_size();
  QWindow* window = platform.main_window().windowHandle();
  auto at = [&](int x) {
    return platform.view(12).mapTo(&platform.main_window(), QPoint(x, 100) + QPoint(4, 4));
  };
  const int start = QTest::lastMouseTimestamp + 10000;
  auto send = [&](QEvent::Type type, int x, int time, Qt::MouseButtons held) {
    qt_handleMouseEvent(window, at(x), window->mapToGlobal(at(x)), held, Qt::LeftButton, type, {},
                        time);
  };
  person.then([&] {
    send(QEvent::MouseButtonPress, 200, start, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, 200, start + 50, Qt::NoButton);
  });
  person.then([&] {
    // The rest of the double click arrives while the second wait runs.
    send(QEvent::MouseButtonPress, 200, start + 120, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, 200, start + 170, Qt::NoButton);
    send(QEvent::MouseButtonPress, 300, start + 5000, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, 300, start + 5050, Qt::NoButton);
  });
  EXPECT_EQ(platform.wait_mouse_event(mouse_left_down | mouse_right_down).x, 200);
  EXPECT_EQ(platform.wait_mouse_event(mouse_left_down | mouse_right_down).x, 300);
  QTest::lastMouseTimestamp = start + 10000;
}

// Each zoom shows a one-pixel line somewhere; a click on any view pixel that
// shows it answers with the line's own surface column and row.
TEST(WindowMode, ClicksOnAZoomedViewAnswerWithTheSurfacePixelShown) {
  struct Case {
    const char* name;
    std::function<void(SurfacePane&)> zoom;
  };
  const Case cases[] = {
      {"fit", [](SurfacePane& p) { p.zoom_to_fit(); }},
      {"actual size", [](SurfacePane& p) { p.actual_size(); }},
      {"zoomed out once", [](SurfacePane& p) { p.actual_size(), p.zoom_out(); }},
      {"zoomed out three times",
       [](SurfacePane& p) { p.actual_size(), p.zoom_out(), p.zoom_out(), p.zoom_out(); }},
      {"zoomed in", [](SurfacePane& p) { p.actual_size(), p.zoom_in(); }},
  };
  const QRgb cyan = qRgb(0, 255, 255);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    Person person(platform);
    platform.open_window(12);
    platform.set_colour_rgb(0xFFFF00);  // cyan
    platform.move_to(120, 20);
    platform.line_to(120, 400);
    platform.move_to(20, 150);
    platform.line_to(600, 150);
    std::vector<QPoint> on_line;
    QPoint clicked;
    person.then([&] {
      c.zoom(platform.pane(12));
      QApplication::processEvents();
      SurfaceView& view = platform.view(12);
      QImage shown = view.grab().toImage();
      // Along the view row and column where the person sees the lines cross
      // row 300 and column 300, every cyan pixel answers with the line.
      const int row = view.view_rect(QRect(0, 300, 1, 1)).y();
      const int column = view.view_rect(QRect(300, 0, 1, 1)).x();
      for (int y = 0; y < shown.height(); ++y)
        if (shown.pixel(column, y) == cyan) {
          on_line.push_back(QPoint(column, y));
          EXPECT_EQ(view.surface_pixel(QPoint(column, y)).y(), 150);
        }
      for (int x = 0; x < shown.width(); ++x)
        if (shown.pixel(x, row) == cyan) {
          clicked = QPoint(x, row);
          EXPECT_EQ(view.surface_pixel(clicked).x(), 120);
        }
      ASSERT_FALSE(on_line.empty()) << "the horizontal line is shown nowhere";
      ASSERT_NE(clicked, QPoint()) << "the vertical line is shown nowhere";
      QTest::mousePress(&view, Qt::LeftButton, {}, clicked);
    });
    MouseEvent click = platform.wait_mouse_event(mouse_left_down);
    EXPECT_EQ(click.x, 120);
    EXPECT_EQ(click.y, platform.view(12).surface_pixel(clicked).y());
    EXPECT_NEAR(click.y, 300, 3);
    // A one-pixel line stays one view pixel wide when shrunk.
    EXPECT_EQ(on_line.size(), platform.view(12).scale() > 1.5 ? 2u : 1u);
  }
}

TEST(WindowMode, ZoomMenuAndItsKeys) {
  WindowPlatform platform(disk);
  platform.open_window(12);
  SurfaceView& view = platform.view(12);
  EXPECT_TRUE(view.fitting());
  QMenu* menu = menu_titled(platform, "&View");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(item(menu, "&Actual size")->shortcut(), QKeySequence("Ctrl+0"));
  EXPECT_EQ(item(menu, "Zoom &in")->shortcut(), QKeySequence("Ctrl++"));
  EXPECT_EQ(item(menu, "Zoom &out")->shortcut(), QKeySequence("Ctrl+-"));
  item(menu, "&Actual size")->trigger();
  EXPECT_EQ(view.scale(), 1.0);
  EXPECT_EQ(view.size(), QSize(Surface::width, Surface::height) + 2 * QSize(4, 4));
  item(menu, "Zoom &in")->trigger();
  EXPECT_EQ(view.scale(), 2.0);
  item(menu, "Zoom &out")->trigger();
  item(menu, "Zoom &out")->trigger();
  EXPECT_EQ(view.scale(), 0.75);
}

TEST(WindowMode, ClickPositionIsInDrawingCoordinatesWhenScrolled) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.main_window().resize(500, 400);  // smaller than a surface: the child scrolls
  platform.open_window(12);
  SurfacePane& graphics = platform.pane(12);
  graphics.actual_size();
  QApplication::processEvents();
  graphics.horizontalScrollBar()->setValue(200);
  graphics.verticalScrollBar()->setValue(100);
  ASSERT_EQ(graphics.horizontalScrollBar()->value(), 200);
  ASSERT_EQ(graphics.verticalScrollBar()->value(), 100);
  person.then([&] { press_in_viewport(platform, 12, QPoint(50, 60)); });
  MouseEvent click = platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(click.x, 250 - SurfaceView::margin);
  EXPECT_EQ(click.y, 160 - SurfaceView::margin);
}

TEST(WindowMode, ViewShowsTheSurfaceAndRepaintsNeverChangeIt) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(12);
  platform.set_colour_rgb(0xFFFF00);  // cyan marker
  platform.move_to(90, 30);
  platform.line_to(90, 269);
  std::uint64_t drawn = platform.surface(12).generation();
  QImage before = platform.surface(12).image();
  person.then([&] {
    platform.main_window().resize(700, 500);
    platform.pane(12).actual_size();
    platform.view(12).repaint();
    QImage shown = platform.view(12).grab().toImage();
    EXPECT_EQ(shown.pixel(90 + SurfaceView::margin, 150 + SurfaceView::margin), qRgb(0, 255, 255));
    EXPECT_EQ(shown.pixel(91 + SurfaceView::margin, 150 + SurfaceView::margin), qRgb(0, 0, 0));
    platform.pane(12).zoom_out();
    platform.view(12).repaint();
    QTest::mousePress(&platform.view(12), Qt::LeftButton, {}, QPoint(50, 50));
  });
  platform.wait_mouse_event(mouse_left_down);
  EXPECT_EQ(platform.surface(12).generation(), drawn);
  EXPECT_EQ(platform.surface(12).image(), before);
}

TEST(WindowMode, TheCaretBlinksAtTheInputPositionClearOfTheBorder) {
  WindowPlatform platform(disk);
  Person person(platform);
  person.then([&] {
    SurfaceView& console = platform.view(console_unit);
    QRect caret = console.caret();
    EXPECT_GE(caret.left(), SurfaceView::margin);
    EXPECT_GE(caret.width(), 2);
    bool first = console.caret_shown();
    QTest::qWait(QApplication::cursorFlashTime());  // one on-off cycle and a half
    EXPECT_TRUE(QTest::qWaitFor([&] { return console.caret_shown() != first; }, 2000));
    QTest::keyClicks(&console, "12");
    EXPECT_GT(console.caret().left(), caret.left());
    EXPECT_TRUE(console.caret_shown());  // typing shows it at once
    QTest::keyClick(&console, Qt::Key_Return);
  });
  platform.get_line(console_unit);
}

TEST(WindowMode, ClosingTheMainWindowAsksFirstAndYesStopsAnyWait) {
  WindowPlatform platform(disk);
  Person person(platform);
  int asked = 0;
  bool yes = false;
  platform.main_window().set_close_confirmer([&] { return ++asked, yes; });
  person.then([&] {
    EXPECT_FALSE(platform.main_window().close());  // No: the run goes on
    EXPECT_TRUE(platform.main_window().isVisible());
    yes = true;
    QAction* quit = item(menu_titled(platform, "&File"), "&Quit");
    EXPECT_EQ(quit->shortcut(), QKeySequence("Ctrl+Q"));
    quit->trigger();
  });
  EXPECT_THROW(platform.get_line(console_unit), StopRequested);
  EXPECT_EQ(asked, 2);
  // Once asked to stop, no later wait blocks.
  EXPECT_THROW(platform.wait_mouse_event(mouse_left_down), StopRequested);
}

TEST(WindowMode, CloseButtonHidesAChildAndTheWindowMenuShowsItAgain) {
  struct Case {
    const char* name;
    std::function<void(ChildWindow&)> put_away;
  };
  const Case cases[] = {
      {"closed", [](ChildWindow& c) { c.close(); }},
      {"minimised", [](ChildWindow& c) { c.showMinimized(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    platform.open_window(14);
    platform.open_window(12);
    c.put_away(*platform.child(12));
    ASSERT_NE(platform.child(12), nullptr);
    EXPECT_TRUE(!platform.child(12)->isVisible() || platform.child(12)->isMinimized());
    item(window_menu(platform), "Overview and enlarged beat (unit 12)")->trigger();
    EXPECT_TRUE(platform.child(12)->isVisible());
    EXPECT_FALSE(platform.child(12)->isMinimized());
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), platform.child(12));
  }
}

TEST(WindowMode, TheProgramShowsAHiddenWindowItWaitsOn) {
  WindowPlatform platform(disk);
  Person person(platform);
  platform.open_window(12);
  platform.child(12)->close();
  person.then([&] {
    EXPECT_TRUE(platform.child(12)->isVisible());
    press_in_viewport(platform, 12, QPoint(40, 40));
  });
  platform.wait_mouse_event(mouse_left_down);
}

// At the smallest screen it is meant for, the console panel and the window
// the program waits on are side by side, neither covering the other.
TEST(WindowMode, OpensNoLargerThanTheScreenWithTheConsoleInSight) {
  WindowPlatform platform(disk);
  platform.open_window(14);
  platform.open_window(12);
  QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
  MainWindow& main = platform.main_window();
  EXPECT_LE(main.width(), available.width());
  EXPECT_LE(main.height(), available.height());
  QRect console(main.console_dock().mapTo(&main, QPoint()), main.console_dock().size());
  QWidget& area = *main.mdi_area().viewport();
  QRect graphics(platform.child(12)->mapTo(&main, QPoint()), platform.child(12)->size());
  EXPECT_FALSE(console.intersects(graphics));
  EXPECT_TRUE(QRect(area.mapTo(&main, QPoint()), area.size()).contains(graphics));
  EXPECT_GE(console.height(), 6 * platform.surface(console_unit).line_height());
}

TEST(WindowMode, AboutAndStatusBarNameTheDataFolder) {
  WindowPlatform platform(disk);
  EXPECT_EQ(platform.main_window().data_folder_text(), "");
  platform.main_window().set_data_folder("/srv/ecg/map");
  QString about = platform.main_window().about_text();
  EXPECT_TRUE(about.startsWith("beat analyser " BEAT_VERSION "\n")) << about.toStdString();
  EXPECT_TRUE(about.contains("Licence: MIT.")) << about.toStdString();
  EXPECT_TRUE(about.endsWith("is /srv/ecg/map")) << about.toStdString();
  EXPECT_EQ(platform.main_window().data_folder_text(), "Data folder: /srv/ecg/map");
}

// Three beats measured, for the Map window's beat field.
void measure_three_beats(WindowPlatform& platform) {
  std::vector<ResultBeat> beats(3);
  for (int k = 0; k < 3; ++k) {
    beats[static_cast<std::size_t>(k)].r_ms = 500 + 800 * k;
    for (int n = 1; n <= lead_point_count; ++n)
      beats[static_cast<std::size_t>(k)].areas(n) = (n % 8 - 4) * (k + 1) * 100;
  }
  platform.selection_described("demo", true);
  platform.selection_measured(beats);
}

// Keys typed into a control of the window's own stay there: the line being
// read takes none of them and its window stays where it is.
TEST(WindowMode, KeysTypedIntoTheWindowsOwnControlsStayThere) {
  struct Case {
    const char* name;
    std::function<QWidget*(WindowPlatform&)> control;  // given the focus, typed into
    std::function<QString(QWidget*)> holds;            // what the control took
  };
  const Case cases[] = {
      {"edit in a panel of the main window",
       [](WindowPlatform& p) -> QWidget* {
         auto* dock = new QDockWidget("panel", &p.main_window());
         auto* edit = new QLineEdit;
         dock->setWidget(edit);
         p.main_window().addDockWidget(Qt::LeftDockWidgetArea, dock);
         return edit;
       },
       [](QWidget* w) { return static_cast<QLineEdit*>(w)->text(); }},
      {"edit in a dialogue",
       [](WindowPlatform& p) -> QWidget* {
         auto* dialog = new QDialog(&p.main_window());
         auto* edit = new QLineEdit(dialog);
         dialog->setAttribute(Qt::WA_DeleteOnClose);
         dialog->show();
         return edit;
       },
       [](QWidget* w) { return static_cast<QLineEdit*>(w)->text(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    Person person(platform);
    platform.open_window(12);
    measure_three_beats(platform);
    QString held;
    QMdiSubWindow* in_front = nullptr;
    person.then([&] {
      QWidget* control = c.control(platform);
      control->activateWindow();
      control->setFocus();
      in_front = platform.main_window().mdi_area().activeSubWindow();
      QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);  // select what it holds
      QTest::keyClicks(control, "3");
      held = c.holds(control);
      EXPECT_EQ(platform.view(12).typed(), "");
      EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), in_front);
      QTest::keyClick(control, Qt::Key_Return);
      QTest::keyClicks(&platform.view(12), "x");
      QTest::keyClick(&platform.view(12), Qt::Key_Return);
    });
    EXPECT_EQ(platform.get_line(12), "x");
    EXPECT_EQ(held, "3");
  }
}

// Keys typed while the Map window is in front are the answer's: its fields
// take the keys they use only once clicked into, never Enter or a letter,
// and nothing typed changes the map unasked.
TEST(WindowMode, KeysTypedInTheMapWindowReachTheAnswer) {
  struct Case {
    const char* name;
    std::function<void(MapWindow&)> focus;  // where the person puts the focus
    const char* answer;
    const char* view;  // what the map shows afterwards
  };
  const Case cases[] = {
      {"the window opened from the menu", [](MapWindow&) {}, "2x", "mean"},
      {"the beat field given the focus without a click",
       [](MapWindow& map) { map.beat_choice().setFocus(); }, "2x", "mean"},
      {"the beat field clicked into",
       [](MapWindow& map) {
         QTest::mouseClick(map.beat_choice().findChild<QLineEdit*>(), Qt::LeftButton);
       },
       "x", "beat2"},
      {"the view list clicked and closed again",
       [](MapWindow& map) {
         QTest::mouseClick(&map.kind_choice(), Qt::LeftButton);
         map.kind_choice().hidePopup();
       },
       "2x", "sd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    Person person(platform);
    platform.open_window(12);
    measure_three_beats(platform);
    QString view;
    person.then([&] {
      platform.main_window().activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&platform.main_window()));
      MapWindow& map = platform.map_hook().open();
      c.focus(map);
      // Each key goes where the keyboard sends it: to the widget with the focus.
      const auto press = [&](Qt::Key key, Qt::KeyboardModifiers held = {}) {
        QTest::keyClick(platform.main_window().focusWidget(), key, held);
      };
      press(Qt::Key_A, Qt::ControlModifier);  // select what a field holds
      press(Qt::Key_Down);
      press(Qt::Key_2);
      press(Qt::Key_X);
      view = map.view_name();
      press(Qt::Key_Return);
    });
    EXPECT_EQ(platform.get_line(12), c.answer);
    EXPECT_EQ(view, c.view);
  }
}

// The Map window is no unit of the program, yet the Window menu brings it
// forward like any other, over the window the program reads from.
TEST(WindowMode, WindowMenuBringsTheMapForward) {
  WindowPlatform platform(disk);
  platform.open_window(12);
  MapWindow& map = platform.map_hook().open();
  for (const bool minimised : {false, true}) {
    SCOPED_TRACE(minimised ? "minimised" : "behind the graphics window");
    if (minimised) map.showMinimized();
    platform.activate_window(12);
    ASSERT_NE(platform.main_window().mdi_area().activeSubWindow(), &map);
    item(window_menu(platform), "QRST map")->trigger();
    EXPECT_EQ(platform.main_window().mdi_area().activeSubWindow(), &map);
    EXPECT_FALSE(map.isMinimized());
    EXPECT_EQ(platform.active_unit(), 12);
  }
}

// What became of the selection stays in the status bar after the redraw
// wipes the program's own line, and the question before closing says
// whether anything is left unsaved.
TEST(WindowMode, StatusBarKeepsWhatBecameOfTheSelection) {
  const QString unsaved = "The analysis has not ended. End the program now?";
  struct Case {
    const char* name;
    std::function<void(WindowPlatform&)> after;
    const char* selection;
    QString close_question;
  };
  const Case cases[] = {
      {"measured", [](WindowPlatform&) {}, "3 beats accepted", unsaved},
      {"saved",
       [](WindowPlatform& p) {
         p.selection_saved(SaveOutcome::saved, 3, "d:\\data\\map\\demost.txt");
       },
       "3 beats saved to d:\\data\\map\\demost.txt", "The results are saved. End the program now?"},
      {"declined",
       [](WindowPlatform& p) {
         p.selection_saved(SaveOutcome::declined, 3, "d:\\data\\map\\demost.txt");
       },
       "Not saved: the selection is emptied", unsaved},
      {"measured again after a save",
       [](WindowPlatform& p) {
         p.selection_saved(SaveOutcome::saved, 3, "d:\\data\\map\\demost.txt");
         measure_three_beats(p);
       },
       "3 beats accepted", unsaved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    measure_three_beats(platform);
    c.after(platform);
    EXPECT_EQ(platform.main_window().selection_text(), c.selection);
    EXPECT_EQ(platform.main_window().close_question(), c.close_question);
  }
}

// The longest question the program asks (its save question) stays whole on
// a 1024-pixel screen at a scale factor of 1.5, with every other status text
// shown.
TEST(WindowMode, TheQuestionIsNeverCutInTheStatusBar) {
  const QString question = QString::fromUtf8(
      " データd:\\data\\map\\demost.txt          を保存します。yes or no?  <y/n>");
  WindowPlatform platform(disk);
  Person person(platform);
  platform.main_window().set_data_folder("/home/somebody/Documents/beat-analyser/a/deep/folder");
  platform.open_window(12);
  measure_three_beats(platform);
  platform.selection_described("demo", false);
  platform.put_line(12, question.toStdString());
  QLabel* shown = nullptr;
  person.then([&] {
    platform.main_window().resize(1024 * 2 / 3, 768 * 2 / 3);
    QApplication::processEvents();
    shown = platform.main_window().findChild<QLabel*>("question");
    EXPECT_GE(shown->width(), shown->fontMetrics().horizontalAdvance(shown->text()));
    EXPECT_TRUE(shown->isVisible());
    // What the program waits for is not cut either, beside the note, the
    // selection and a deep data folder.
    auto* waiting = platform.main_window().findChild<QLabel*>("waiting");
    EXPECT_GE(waiting->width(), waiting->fontMetrics().horizontalAdvance(waiting->text()))
        << waiting->text().toStdString();
    QTest::keyClick(&platform.view(12), Qt::Key_Return);
  });
  platform.get_line(12);
  EXPECT_NE(shown, nullptr);
}

// The status bar shows the question being waited on: the last line written
// to the window read from (or clicked in) before the wait began, whatever
// the console said since.
TEST(WindowMode, StatusBarShowsTheQuestionWaitedOn) {
  struct Case {
    const char* name;
    std::function<void(WindowPlatform&)> wait;
    const char* question;
  };
  const Case cases[] = {
      {"read in the graphics window", [](WindowPlatform& p) { p.get_line(12); }, "Asked: select?"},
      {"read on the console", [](WindowPlatform& p) { p.get_line(console_unit); }, "Asked: 計算中"},
      {"click in the graphics window",
       [](WindowPlatform& p) { p.wait_mouse_event(mouse_left_down); }, "Asked: select?"},
      {"read in a window nothing was written to", [](WindowPlatform& p) { p.get_line(14); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    Person person(platform);
    platform.open_window(14);
    platform.open_window(12);
    platform.put_line(12, "menu?");
    platform.put_line(12, "select?");
    platform.put_line(console_unit, "計算中");
    platform.activate_window(12);
    QString shown;
    person.then([&] {
      shown = platform.main_window().question_text();
      platform.main_window().close();
    });
    EXPECT_THROW(c.wait(platform), StopRequested);
    EXPECT_EQ(shown, c.question);
    EXPECT_EQ(platform.main_window().question_text(), "");  // nothing is asked now
  }
}

// Text stays readable on small screens and in tiled windows: the surfaces
// shrink no further than the smallest zoom and scroll instead, and every
// window, the Map window too, lies inside the child area.
TEST(WindowMode, SmallScreensScrollInsteadOfShrinkingTheText) {
  struct Case {
    const char* name;
    QSize main;  // the main window
    bool tiled;
  };
  const Case cases[] = {
      {"1024 x 768", QSize(1008, 720), false},
      {"1366 x 768 tiled", QSize(1350, 720), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowPlatform platform(disk);
    platform.main_window().resize(c.main);
    QApplication::processEvents();
    platform.open_window(14);
    platform.open_window(12);
    measure_three_beats(platform);
    MapWindow& map = platform.map_hook().open();
    QMdiArea& area = platform.main_window().mdi_area();
    const QRect room(QPoint(0, 0), area.viewport()->size());
    EXPECT_TRUE(room.contains(map.geometry())) << "map " << map.width() << "x" << map.height();
    if (c.tiled) area.tileSubWindows();
    QApplication::processEvents();
    for (int unit : {12, 14}) {
      SCOPED_TRACE(unit);
      SurfacePane& pane = platform.pane(unit);
      // Text lines at least 10 view pixels high.
      EXPECT_GE(platform.view(unit).scale() * platform.surface(unit).line_height(), 10.0);
      if (pane.viewport()->height() < platform.view(unit).height()) {
        EXPECT_TRUE(pane.verticalScrollBar()->isVisible());
      }
    }
  }
}

// A measurement whose fiducial points were never marked gives every area 0:
// the status bar and the Map window say so until points are marked.
TEST(WindowMode, UnmarkedPointsAreNamedOutsideTheUnits) {
  const QString note = "The fiducial points are not marked: every area is 0";
  WindowPlatform platform(disk);
  MapWindow& map = platform.map_hook().open();
  platform.selection_described("demo", false);
  EXPECT_EQ(platform.main_window().note_text(), note);
  EXPECT_EQ(map.note(), note);
  EXPECT_FALSE(map.findChild<QLabel*>("note")->isHidden());
  map.close();
  QApplication::processEvents();
  EXPECT_EQ(platform.map_hook().open().note(), note);  // opened again: still said
  platform.selection_described("demo", true);
  EXPECT_EQ(platform.main_window().note_text(), "");
  EXPECT_EQ(platform.map_hook().window()->note(), "");
}

// The proposal over the enlarged beat of the demonstration recording: drawn
// dashed while the three points are to be clicked, all three taken with P
// (each as the click at its column marks it, within a sample), then the J
// point the same way when Marking > Mark the J point is checked.
TEST(WindowMode, TheProposalIsDrawnOverTheBeatAndTakenWithP) {
  const demo::DemoModel model;
  auto state = std::make_unique<ProgramState>();
  SampleMatrix& matrix = state->recording.sample_matrix;
  for (int t = 1; t <= recorded_samples; ++t)
    for (int ch = 1; ch <= channel_count; ++ch)
      matrix(ch, t) = static_cast<std::int16_t>(model.sample(ch, t));
  ProposalOptions options;
  options.leads = {state->conditions.first_lead - lead_channel_offset,
                   state->conditions.second_lead - lead_channel_offset,
                   state->conditions.third_lead - lead_channel_offset};
  const auto proposed = propose(matrix, options);
  ASSERT_EQ(proposed.index(), 0u);
  const Proposal& p = std::get<Proposal>(proposed);
  MarkingState& marking = state->marking;
  marking.selected_beat = p.reference_ms;
  marking.window_start = p.reference_ms - r_peak_index;
  marking.beat_x_scale = static_cast<float>(0.6 / 1000.0);
  set_display_geometry(preview_span, 1000.0f, state->geometry);

  WindowPlatform platform(disk);
  Person person(platform);
  test::TempFolder folder("window");
  HostFileOps files;
  Io io(platform, DataFolder(folder.path()), files);
  io.open_window(graphics_unit);
  platform.mark_j_action().setChecked(true);
  EXPECT_FALSE(platform.take_proposal_action().isEnabled()) << "P is typed into answers";
  person.types(graphics_unit, "s");
  QImage unmarked;
  person.then([&] {
    EXPECT_EQ(platform.view(graphics_unit).overlay().marks.size(), 4u);
    EXPECT_EQ(platform.main_window().waiting_text(),
              "Click in Overview and enlarged beat (unit 12), or press P to take the proposed "
              "points (dashed)");
    unmarked = platform.surface(graphics_unit).image();
    QTest::keyClick(&platform.view(graphics_unit), Qt::Key_P);
  });
  person.then([&] {
    // The overlay is gone with the clicks; the program drew its own markers.
    EXPECT_TRUE(platform.view(graphics_unit).overlay().marks.empty());
    EXPECT_NE(platform.surface(graphics_unit).image(), unmarked);
    QTest::keyClicks(&platform.view(graphics_unit), "y");
    QTest::keyClick(&platform.view(graphics_unit), Qt::Key_Return);
  });
  person.then([&] {
    ASSERT_EQ(platform.view(graphics_unit).overlay().marks.size(), 1u);
    EXPECT_EQ(platform.view(graphics_unit).overlay().marks[0].label, "J");
    EXPECT_EQ(platform.main_window().waiting_text(),
              "Click the J point in Overview and enlarged beat (unit 12)");
    EXPECT_TRUE(platform.main_window().question_text().startsWith("J point (end of QRS)"))
        << "no stale question of the program's";
    platform.take_proposal_action().trigger();
  });
  person.types(graphics_unit, "x");
  fiducial_menu(marking_context(*state, &platform), io);
  EXPECT_TRUE(person.done());
  EXPECT_NEAR(marking.pq_point, r_peak_index + p.pq_ms, 1);
  EXPECT_NEAR(marking.q_start, r_peak_index + p.q_ms, 1);
  EXPECT_NEAR(marking.t_end, r_peak_index + p.t_end_ms, 1);
  EXPECT_NEAR(marking.j_point, r_peak_index + p.j_ms, 1);
  EXPECT_FALSE(platform.take_proposal_action().isEnabled());
  io.close_all_files();
}

// File > Export map... offers the recording's name and the view shown, in
// the data folder.
TEST(WindowMode, ExportStartsInTheDataFolderNamedByRecordingAndView) {
  struct Case {
    const char* name;
    int kind;  // index in the kind list
    int beat;
    const char* file;
  };
  const Case cases[] = {
      {"mean", 0, 1, "/srv/ecg/map/demo_mean.png"},
      {"standard deviation", 1, 1, "/srv/ecg/map/demo_sd.png"},
      {"one beat", 2, 3, "/srv/ecg/map/demo_beat3.png"},
      {"all beats", 3, 1, "/srv/ecg/map/demo_sheet.png"},
  };
  WindowPlatform platform(disk);
  platform.main_window().set_data_folder("/srv/ecg/map");
  measure_three_beats(platform);
  MapWindow& map = platform.map_hook().open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    map.beat_choice().setValue(c.beat);
    map.kind_choice().setCurrentIndex(c.kind);
    EXPECT_EQ(platform.map_hook().suggested_export_path(), c.file);
  }
}

}  // namespace
}  // namespace ba

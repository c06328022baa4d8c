#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless_platform.h"
#include "platform/map_drawing.h"
#include "runtime/errors.h"
#include "runtime/script.h"
#include "support/failures.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

using Kind = ScriptEvent::Kind;

TEST(Script, EveryLineIsOneEvent) {
  struct Case {
    const char* line;
    Kind kind;
    const char* text;
    int x, y;
  };
  const Case cases[] = {
      {"!click 120 150", Kind::left_click, "", 120, 150},
      {"!rclick 0 0", Kind::right_click, "", 0, 0},
      {"!click  7   9", Kind::left_click, "", 7, 9},
      {"!click 120 150\r", Kind::left_click, "", 120, 150},  // written on another system
      {"!snapshot out/preview.png", Kind::snapshot, "out/preview.png", 0, 0},
      {"!snapshot dir with blanks/a.png\r", Kind::snapshot, "dir with blanks/a.png", 0, 0},
      {"!map out/mean.svg", Kind::map, "out/mean.svg", 0, 0},
      {"!maps", Kind::typed_line, "!maps", 0, 0},
      {"!!click 1 2", Kind::typed_line, "!click 1 2", 0, 0},  // typed, not clicked
      {"!!", Kind::typed_line, "!", 0, 0},
      {"s", Kind::typed_line, "s", 0, 0},
      {"s\r", Kind::typed_line, "s", 0, 0},
      {"", Kind::typed_line, "", 0, 0},
      {"\r", Kind::typed_line, "", 0, 0},
      {"  21  31  45", Kind::typed_line, "  21  31  45", 0, 0},
      {"abc\r\r", Kind::typed_line, "abc\r", 0, 0},  // only one CR is a line end
      {"!clicks", Kind::typed_line, "!clicks", 0, 0},
      {"!other", Kind::typed_line, "!other", 0, 0},
      {"表示", Kind::typed_line, "表示", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ScriptEvent event = parse_script_line(c.line);
    EXPECT_EQ(event.kind, c.kind);
    EXPECT_EQ(event.text, c.text);
    EXPECT_EQ(event.x, c.x);
    EXPECT_EQ(event.y, c.y);
  }
}

TEST(Script, LinesAreReadUpToTheirLimit) {
  struct Row {
    const char* label;
    std::string input;
    std::vector<std::string> lines;
    std::vector<bool> cut;
  };
  const Row rows[] = {
      {"two lines", "ab\ncd\n", {"ab", "cd"}, {false, false}},
      {"last line without newline", "ab\ncd", {"ab", "cd"}, {false, false}},
      {"empty line", "\n", {""}, {false}},
      {"exactly at the limit", "abcd\nx\n", {"abcd", "x"}, {false, false}},
      {"one byte over", "abcde\nx\n", {"abcd", "x"}, {true, false}},
      {"far over, no newline", std::string(100, 'z'), {"zzzz"}, {true}},
      {"a NUL is a byte like any other",
       std::string("a\0b\n", 4),
       {std::string("a\0b", 3)},
       {false}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::istringstream in(row.input);
    std::vector<std::string> lines;
    std::vector<bool> cut;
    std::string line;
    bool was_cut = false;
    while (read_script_line(in, line, was_cut, 4)) {
      lines.push_back(line);
      cut.push_back(was_cut);
    }
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(cut, row.cut);
  }
}

TEST(Script, MalformedEventsAreScriptProblems) {
  for (const char* line : {"!click", "!click 1", "!click 1 2 3", "!click a b", "!click 1.5 2",
                           "!rclick 1 x", "!snapshot", "!snapshot   ", "!map", "!map  "}) {
    SCOPED_TRACE(line);
    EXPECT_THROW(parse_script_line(line), ScriptProblem);
  }
}

// A headless platform fed with a script.
struct Scripted {
  explicit Scripted(const std::string& script) : in(script), platform(disk, in, out, err) {}
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  HeadlessPlatform platform;
};

using test::script_problem_of;

TEST(Headless, TypedLinesAndClicksAnswerTheirWaits) {
  Scripted run("1\r\n!!bang\n!click 120 150\n!rclick 700 10\n");
  EXPECT_EQ(run.platform.get_line(console_unit), "1");
  run.platform.open_window(12);
  EXPECT_EQ(run.platform.get_line(12), "!bang");
  MouseEvent left = run.platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(left.event, mouse_left_down);
  EXPECT_EQ(left.x, 120);
  EXPECT_EQ(left.y, 150);
  MouseEvent right = run.platform.wait_mouse_event(mouse_left_down | mouse_right_down);
  EXPECT_EQ(right.event, mouse_right_down);
  EXPECT_EQ(right.x, 700);
  EXPECT_EQ(run.out.str(), "");  // typed lines are not printed
}

TEST(Headless, EventsThatDoNotFitTheWaitEndTheRun) {
  const int left_or_right = mouse_left_down | mouse_right_down;
  struct Row {
    const char* label;
    const char* script;
    std::function<void(HeadlessPlatform&)> waits;
    const char* problem;
  };
  const Row rows[] = {
      {"a click at a typed prompt", "!click 1 2\n",
       [](HeadlessPlatform& p) { p.get_line(console_unit); },
       "input line 1: a left click at (1, 2) came while a typed line is awaited on the console"},
      {"a typed line at a click in a window", "s\n",
       [&](HeadlessPlatform& p) {
         p.open_window(12);
         p.wait_mouse_event(left_or_right);
       },
       "input line 1: the typed line 's' came while a click is awaited in unit 12"},
      {"a right click where only a left one counts", "!rclick 5 5\n",
       [](HeadlessPlatform& p) { p.wait_mouse_event(mouse_left_down); },
       "input line 1: a right click at (5, 5) came while a click is awaited in the console"},
      {"a typed line at a click on the console", "a\n",
       [](HeadlessPlatform& p) { p.wait_mouse_event(mouse_left_down); },
       "input line 1: the typed line 'a' came while a click is awaited in the console"},
      {"an escape sequence typed at a click: shown, not sent", "\x1b[2J\n",
       [](HeadlessPlatform& p) { p.wait_mouse_event(mouse_left_down); },
       "input line 1: the typed line '\\033[2J' came while a click is awaited in the console"},
      {"end of input at a typed prompt", "", [](HeadlessPlatform& p) { p.get_line(console_unit); },
       "end of input while a typed line is awaited on the console"},
      {"end of input at a click", "x\n",
       [](HeadlessPlatform& p) {
         p.get_line(console_unit);
         p.wait_mouse_event(mouse_left_down);
       },
       "end of input while a click is awaited in the console"},
      {"a click right of the window", "!click 1024 0\n",
       [](HeadlessPlatform& p) { p.wait_mouse_event(mouse_left_down); },
       "input line 1: a left click at (1024, 0) lies outside the window (columns 0 to 1023, rows 0 "
       "to 767)"},
      {"a click left of the window", "!click -1 0\n",
       [](HeadlessPlatform& p) { p.wait_mouse_event(mouse_left_down); },
       "input line 1: a left click at (-1, 0) lies outside the window (columns 0 to 1023, rows 0 "
       "to 767)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    Scripted run(row.script);
    EXPECT_EQ(script_problem_of([&] { row.waits(run.platform); }), row.problem);
  }
}

// A huge typed line costs neither memory nor time: its first 64 KiB are the
// answer and standard error says the rest was dropped.
TEST(Headless, AHugeLineIsCutToItsFirst64KiB) {
  Scripted run(std::string(20'000'000, '7') + "\nnext\n");
  EXPECT_EQ(run.platform.get_line(console_unit), std::string(65536, '7'));
  EXPECT_EQ(run.platform.get_line(console_unit), "next");
  EXPECT_EQ(run.err.str(),
            "beat_analyser: input line 1: only its first 65536 bytes are read, the rest is "
            "discarded\n");
}

// Window lines are marked with their unit; clearing the console or a window
// prints nothing.
TEST(Headless, WindowLinesAreMarkedWithTheirUnit) {
  Scripted run("");
  run.platform.put_line(console_unit, "計算中");
  run.platform.clear_window();  // the console
  run.platform.open_window(12);
  run.platform.put_line(12, "d:\\data\\map\\abc.dat           ecg dataを表示");
  run.platform.clear_window();  // unit 12
  run.platform.activate_window(12);
  run.platform.put_line(12, " ");
  run.platform.put_line(console_unit, "CLEARSCREE");
  EXPECT_EQ(run.out.str(),
            "計算中\n"
            "[Unit 12] d:\\data\\map\\abc.dat           ecg dataを表示\n"
            "[Unit 12]  \n"
            "CLEARSCREE\n");
}

TEST(Headless, SnapshotsSaveTheActiveWindowAndTheWaitGoesOn) {
  const test::TempFolder folder("headless_snapshot");
  const std::string preview = (folder / "preview.png").string();
  const std::string console = (folder / "console.png").string();
  Scripted run("!snapshot " + console + "\n!snapshot " + preview + "\n!click 3 4\n");
  run.platform.open_window(14);
  run.platform.set_background_rgb(0xFFFFFF);
  run.platform.clear_window();
  run.platform.open_window(12);
  run.platform.set_colour_rgb(0x00FFFF);  // yellow
  run.platform.move_to(10, 30);
  run.platform.line_to(10, 269);
  // Before any window the snapshot would show the console; here unit 12 is active.
  MouseEvent click = run.platform.wait_mouse_event(mouse_left_down);
  EXPECT_EQ(click.x, 3);
  QImage shot(QString::fromStdString(preview));
  ASSERT_EQ(shot.size(), QSize(Surface::width, Surface::height));
  EXPECT_EQ(shot.pixel(10, 150), qRgb(255, 255, 0));
  EXPECT_EQ(shot.pixel(11, 150), qRgb(0, 0, 0));
}

TEST(Headless, UnwritableSnapshotIsAScriptProblem) {
  EXPECT_EQ(script_problem_of([] {
              Scripted("!snapshot /nonexistent/folder/a.png\n").platform.get_line(console_unit);
            }),
            "input line 1: cannot write the snapshot '/nonexistent/folder/a.png'");
}

TEST(Headless, MapSavesTheMeanOfTheLastMeasuredSelection) {
  const test::TempFolder folder("headless_map");
  const std::string path = (folder / "mean.png").string();
  const std::string early = "!map " + (folder / "early.png").string() + "\n";
  EXPECT_EQ(script_problem_of([&] { Scripted(early).platform.get_line(console_unit); }),
            "input line 1: no measured beats to map (command c measures them)");
  EXPECT_EQ(
      script_problem_of([&] {
        Scripted run("!map " + (folder / "mean.jpg").string() + "\n");
        run.platform.selection_measured(std::vector<ResultBeat>(1));
        run.platform.get_line(console_unit);
      }),
      "input line 1: a map path must end in .png, .svg or .pdf: " + (folder / "mean.jpg").string());
  // Lead 1 at +100 and -100 in two beats: a mean of 0 there, and lead 64's
  // 50 and 150 give 100.
  std::vector<ResultBeat> beats(2);
  beats[0].areas(1) = 100;
  beats[1].areas(1) = -100;
  beats[0].areas(64) = 50;
  beats[1].areas(64) = 150;
  Scripted run("!map " + path + "\nx\n");
  run.platform.selection_measured(beats);
  EXPECT_EQ(run.platform.measured_beats().size(), 2u);
  EXPECT_EQ(run.platform.get_line(console_unit), "x");
  QImage map(QString::fromStdString(path));
  EXPECT_EQ(map.size(), default_map_size);
}

TEST(Headless, TypedLinesAreEchoedOnTheReadingSurface) {
  Scripted run("WWW\n");
  run.platform.open_window(12);
  run.platform.get_line(12);
  Surface& graphics = run.platform.surface(12);
  EXPECT_EQ(graphics.text_position(), QPoint(0, graphics.line_height()));
  EXPECT_EQ(run.platform.surface(console_unit).text_position(), QPoint(0, 0));
}

}  // namespace
}  // namespace ba

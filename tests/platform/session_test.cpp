#include "platform/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "platform/surface_platform.h"
#include "runtime/errors.h"
#include "runtime/io.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

class ReportingPlatform : public SurfacePlatform {
 public:
  std::string get_line(int) override { return ""; }
  MouseEvent wait_mouse_event(int) override { return {}; }
  void show_error(const std::string& message) override { shown.push_back(message); }
  std::vector<std::string> shown;
};

struct Session {
  Session() : io(platform, DataFolder(folder.path()), files) {}

  // Runs `body` with the log open, as the program has it from the display set-up on.
  int run(const std::function<void()>& body,
          const std::optional<std::filesystem::path>& snapshots = std::nullopt) {
    return exit_code(run_session(
        platform, io,
        [&] {
          io.open_log("d:\\data\\map\\abcstlog.txt");
          io.write_line(log_unit, {"before the end"});
          body();
        },
        err, snapshots));
  }

  test::TempFolder folder{"session"};
  ReportingPlatform platform;
  HostFileOps files;
  Io io;
  std::ostringstream err;
};

TEST(Session, EveryWayOfEndingHasItsStatusAndClosesTheLog) {
  struct Case {
    const char* name;
    std::function<void()> end;
    int status;
    std::string report;  // on stderr, after "beat_analyser: "
    bool shown;          // also in the platform's error report
  };
  const Case cases[] = {
      {"normal end", [] {}, 0, "", false},
      {"exit sequence", [] { throw ProgramEnd(); }, 0, "", false},
      {"main window closed", [] { throw StopRequested(); }, 0, "", false},
      {"error report", [] { throw IoFailure(IoFailure::Kind::open, 10, "d:\\data\\map\\abc.dat"); },
       2, "unit 10: file open failure: d:\\data\\map\\abc.dat", true},
      {"error report naming the host file",
       [] {
         throw IoFailure(IoFailure::Kind::open, 10, "d:\\data\\map\\abc.dat", "/srv/map/abc.dat");
       },
       2, "unit 10: file open failure: d:\\data\\map\\abc.dat (host file /srv/map/abc.dat)", true},
      {"script problem", [] { throw ScriptProblem("end of input while a click is awaited"); }, 3,
       "end of input while a click is awaited", false},
      {"internal error", [] { throw std::out_of_range("index 0"); }, 2, "internal error: index 0",
       true},
      // A report is printed to its end, past any NUL in it.
      {"error report holding a NUL",
       [] { throw IoFailure(IoFailure::Kind::open, 10, std::string("a\0b", 3)); }, 2,
       std::string("unit 10: file open failure: a\0b", 31), true},
      {"script problem holding a NUL", [] { throw ScriptProblem(std::string("x\0y", 3)); }, 3,
       std::string("x\0y", 3), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Session session;
    EXPECT_EQ(session.run(c.end), c.status);
    EXPECT_FALSE(session.io.log_open());
    std::string expected_err = c.report.empty() ? "" : "beat_analyser: " + c.report + "\n";
    EXPECT_EQ(session.err.str(), expected_err);
    EXPECT_EQ(session.platform.shown.size(), c.shown ? 1u : 0u);
    // The log line written before the end is on disk, complete.
    EXPECT_EQ(test::read_host_file(session.folder / "abcstlog.txt"), " before the end\r\n");
  }
}

TEST(Session, SnapshotsAreSavedAfterAnyEnd) {
  Session session;
  auto shots = session.folder / "shots";
  session.platform.open_window(12);
  EXPECT_EQ(session.run([] { throw ScriptProblem("x"); }, shots), 3);
  EXPECT_TRUE(std::filesystem::exists(shots / "unit12.png"));
  EXPECT_TRUE(std::filesystem::exists(shots / "console.png"));
}

TEST(Session, FailedSnapshotsTurnANormalEndIntoAScriptProblem) {
  Session session;
  test::write_host_file(session.folder / "plain", "x");
  EXPECT_EQ(session.run([] {}, session.folder / "plain" / "shots"), 3);
  EXPECT_NE(session.err.str().find("snapshots: "), std::string::npos);
}

}  // namespace
}  // namespace ba

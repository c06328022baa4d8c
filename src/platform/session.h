#pragma once
// One run of the program on a platform: every way the program can end is
// turned into its exit status, with every open file closed before anything
// is reported.

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

#include "runtime/exit_status.h"

namespace ba {

class Io;
class SurfacePlatform;

inline constexpr const char* program_name = "beat_analyser";

// Runs `program` and returns the exit status: ok for a normal end or a stop
// asked for by closing the main window, failed for the error report (and for
// an internal error), script_problem for a script that does not fit the
// program's waits.
// Reports go to `err` (and to the platform's error report, which the window
// mode shows as a message box). With `snapshot_folder` every surface is then
// saved there as PNG; a failure to do so is reported and gives script_problem
// when the run itself ended normally.
ExitStatus run_session(SurfacePlatform& platform, Io& io, const std::function<void()>& program,
                       std::ostream& err,
                       const std::optional<std::filesystem::path>& snapshot_folder = std::nullopt);

}  // namespace ba

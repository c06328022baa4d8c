#include "platform/session.h"

#include <exception>
#include <string>

#include "platform/surface_platform.h"
#include "runtime/errors.h"
#include "runtime/io.h"

namespace ba {

namespace {

// Closes every file, then reports. The report must never be the reason a
// file is left open, so the closing comes first.
ExitStatus report(SurfacePlatform& platform, Io& io, std::ostream& err, const std::string& message,
                  ExitStatus status, bool show) {
  io.close_all_files();
  err << program_name << ": " << message << std::endl;
  if (show) platform.show_error(message);
  return status;
}

// The error report names the program's own path (d:\data\map\...); the
// person also needs the file on this machine.
std::string with_host_file(const IoFailure& failure) {
  if (failure.host_file().empty()) return failure.message();
  std::error_code failed;
  std::filesystem::path host = std::filesystem::absolute(failure.host_file(), failed);
  return failure.message() + " (host file " + (failed ? failure.host_file() : host).string() + ")";
}

ExitStatus run_guarded(SurfacePlatform& platform, Io& io, const std::function<void()>& program,
                       std::ostream& err) {
  try {
    program();
    io.close_all_files();
    return ExitStatus::ok;
  } catch (const StopRequested&) {
    io.close_all_files();
    return ExitStatus::ok;
  } catch (const ProgramEnd&) {
    io.close_all_files();
    return ExitStatus::ok;
  } catch (const IoFailure& failure) {
    return report(platform, io, err, with_host_file(failure), ExitStatus::failed, true);
  } catch (const ScriptProblem& problem) {
    return report(platform, io, err, problem.message(), ExitStatus::script_problem, false);
  } catch (const std::exception& error) {
    return report(platform, io, err, std::string("internal error: ") + error.what(),
                  ExitStatus::failed, true);
  }
}

}  // namespace

ExitStatus run_session(SurfacePlatform& platform, Io& io, const std::function<void()>& program,
                       std::ostream& err,
                       const std::optional<std::filesystem::path>& snapshot_folder) {
  ExitStatus status = run_guarded(platform, io, program, err);
  if (snapshot_folder) {
    if (auto failed = platform.save_snapshots(*snapshot_folder, io.files())) {
      err << program_name << ": snapshots: " << *failed << std::endl;
      if (status == ExitStatus::ok) status = ExitStatus::script_problem;
    }
  }
  return status;
}

}  // namespace ba

#pragma once
// How the process ends: the one list of exit statuses of the program and of
// every command-line verb. Only main turns one into the process's status.

namespace ba {

enum class ExitStatus : int {
  ok = 0,              // normal end; a verb did what it was asked
  usage = 1,           // a wrong command line
  differs = 1,         // a comparing verb (analyse --check) found a difference
  some_failed = 1,     // a verb over many inputs: at least one of them failed
  failed = 2,          // a typed answer, a file open, read or write failed; nothing half-written
  script_problem = 3,  // headless input did not fit what the program waited for
};

constexpr int exit_code(ExitStatus status) { return static_cast<int>(status); }

}  // namespace ba

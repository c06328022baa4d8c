#pragma once
// The way an action ends early, caught so that a test can check the kind,
// the unit and the exact report.

#include <optional>
#include <string>

#include "runtime/errors.h"

namespace ba::test {

// The platform's error report the action ended with, or nothing when it
// ended normally.
template <class Action>
std::optional<IoFailure> io_failure_of(Action&& action) {
  try {
    action();
  } catch (const IoFailure& failure) {
    return failure;
  }
  return std::nullopt;
}

// The script problem the action ended with, or "no problem".
template <class Action>
std::string script_problem_of(Action&& action) {
  try {
    action();
  } catch (const ScriptProblem& problem) {
    return problem.what();
  }
  return "no problem";
}

}  // namespace ba::test

#pragma once
// The ways the program can end early. Every one of them unwinds to main,
// which closes every open file before it reports and exits, so no failure
// leaves a half-written file or an open log behind.

#include <filesystem>
#include <stdexcept>
#include <string>

namespace ba {

// The platform's error report: a typed answer that is not a number of its
// field's kind, a failed open, a read past the end of a file, or a line that
// could not be written to the log. The message names the unit and the
// failure; the program ends with exit status 2.
class IoFailure : public std::runtime_error {
 public:
  enum class Kind { conversion, end_of_file, open, write };
  // `host_file`: the file on the host behind the unit's program path, when
  // there is one, so that the person can find it.
  IoFailure(Kind kind, int unit, const std::string& detail, std::filesystem::path host_file = {});
  Kind kind() const { return kind_; }
  int unit() const { return unit_; }
  const std::filesystem::path& host_file() const { return host_file_; }
  // The whole report; what() would stop at a NUL byte.
  const std::string& message() const { return message_; }

 private:
  Kind kind_;
  int unit_;
  std::filesystem::path host_file_;
  std::string message_;
};

// Headless input that does not fit what the program waits for (a click while
// a typed line is awaited, the reverse, or the end of the input): exit 3.
class ScriptProblem : public std::runtime_error {
 public:
  explicit ScriptProblem(const std::string& message)
      : std::runtime_error(message), message_(message) {}
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// Why an input or a request cannot be used, in words the person reads; the
// code that catches it decides what follows (a usage report, a refusal, a
// line fault).
struct Refusal {
  std::string reason;
};

// The person closed the main window: a clean, normal stop.
class StopRequested : public std::runtime_error {
 public:
  StopRequested() : std::runtime_error("stop requested") {}
};

// The exit sequence has run: the program ends normally.
class ProgramEnd : public std::runtime_error {
 public:
  ProgramEnd() : std::runtime_error("program end") {}
};

}  // namespace ba

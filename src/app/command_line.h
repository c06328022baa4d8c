#pragma once
// Command lines of the program and of every verb, on CLI11, in one manner:
// each takes its options as text and turns numbers with the text kit;
// --help prints the verb's own help text; a wrong command line is reported
// as "beat_analyser VERB: reason" with a hint to --help, status 1. Parsing
// never ends the process: it returns the status to end with, and main ends.

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "runtime/exit_status.h"

namespace ba {

// A wrong command line found after CLI11 has parsed it (a bad number, a
// missing file name): its reason, status 1.
struct UsageError {
  std::string reason;
};

// The three lead numbers of --leads A,B,C (a UsageError otherwise).
std::array<std::int32_t, 3> leads_option(const std::string& text);

class CommandLine {
 public:
  // `name`: "beat_analyser" or "beat_analyser VERB"; `help`: prints the
  // whole help text to the stream it is given.
  CommandLine(std::string name, std::function<void(std::ostream&)> help);
  CLI::App& app() { return app_; }

  // Parses argv[1..] (argv[0] is the verb or the program). Returns nothing
  // when the caller should go on; otherwise the status to end with, having
  // printed the help or the usage report.
  std::optional<ExitStatus> parse(int argc, char** argv, std::ostream& out, std::ostream& err);
  // Reports a wrong command line found afterwards; returns ExitStatus::usage.
  ExitStatus usage(const std::string& reason, std::ostream& err) const;
  // Reports a failure ("beat_analyser VERB: message"); returns ExitStatus::failed.
  ExitStatus refuse(const std::string& message, std::ostream& err) const;

 private:
  std::string name_;
  std::function<void(std::ostream&)> help_;
  CLI::App app_;
  bool help_asked_ = false;
};

}  // namespace ba

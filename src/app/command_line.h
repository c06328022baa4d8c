#pragma once
// Command lines of the program and of every verb, on CLI11, in one manner:
// each takes its options as text and turns numbers with the text kit;
// --help prints the verb's own help text; a wrong command line is reported
// as "beat_analyser VERB: reason" with a hint to --help, status 1. Parsing
// never ends the process: it returns the status to end with, and main ends.
// CLI11 is a large header: only command_line.cpp includes it, so the verbs
// compile without it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "runtime/errors.h"
#include "runtime/exit_status.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace ba {

// The three lead numbers of --leads A,B,C (a Refusal otherwise).
std::array<std::int32_t, 3> leads_option(const std::string& text);

class CommandLine {
 public:
  // One option or positional argument, to say more of it after adding it.
  class Option {
   public:
    explicit Option(CLI::Option* option) : option_(option) {}
    // The command line is wrong without it.
    Option& required();
    // Given more than once, it counts with its last value.
    Option& take_last();

   private:
    CLI::Option* option_;
  };

  // `name`: "beat_analyser" or "beat_analyser VERB"; `help`: prints the
  // whole help text to the stream it is given.
  CommandLine(std::string name, std::function<void(std::ostream&)> help);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Options as text ("-o,--output"; a name without dashes is positional),
  // and flags. The targets are set by parse.
  Option add_option(const std::string& name, std::string& target);
  Option add_option(const std::string& name, std::optional<std::string>& target);
  Option add_option(const std::string& name, std::vector<std::string>& target);
  Option add_flag(const std::string& name, bool& target);
  // How often an option was given.
  std::size_t count(const std::string& name) const;

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
  std::unique_ptr<CLI::App> app_;
  bool help_asked_ = false;
};

}  // namespace ba

#include "app/command_line.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "runtime/text_kit.h"

namespace ba {

CommandLine::Option& CommandLine::Option::required() {
  option_->required();
  return *this;
}

CommandLine::Option& CommandLine::Option::take_last() {
  option_->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  return *this;
}

CommandLine::CommandLine(std::string name, std::function<void(std::ostream&)> help)
    : name_(std::move(name)), help_(std::move(help)), app_(std::make_unique<CLI::App>(name_)) {
  // Our own help text, not CLI11's generated one.
  app_->set_help_flag();
  app_->add_flag("--help", help_asked_);
  app_->allow_windows_style_options(false);
}

CommandLine::~CommandLine() = default;

CommandLine::Option CommandLine::add_option(const std::string& name, std::string& target) {
  return Option(app_->add_option(name, target));
}

CommandLine::Option CommandLine::add_option(const std::string& name,
                                            std::optional<std::string>& target) {
  return Option(app_->add_option(name, target));
}

CommandLine::Option CommandLine::add_option(const std::string& name,
                                            std::vector<std::string>& target) {
  return Option(app_->add_option(name, target));
}

CommandLine::Option CommandLine::add_flag(const std::string& name, bool& target) {
  return Option(app_->add_flag(name, target));
}

std::size_t CommandLine::count(const std::string& name) const { return app_->count(name); }

std::optional<ExitStatus> CommandLine::parse(int argc, char** argv, std::ostream& out,
                                             std::ostream& err) {
  try {
    app_->parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help beside a wrong option still helps, as GNU tools do.
    if (help_asked_) {
      help_(out);
      return ExitStatus::ok;
    }
    return usage(error.what(), err);
  }
  if (help_asked_) {
    help_(out);
    return ExitStatus::ok;
  }
  return std::nullopt;
}

ExitStatus CommandLine::usage(const std::string& reason, std::ostream& err) const {
  err << name_ << ": " << reason << "\n"
      << "Try '" << name_ << " --help' for more information.\n";
  return ExitStatus::usage;
}

ExitStatus CommandLine::refuse(const std::string& message, std::ostream& err) const {
  err << name_ << ": " << message << "\n";
  return ExitStatus::failed;
}

std::array<std::int32_t, 3> leads_option(const std::string& text) {
  std::array<std::int32_t, 3> leads{};
  std::istringstream parts(text);
  std::string part;
  int count = 0;
  while (std::getline(parts, part, ',')) {
    const auto lead = parse_int32(trimmed(part));
    if (!lead || count == 3)
      throw Refusal{"--leads needs three lead numbers A,B,C, not '" + text + "'"};
    leads[static_cast<std::size_t>(count++)] = *lead;
  }
  if (count != 3) throw Refusal{"--leads needs three lead numbers A,B,C, not '" + text + "'"};
  return leads;
}

}  // namespace ba

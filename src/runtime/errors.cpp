#include "runtime/errors.h"

namespace ba {

namespace {

std::string unit_name(int unit) {
  return unit == 0 ? std::string("console") : "unit " + std::to_string(unit);
}

std::string failure_text(IoFailure::Kind kind) {
  switch (kind) {
    case IoFailure::Kind::conversion:
      return "input conversion error";
    case IoFailure::Kind::end_of_file:
      return "end of file during read";
    case IoFailure::Kind::open:
      return "file open failure";
    case IoFailure::Kind::write:
      return "file write failure";
  }
  return "input/output error";
}

}  // namespace

IoFailure::IoFailure(Kind kind, int unit, const std::string& detail,
                     std::filesystem::path host_file)
    : std::runtime_error(unit_name(unit) + ": " + failure_text(kind) +
                         (detail.empty() ? std::string() : ": " + detail)),
      kind_(kind),
      unit_(unit),
      host_file_(std::move(host_file)),
      message_(unit_name(unit) + ": " + failure_text(kind) +
               (detail.empty() ? std::string() : ": " + detail)) {}

}  // namespace ba

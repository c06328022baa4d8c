// The headless script: any bytes as standard input, read line by line with a
// small limit and each line parsed as an event.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "runtime/errors.h"
#include "runtime/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::string line;
  bool cut = false;
  while (ba::read_script_line(in, line, cut, 256)) {
    try {
      ba::describe(ba::parse_script_line(line));
    } catch (const ba::ScriptProblem& problem) {
      problem.message();
    }
  }
  return 0;
}

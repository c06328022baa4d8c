#include "runtime/script.h"

#include <sstream>

#include "runtime/errors.h"
#include "runtime/quoting.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

bool starts_with_word(const std::string& line, const std::string& word) {
  return line.compare(0, word.size(), word) == 0 &&
         (line.size() == word.size() || line[word.size()] == ' ');
}

bool read_int(const std::string& word, int& value) {
  const std::optional<std::int32_t> number = parse_int32(word);
  if (number) value = *number;
  return number.has_value();
}

ScriptEvent parse_click(const std::string& line, ScriptEvent::Kind kind) {
  std::istringstream words(line);
  std::string name, x, y, extra;
  words >> name >> x >> y;
  ScriptEvent event;
  event.kind = kind;
  if (!read_int(x, event.x) || !read_int(y, event.y) || (words >> extra))
    throw ScriptProblem("a click needs two whole numbers, column and row: " + quote(line));
  return event;
}

// The path after a "!snapshot" or "!map" word.
ScriptEvent parse_path(const std::string& line, std::size_t word_length, ScriptEvent::Kind kind,
                       const char* what) {
  ScriptEvent event;
  event.kind = kind;
  std::size_t start = line.find_first_not_of(' ', word_length);
  if (start == std::string::npos)
    throw ScriptProblem(std::string(what) + " needs a file path: " + quote(line));
  event.text = line.substr(start);
  return event;
}

}  // namespace

bool read_script_line(std::istream& in, std::string& line, bool& cut, std::size_t limit) {
  line.clear();
  cut = false;
  std::streambuf* source = in.rdbuf();
  bool any = false;
  for (;;) {
    const int c = source->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return any;
    }
    any = true;
    if (c == '\n') return true;
    if (line.size() < limit)
      line.push_back(static_cast<char>(c));
    else
      cut = true;
  }
}

ScriptEvent parse_script_line(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  ScriptEvent event;
  if (line.starts_with("!!")) {
    event.text = line.substr(1);
  } else if (starts_with_word(line, "!click")) {
    event = parse_click(line, ScriptEvent::Kind::left_click);
  } else if (starts_with_word(line, "!rclick")) {
    event = parse_click(line, ScriptEvent::Kind::right_click);
  } else if (starts_with_word(line, "!snapshot")) {
    event = parse_path(line, sizeof("!snapshot") - 1, ScriptEvent::Kind::snapshot, "a snapshot");
  } else if (starts_with_word(line, "!map")) {
    event = parse_path(line, sizeof("!map") - 1, ScriptEvent::Kind::map, "a map");
  } else {
    event.text = line;
  }
  return event;
}

std::string describe(const ScriptEvent& event) {
  auto at = [&] {
    return " at (" + std::to_string(event.x) + ", " + std::to_string(event.y) + ")";
  };
  switch (event.kind) {
    case ScriptEvent::Kind::typed_line:
      return "the typed line " + quote(event.text);
    case ScriptEvent::Kind::left_click:
      return "a left click" + at();
    case ScriptEvent::Kind::right_click:
      return "a right click" + at();
    case ScriptEvent::Kind::snapshot:
      return "a snapshot";
    case ScriptEvent::Kind::map:
      return "a map";
  }
  return "an event";
}

}  // namespace ba

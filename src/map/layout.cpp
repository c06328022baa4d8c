#include "map/layout.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "map/geometry.h"
#include "runtime/quoting.h"
#include "runtime/text_lines.h"

namespace ba {

LeadLayout default_layout() {
  LeadLayout layout;
  for (int n = 1; n <= lead_point_count; ++n) {
    Electrode& e = layout.leads(n);
    e.x = (n - 1) / grid_side;
    e.y = (n - 1) % grid_side;
    e.listed = true;
  }
  layout.regular_grid = true;
  return layout;
}

namespace {

std::string_view trimmed(std::string_view word) {
  const auto first = word.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = word.find_last_not_of(" \t");
  return word.substr(first, last - first + 1);
}

// A field without blanks around it and without the double quotes a
// spreadsheet may put around it (fields holding commas are not expected).
std::string_view field_text(std::string_view word) {
  word = trimmed(word);
  if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
    word = trimmed(word.substr(1, word.size() - 2));
  return word;
}

std::string lower_case(std::string_view word) {
  std::string text(word);
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    words.push_back(field_text(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) return words;
    start = comma + 1;
  }
}

// Places farther out than this (in the layout's own unit) are refused: the
// spline squares distances, and a layout spanning more is surely a mistake.
constexpr double farthest_place = 1e9;

std::optional<double> number(std::string_view word) {
  double value = 0;
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  const auto [stop, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc{} || stop != word.data() + word.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// Column positions of the header's names; -1 for an optional one missing.
struct Columns {
  int lead = -1, x = -1, y = -1, label = -1, bad = -1;
  std::size_t count = 0;
};

std::variant<Columns, std::string> header_columns(std::string_view line) {
  Columns columns;
  const auto names = fields(line);
  columns.count = names.size();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int at = static_cast<int>(i);
    const std::string name = lower_case(names[i]);
    int* slot = name == "lead"    ? &columns.lead
                : name == "x"     ? &columns.x
                : name == "y"     ? &columns.y
                : name == "label" ? &columns.label
                : name == "bad"   ? &columns.bad
                                  : nullptr;
    if (!slot) return "unknown column " + quote_word(names[i]) + " (known: lead, x, y, label, bad)";
    if (*slot >= 0) return "column " + quote_word(names[i]) + " appears twice";
    *slot = at;
  }
  if (columns.lead != 0 || columns.x != 1 || columns.y != 2)
    return "the header must begin with lead,x,y";
  return columns;
}

class LayoutParser {
 public:
  LayoutText parse(std::string_view text) {
    // Spreadsheets often begin a UTF-8 file with a byte order mark.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    bool header_seen = false;
    TextLines lines(text);
    while (const auto next = lines.next()) {
      line_ = lines.number();
      const std::string_view line = *next;
      if (trimmed(line).empty()) continue;
      std::optional<std::string> fault;
      if (!header_seen) {
        auto header = header_columns(line);
        if (auto* reason = std::get_if<std::string>(&header)) return LayoutFault{line_, *reason};
        columns_ = std::get<Columns>(header);
        header_seen = true;
      } else if (auto reason = lead_line(line)) {
        return LayoutFault{line_, *reason};
      }
    }
    if (!header_seen) return LayoutFault{0, "the file is empty; it needs the header lead,x,y"};
    return finished();
  }

 private:
  std::optional<std::string> lead_line(std::string_view line) {
    const auto words = fields(line);
    if (words.size() != columns_.count)
      return "expected " + std::to_string(columns_.count) + " fields, found " +
             std::to_string(words.size());
    const auto lead = number(words[0]);
    if (!lead || *lead != std::floor(*lead))
      return "the lead " + quote_word(words[0]) + " is not a whole number";
    if (*lead < 1 || *lead > lead_point_count)
      return "lead " + quote_word(words[0]) + " is out of range 1 to 64";
    const int n = static_cast<int>(*lead);
    Electrode& e = layout_.leads(n);
    if (e.listed) return "lead " + std::to_string(n) + " is listed twice";
    const auto x = number(words[1]);
    if (!x) return "x " + quote_word(words[1]) + " is not a number";
    const auto y = number(words[2]);
    if (!y) return "y " + quote_word(words[2]) + " is not a number";
    if (std::abs(*x) > farthest_place || std::abs(*y) > farthest_place)
      return "the place " + quote_word(words[1]) + ", " + quote_word(words[2]) +
             " lies beyond 1e9 from the origin";
    e.x = *x;
    e.y = *y;
    e.listed = true;
    if (columns_.label >= 0) e.label = std::string(words[columns_.label]);
    if (columns_.bad >= 0) {
      const std::string_view bad = words[columns_.bad];
      if (bad != "0" && bad != "1") return "bad " + quote_word(bad) + " is neither 0 nor 1";
      e.bad = bad == "1";
    }
    return std::nullopt;
  }

  LayoutText finished() {
    std::vector<MapPoint> usable;
    for (int n = 1; n <= lead_point_count; ++n)
      if (layout_.leads(n).usable()) usable.push_back({layout_.leads(n).x, layout_.leads(n).y});
    if (usable.size() < 4)
      return LayoutFault{
          line_, "only " + std::to_string(usable.size()) + " usable leads; a map needs at least 4"};
    if (hull_area(convex_hull(usable)) <= 0)
      return LayoutFault{line_, "the usable leads lie on one line; a map needs an area"};
    return layout_;
  }

  LeadLayout layout_;
  Columns columns_;
  long line_ = 0;
};

}  // namespace

LayoutText parse_layout(std::string_view text) { return LayoutParser().parse(text); }

}  // namespace ba

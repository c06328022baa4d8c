#include "map/layout.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "map/geometry.h"
#include "runtime/quoting.h"
#include "runtime/text_kit.h"
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

// Places farther out than this (in the layout's own unit) are refused: the
// spline squares distances, and a layout spanning more is surely a mistake.
constexpr double farthest_place = 1e9;

// Column positions of the header's names; -1 for an optional one missing.
struct Columns {
  int lead = -1, x = -1, y = -1, label = -1, bad = -1;
  std::size_t count = 0;
};

std::variant<Columns, std::string> header_columns(std::string_view line) {
  Columns columns;
  auto split = csv_fields(line);
  if (auto* reason = std::get_if<std::string>(&split)) return std::move(*reason);
  const auto& names = std::get<std::vector<std::string>>(split);
  columns.count = names.size();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int at = static_cast<int>(i);
    const std::string name = ascii_lower(names[i]);
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
  if (columns.lead < 0 || columns.x < 0 || columns.y < 0)
    return "the header must name the columns lead, x and y";
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
      line_ = static_cast<int>(lines.number());
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
    auto split = csv_fields(line);
    if (auto* reason = std::get_if<std::string>(&split)) return std::move(*reason);
    const auto& words = std::get<std::vector<std::string>>(split);
    if (words.size() != columns_.count)
      return "expected " + std::to_string(columns_.count) + " fields, found " +
             std::to_string(words.size());
    const std::string_view lead_word = words[columns_.lead];
    const auto lead = parse_int32(lead_word);
    if (!lead) return "the lead " + quote_word(lead_word) + " is not a whole number";
    if (*lead < 1 || *lead > lead_point_count)
      return "lead " + quote_word(lead_word) + " is out of range 1 to 64";
    const int n = *lead;
    Electrode& e = layout_.leads(n);
    if (e.listed) return "lead " + std::to_string(n) + " is listed twice";
    const std::string_view x_word = words[columns_.x], y_word = words[columns_.y];
    const auto x = parse_real(x_word);
    if (!x) return "x " + quote_word(x_word) + " is not a number";
    const auto y = parse_real(y_word);
    if (!y) return "y " + quote_word(y_word) + " is not a number";
    if (std::abs(*x) > farthest_place || std::abs(*y) > farthest_place)
      return "the place " + quote_word(x_word) + ", " + quote_word(y_word) +
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
  int line_ = 0;
};

}  // namespace

LayoutText parse_layout(std::string_view text) { return LayoutParser().parse(text); }

}  // namespace ba

#include "results/result_file.h"

#include <optional>
#include <string>

#include "runtime/quoting.h"
#include "runtime/text_lines.h"

namespace ba {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The whitespace-separated words of a line as 32-bit whole numbers, or the
// first word that is not one.
std::variant<std::vector<std::int32_t>, std::string> whole_numbers(std::string_view line) {
  std::vector<std::int32_t> values;
  std::size_t i = 0;
  while (i < line.size()) {
    if (is_blank(line[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < line.size() && !is_blank(line[end])) ++end;
    const std::string_view word = line.substr(i, end - i);
    const std::optional<std::int32_t> value = parse_int32(word);
    if (!value) return std::string(word);
    values.push_back(*value);
    i = end;
  }
  return values;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : lines_(text) {}

  ResultFileText parse() {
    const auto count = single_value("the number of beats");
    if (!count) return fault_;
    if (*count < 0) return fail("the number of beats is negative");
    std::vector<ResultBeat> beats;
    for (std::int32_t b = 1; b <= *count; ++b) {
      ResultBeat beat;
      const auto r = single_value("the R time of beat " + std::to_string(b));
      if (!r) return fault_;
      beat.r_ms = *r;
      if (!read_areas(beat, b)) return fault_;
      beats.push_back(beat);
    }
    while (const auto line = lines_.next())
      if (line->find_first_not_of(" \t") != std::string_view::npos)
        return fail("text after the last of " + std::to_string(*count) + " beats");
    return beats;
  }

 private:
  LineFault fail(std::string reason) {
    fault_ = {static_cast<int>(lines_.number()), std::move(reason)};
    return fault_;
  }

  // The next line's numbers; nullopt (with the fault set) at the end of the
  // text or at a word that is not a whole number.
  std::optional<std::vector<std::int32_t>> numbers_line(const std::string& expected) {
    const auto line = lines_.next();
    if (!line) {
      fault_ = {static_cast<int>(lines_.number() + 1), "the file ends before " + expected};
      return std::nullopt;
    }
    auto values = whole_numbers(*line);
    if (auto* word = std::get_if<std::string>(&values)) {
      fail(quote_word(*word) + " is not a whole number");
      return std::nullopt;
    }
    return std::get<std::vector<std::int32_t>>(std::move(values));
  }

  std::optional<std::int32_t> single_value(const std::string& expected) {
    const auto values = numbers_line(expected);
    if (!values) return std::nullopt;
    if (values->size() != 1) {
      fail("expected " + expected + " alone on the line, found " + std::to_string(values->size()) +
           " values");
      return std::nullopt;
    }
    return values->front();
  }

  // The 64 areas of beat b, over as many lines as they take.
  bool read_areas(ResultBeat& beat, std::int32_t b) {
    long lead = 0;
    while (lead < lead_point_count) {
      const auto values = numbers_line("the areas of beat " + std::to_string(b));
      if (!values) return false;
      if (values->empty()) {
        fail("an empty line among the areas of beat " + std::to_string(b));
        return false;
      }
      if (lead + static_cast<long>(values->size()) > lead_point_count) {
        fail("beat " + std::to_string(b) + " has more than 64 areas");
        return false;
      }
      for (std::int32_t v : *values) beat.areas(++lead) = v;
    }
    return true;
  }

  TextLines lines_;
  LineFault fault_;
};

}  // namespace

std::vector<std::vector<Item>> result_statements(const Selection& selection) {
  std::vector<std::vector<Item>> statements;
  statements.push_back({selection.n_accepted});
  for (long b = 1; b <= selection.n_accepted; ++b) {
    statements.push_back({selection.accepted_beats(b)});
    std::vector<Item> areas;
    for (long lead = 1; lead <= lead_point_count; ++lead)
      areas.emplace_back(selection.aqrst(lead, b));
    statements.push_back(std::move(areas));
  }
  return statements;
}

ResultFileText parse_result_file(std::string_view text) { return Parser(text).parse(); }

}  // namespace ba

#include "runtime/text_kit.h"

#include <charconv>
#include <cmath>

namespace ba {

namespace {

// from_chars takes a '-' but not a '+'; a lone sign or a sign before a sign
// is no number.
std::string_view without_plus(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
    text.remove_prefix(1);
  return text;
}

bool plain_real_text(std::string_view text) {
  // from_chars would take "inf", "nan" and "1e5" alike; only the last is ours.
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
      return false;
  return true;
}

template <typename Number>
std::optional<Number> parse_whole(std::string_view text) {
  text = without_plus(text);
  Number value{};
  const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || stop != text.data() + text.size())
    return std::nullopt;
  return value;
}

template <typename Real>
std::optional<Real> parse_any_real(std::string_view text) {
  text = without_plus(text);
  if (text.empty() || !plain_real_text(text)) return std::nullopt;
  Real value{};
  const auto [stop, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc{} || stop != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<double> parse_real(std::string_view text) { return parse_any_real<double>(text); }
std::optional<float> parse_float(std::string_view text) { return parse_any_real<float>(text); }
std::optional<std::int32_t> parse_int32(std::string_view text) {
  return parse_whole<std::int32_t>(text);
}
std::optional<std::int64_t> parse_int64(std::string_view text) {
  return parse_whole<std::int64_t>(text);
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string ascii_lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

std::string describe_fault(std::string_view file, const LineFault& fault) {
  std::string text(file);
  if (fault.line > 0) text += ":" + std::to_string(fault.line);
  return text + ": " + fault.reason;
}

std::variant<std::vector<std::string>, std::string> csv_fields(std::string_view line) {
  std::vector<std::string> fields;
  std::string field;
  std::size_t k = 0;
  for (;;) {
    field.clear();
    const std::string_view rest = trimmed(line.substr(k));
    if (!rest.empty() && rest.front() == '"') {
      k = line.size() - rest.size() + 1;
      for (;;) {
        if (k >= line.size()) return std::string("a quoted field without its closing quote");
        if (line[k] == '"') {
          if (k + 1 < line.size() && line[k + 1] == '"') {
            field += '"';
            k += 2;
            continue;
          }
          ++k;
          break;
        }
        field += line[k++];
      }
      const std::size_t comma = line.find(',', k);
      if (!trimmed(line.substr(k, comma == std::string_view::npos ? comma : comma - k)).empty())
        return std::string("text after the closing quote of a field");
      fields.push_back(field);
      if (comma == std::string_view::npos) return fields;
      k = comma + 1;
    } else {
      const std::size_t comma = line.find(',', k);
      fields.emplace_back(
          trimmed(line.substr(k, comma == std::string_view::npos ? comma : comma - k)));
      if (comma == std::string_view::npos) return fields;
      k = comma + 1;
    }
  }
}

std::string csv_quoted(std::string_view field) {
  const bool plain = field.find_first_of(",\"\r\n") == std::string_view::npos &&
                     (field.empty() || (trimmed(field).size() == field.size()));
  if (plain) return std::string(field);
  std::string quoted = "\"";
  for (char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace ba

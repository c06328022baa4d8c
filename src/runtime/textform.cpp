#include "runtime/textform.h"

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "runtime/text_kit.h"

namespace ba {

namespace {

// One converter between UTF-8 and Shift-JIS (code page 932), opened for the
// duration of one call: iconv descriptors carry conversion state, so none is
// shared between calls.
class Converter {
 public:
  Converter(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("no character conversion from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(descriptor_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of `input` as possible onto `output`; returns the
  // number of input bytes consumed. Stops at the first byte sequence that has
  // no form in the target encoding.
  std::size_t convert(std::string_view input, std::string& output) {
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    while (in_left > 0) {
      char buffer[256];
      char* out = buffer;
      std::size_t out_left = sizeof buffer;
      std::size_t status = iconv(descriptor_, &in, &in_left, &out, &out_left);
      output.append(buffer, static_cast<std::size_t>(out - buffer));
      if (status == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return input.size() - in_left;
  }

 private:
  iconv_t descriptor_;
};

// Byte count of the UTF-8 character starting at text[0]; an invalid lead or
// continuation byte counts as a one-byte character of its own.
std::size_t utf8_char_length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (length > text.size()) return 1;
  for (std::size_t i = 1; i < length; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  return length;
}

// Walks a UTF-8 text character by character with each character's Shift-JIS
// bytes (empty when it has none). ASCII maps to itself and needs no iconv.
class GlyphWalker {
 public:
  explicit GlyphWalker(std::string_view utf8) : text_(utf8) {}

  bool next(std::string_view& utf8_char, std::string& sjis) {
    if (position_ >= text_.size()) return false;
    const std::size_t length = utf8_char_length(text_.substr(position_));
    utf8_char = text_.substr(position_, length);
    position_ += length;
    sjis.clear();
    if (length == 1 && static_cast<unsigned char>(utf8_char[0]) < 0x80) {
      sjis = utf8_char;
      return true;
    }
    if (!converter_) converter_.emplace("CP932", "UTF-8");
    if (converter_->convert(utf8_char, sjis) != length) sjis.clear();
    return true;
  }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  std::optional<Converter> converter_;
};

// Shift-JIS width of one character: a character without a Shift-JIS form
// counts as two bytes.
int glyph_width(const std::string& sjis) {
  return sjis.empty() ? 2 : static_cast<int>(sjis.size());
}

// The longest prefix of whole characters that fits in `width` Shift-JIS
// bytes, padded with blanks to exactly that width. A double-byte character
// that would straddle the end is left out, never cut in half.
std::string fit_to_width(std::string_view utf8, int width) {
  std::string fitted;
  int used = 0;
  GlyphWalker walker(utf8);
  std::string_view glyph;
  std::string sjis;
  while (walker.next(glyph, sjis)) {
    const int w = glyph_width(sjis);
    if (used + w > width) break;
    fitted += glyph;
    used += w;
  }
  fitted.append(static_cast<std::size_t>(width - used), ' ');
  return fitted;
}

std::string right_aligned(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string without_blanks(std::string_view text) {
  std::string kept;
  for (char c : text)
    if (c != ' ') kept += c;
  return kept;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits of `text` from `position` on; moves `position` past them.
std::string take_digits(std::string_view text, std::size_t& position) {
  const std::size_t start = position;
  while (position < text.size() && is_digit(text[position])) ++position;
  return std::string(text.substr(start, position - start));
}

// An optional sign from `position`; moves past it. Returns "-" or "".
std::string take_sign(std::string_view text, std::size_t& position) {
  if (position < text.size() && (text[position] == '+' || text[position] == '-'))
    return text[position++] == '-' ? "-" : "";
  return "";
}

// Correctly rounded conversion of a plain decimal text ("-12.5", "95e-2")
// to single precision, independent of the locale.
bool decimal_to_float(const std::string& decimal, float& value) {
  const std::optional<float> number = parse_float(decimal);
  if (number) value = *number;
  return number.has_value();
}

// Decimal exponent of |value| once it is rounded to 7 significant digits.
int decimal_exponent(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, 6);
  const std::string text(buffer, result.ptr);
  return parse_int32(text.substr(text.find('e') + 1)).value_or(0);
}

bool is_word_separator(char c) { return c == ' ' || c == '\t'; }

std::string_view first_token(std::string_view typed) {
  std::size_t start = 0;
  while (start < typed.size() && is_word_separator(typed[start])) ++start;
  std::size_t end = start;
  while (end < typed.size() && !is_word_separator(typed[end])) ++end;
  return typed.substr(start, end - start);
}

// Lays out the items of one statement on lines of at most file_line_limit
// Shift-JIS bytes.
class LineBuilder {
 public:
  void add_number(const std::string& field) {
    if (width_ > 0 && width_ + static_cast<int>(field.size()) > file_line_limit) new_line();
    current_ += field;
    width_ += static_cast<int>(field.size());
    after_number_ = true;
  }

  // A text goes on the current line when it fits there with its separating
  // blank; otherwise on a new line, split over further lines when longer
  // than a whole line.
  void add_text(std::string_view text) {
    bool blank_before = width_ == 0 || after_number_;
    const int needed = static_cast<int>(sjis_width(text)) + (blank_before ? 1 : 0);
    if (width_ > 0 && width_ + needed > file_line_limit) {
      new_line();
      blank_before = true;
    }
    if (blank_before) append(" ", 1);
    GlyphWalker walker(text);
    std::string_view glyph;
    std::string sjis;
    while (walker.next(glyph, sjis)) {
      const int w = glyph_width(sjis);
      if (width_ + w > file_line_limit) {
        new_line();
        append(" ", 1);  // the continuation starts like any first item on a line
      }
      append(glyph, w);
    }
    after_number_ = false;
  }

  std::vector<std::string> finish() {
    if (!current_.empty() || lines_.empty()) lines_.push_back(current_.empty() ? " " : current_);
    return std::move(lines_);
  }

 private:
  void append(std::string_view utf8, int width) {
    current_ += utf8;
    width_ += width;
  }
  void new_line() {
    lines_.push_back(std::move(current_));
    current_.clear();
    width_ = 0;
    after_number_ = false;
  }

  std::vector<std::string> lines_;
  std::string current_;
  int width_ = 0;  // Shift-JIS bytes of current_
  bool after_number_ = false;
};

}  // namespace

std::size_t sjis_width(std::string_view utf8) {
  std::size_t width = 0;
  GlyphWalker walker(utf8);
  std::string_view glyph;
  std::string sjis;
  while (walker.next(glyph, sjis)) width += static_cast<std::size_t>(glyph_width(sjis));
  return width;
}

std::string to_sjis(std::string_view utf8) {
  std::string converted;
  GlyphWalker walker(utf8);
  std::string_view glyph;
  std::string sjis;
  while (walker.next(glyph, sjis)) converted += sjis.empty() ? std::string("?") : sjis;
  return converted;
}

std::string format_integer(std::int32_t value, int width) {
  const std::string digits = std::to_string(value);
  const auto field = static_cast<std::size_t>(width);
  return digits.size() > field ? std::string(field, '*') : right_aligned(digits, field);
}

// Exponent notation with one digit before the point and seven after. The
// digits are those of the shortest decimal that reads back as the same
// single-precision number (0.05 shows as 5.0000000E-02, not with the binary
// noise of its eighth digit); only a number that needs nine digits for that
// is rounded to eight.
namespace {
std::string exponent_form(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string shortest(buffer, result.ptr);
  const std::size_t e = shortest.find('e');
  std::string mantissa = shortest.substr(0, e);
  const std::size_t point = mantissa.find('.');
  if (point == std::string::npos) mantissa += '.';
  const std::size_t decimals = point == std::string::npos ? 0 : mantissa.size() - point - 1;
  if (decimals <= 7) {
    mantissa.append(7 - decimals, '0');
  } else {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 7);
    shortest.assign(buffer, result.ptr);
    mantissa = shortest.substr(0, shortest.find('e'));
  }
  return mantissa + "E" + shortest.substr(shortest.find('e') + 1);
}
}  // namespace

// Fixed notation with 7 significant digits for magnitudes 0.1 <= |v| <
// 10,000,000 (after rounding to 7 digits), right-aligned in 11 characters
// and followed by 4 blanks; exponent notation with 8 digits otherwise.
std::string format_real(float value) {
  constexpr std::size_t width = real_field_width;
  if (std::isnan(value)) return right_aligned("NaN", width);
  if (std::isinf(value)) return right_aligned(value < 0 ? "-Infinity" : "Infinity", width);
  if (value == 0.0f) return right_aligned("0.0000000E+00", width);
  char buffer[64];
  const int exponent = decimal_exponent(value);
  if (exponent >= -1 && exponent <= 6) {
    const int decimals = 6 - exponent;
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string fixed(buffer, result.ptr);
    if (decimals == 0) fixed += '.';
    return right_aligned(fixed, width - 4) + "    ";
  }
  return right_aligned(exponent_form(value), width);
}

std::vector<std::string> format_statement(std::span<const Item> items) {
  LineBuilder builder;
  for (const Item& item : items) {
    const auto& value = item.value();
    if (const auto* text = std::get_if<std::string>(&value))
      builder.add_text(*text);
    else if (const auto* small = std::get_if<std::int16_t>(&value))
      builder.add_number(format_integer(*small, int16_field_width));
    else if (const auto* large = std::get_if<std::int32_t>(&value))
      builder.add_number(format_integer(*large, int32_field_width));
    else
      builder.add_number(format_real(std::get<float>(value)));
  }
  return builder.finish();
}

bool parse_whole_field(std::string_view typed, int width, std::int32_t& value) {
  const std::string field = without_blanks(text_field(typed, width));
  std::size_t position = 0;
  const std::string sign = take_sign(field, position);
  const std::string digits = take_digits(field, position);
  if (position != field.size()) return false;
  if (digits.empty()) {  // an all-blank field, or a sign alone
    value = 0;
    return true;
  }
  const std::optional<std::int32_t> number = parse_int32(sign + digits);
  if (number) value = *number;
  return number.has_value();
}

bool parse_real_field(std::string_view typed, int width, int implied_decimals, float& value) {
  const std::string field = without_blanks(text_field(typed, width));
  std::size_t position = 0;
  const std::string sign = take_sign(field, position);
  const std::string whole = take_digits(field, position);
  const bool has_point = position < field.size() && field[position] == '.';
  if (has_point) ++position;
  const std::string fraction = has_point ? take_digits(field, position) : "";
  if (position != field.size()) return false;
  if (whole.empty() && fraction.empty()) {  // blank, or only a sign or a point
    value = 0.0f;
    return true;
  }
  if (has_point)
    return decimal_to_float(sign + (whole.empty() ? "0" : whole) + "." + fraction + "0", value);
  return decimal_to_float(sign + whole + "e-" + std::to_string(implied_decimals), value);
}

std::string text_field(std::string_view typed, int width) { return fit_to_width(typed, width); }

std::string first_word(std::string_view typed, int length) {
  return fit_to_width(first_token(typed), length);
}

// Sign, digits with an optional point (at least one digit), and an optional
// exponent introduced by E or D in either case.
bool parse_free_real(std::string_view typed, float& value) {
  const std::string_view token = first_token(typed);
  std::size_t position = 0;
  const std::string sign = take_sign(token, position);
  const std::string whole = take_digits(token, position);
  std::string fraction;
  if (position < token.size() && token[position] == '.') {
    ++position;
    fraction = take_digits(token, position);
  }
  if (whole.empty() && fraction.empty()) return false;
  std::string exponent;
  if (position < token.size() &&
      std::string_view("EeDd").find(token[position]) != std::string_view::npos) {
    ++position;
    const std::string exponent_sign = take_sign(token, position);
    const std::string exponent_digits = take_digits(token, position);
    if (exponent_digits.empty()) return false;
    exponent = "e" + exponent_sign + exponent_digits;
  }
  if (position != token.size()) return false;
  const std::string decimal =
      sign + (whole.empty() ? "0" : whole) + "." + fraction + "0" + exponent;
  return decimal_to_float(decimal, value);
}

}  // namespace ba

#pragma once
// The text form of every line the program writes and the two ways it takes
// typed answers apart. Widths count bytes of the program's character
// encoding, Shift-JIS (code page 932): a Japanese character or an ideographic
// space takes two bytes. Program texts are kept as UTF-8 and converted with
// iconv only to measure them and to write files.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ba {

// One item of an output statement.
class Item {
 public:
  Item(const char* text) : value_(std::string(text)) {}
  Item(std::string text) : value_(std::move(text)) {}
  Item(std::int16_t value) : value_(value) {}
  Item(std::int32_t value) : value_(value) {}
  Item(float value) : value_(value) {}
  // Guard against a double or 64-bit integer slipping into a statement.
  Item(double) = delete;
  Item(long) = delete;

  const std::variant<std::string, std::int16_t, std::int32_t, float>& value() const {
    return value_;
  }

 private:
  std::variant<std::string, std::int16_t, std::int32_t, float> value_;
};

inline constexpr int file_line_limit = 80;  // bytes per line of a file
inline constexpr int int16_field_width = 7;
inline constexpr int int32_field_width = 12;
inline constexpr int real_field_width = 15;

// Shift-JIS byte count of a UTF-8 text. A character with no Shift-JIS form
// counts as two bytes.
std::size_t sjis_width(std::string_view utf8);
// UTF-8 -> Shift-JIS bytes; a character with no Shift-JIS form becomes '?'.
std::string to_sjis(std::string_view utf8);

std::string format_integer(std::int32_t value, int width);
std::string format_real(float value);  // the 15-character field

// The lines (UTF-8, without line ends) that one output statement occupies.
std::vector<std::string> format_statement(std::span<const Item> items);

// Fixed fields: only the first `width` Shift-JIS bytes of the typed line
// count. Each returns false when the field is not a number of its kind.
bool parse_whole_field(std::string_view typed, int width, std::int32_t& value);
bool parse_real_field(std::string_view typed, int width, int implied_decimals, float& value);
std::string text_field(std::string_view typed, int width);  // blank-padded

// Free form: the first word, blank-padded or cut to `length` bytes (an empty
// line gives a blank word); the first number on the line.
std::string first_word(std::string_view typed, int length);
bool parse_free_real(std::string_view typed, float& value);

}  // namespace ba

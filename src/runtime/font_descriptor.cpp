#include "runtime/font_descriptor.h"

#include <cctype>
#include <cstddef>

namespace ba {

namespace {

// Reads the digits at `pos` (at least one, at most four) into `value`.
bool read_size(const std::string& text, std::size_t& pos, int& value) {
  std::size_t start = pos;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
         pos - start < 4) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos > start &&
         (pos == text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])));
}

}  // namespace

std::optional<FontRequest> parse_font_descriptor(const std::string& descriptor) {
  if (descriptor.size() < 3 || descriptor[0] != 't' || descriptor[1] != '\'') return std::nullopt;
  std::size_t close = descriptor.find('\'', 2);
  if (close == std::string::npos || close == 2) return std::nullopt;
  FontRequest request;
  request.face = descriptor.substr(2, close - 2);
  std::size_t pos = close + 1;
  while (pos < descriptor.size()) {
    char option = static_cast<char>(std::tolower(static_cast<unsigned char>(descriptor[pos++])));
    if (option == 'h' || option == 'w') {
      if (!read_size(descriptor, pos, option == 'h' ? request.height : request.width))
        return std::nullopt;
    } else if (!std::isalpha(static_cast<unsigned char>(option))) {
      return std::nullopt;
    }
  }
  return request;
}

}  // namespace ba

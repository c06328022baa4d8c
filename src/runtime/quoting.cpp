#include "runtime/quoting.h"

#include <cstdint>

namespace ba {

namespace {

// Length in bytes of the valid UTF-8 character at the start of `bytes` and
// its code point, or 0 when the bytes there do not form one.
std::size_t utf8_character(std::string_view bytes, char32_t& code_point) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t minimum = 0;  // the smallest code point of that length: shorter forms are overlong
  if (lead < 0x80) {
    code_point = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, code_point = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, code_point = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, code_point = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(i) & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF) return 0;
  if (code_point >= 0xD800 && code_point <= 0xDFFF) return 0;  // UTF-16 surrogates
  return length;
}

bool is_control(char32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F);
}

void append_octal(std::string& out, unsigned char byte) {
  out += '\\';
  out += static_cast<char>('0' + (byte >> 6));
  out += static_cast<char>('0' + ((byte >> 3) & 7));
  out += static_cast<char>('0' + (byte & 7));
}

// The short C escape of a control character, or 0 when it has none.
char short_escape(char32_t code_point) {
  switch (code_point) {
    case '\a':
      return 'a';
    case '\b':
      return 'b';
    case '\f':
      return 'f';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case '\t':
      return 't';
    case '\v':
      return 'v';
    default:
      return 0;
  }
}

}  // namespace

std::string quote(std::string_view bytes) {
  std::string out = "'";
  while (!bytes.empty()) {
    char32_t code_point = 0;
    const std::size_t length = utf8_character(bytes, code_point);
    if (length == 0) {
      append_octal(out, static_cast<unsigned char>(bytes[0]));
      bytes.remove_prefix(1);
      continue;
    }
    if (code_point == '\'' || code_point == '\\') {
      out += '\\';
      out += static_cast<char>(code_point);
    } else if (const char letter = short_escape(code_point)) {
      out += '\\';
      out += letter;
    } else if (is_control(code_point)) {
      for (std::size_t i = 0; i < length; ++i)
        append_octal(out, static_cast<unsigned char>(bytes[i]));
    } else {
      out.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  return out + "'";
}

std::string quote_word(std::string_view word, std::size_t longest) {
  if (word.size() <= longest) return quote(word);
  return quote(word.substr(0, longest)) + "...";
}

bool is_clean_text(std::string_view bytes) {
  while (!bytes.empty()) {
    char32_t code_point = 0;
    const std::size_t length = utf8_character(bytes, code_point);
    if (length == 0 || is_control(code_point)) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

}  // namespace ba

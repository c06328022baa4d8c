#pragma once
// The lines of a text file one at a time, numbered from 1 for messages. A
// line ends at LF, with or without a CR before it; neither is part of the
// line. A text that does not end in a line end still has its last line.

#include <optional>
#include <string_view>

namespace ba {

class TextLines {
 public:
  explicit TextLines(std::string_view text) : rest_(text) {}

  // The next line, or nothing at the end of the text.
  std::optional<std::string_view> next() {
    if (rest_.empty()) return std::nullopt;
    ++number_;
    const std::size_t end = rest_.find('\n');
    std::string_view line = rest_.substr(0, end);
    rest_ = end == std::string_view::npos ? std::string_view{} : rest_.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }
  // The number of the line last returned (0 before the first).
  long number() const { return number_; }

 private:
  std::string_view rest_;
  long number_ = 0;
};

}  // namespace ba

#pragma once
// Numbers and words from text: the one set of rules every reader of typed
// options, CSV tables, result files, logs and headers uses.
//
// A number is ASCII: an optional sign ('+' or '-'), then digits (for a real
// also a point and an exponent), nothing else: no blanks, no "inf", no "nan",
// no hexadecimal. A real must be finite; a whole number must fit its type.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace ba {

std::optional<double> parse_real(std::string_view text);
std::optional<float> parse_float(std::string_view text);
std::optional<std::int32_t> parse_int32(std::string_view text);
std::optional<std::int64_t> parse_int64(std::string_view text);

// `text` without the blanks (space, tab, CR, LF) at either end.
std::string_view trimmed(std::string_view text);
// `text` with A-Z turned to a-z; every other byte as it is.
std::string ascii_lower(std::string_view text);

// The fields of one line of a CSV table, each without the blanks around it.
// A field may be quoted ("a, b" and "say ""x""" hold a comma and a quote);
// an unclosed quote or text after a closing one gives the reason instead.
std::variant<std::vector<std::string>, std::string> csv_fields(std::string_view line);
// A field as a CSV table holds it so that csv_fields gives it back: quoted,
// its quotes doubled, when it holds a comma, quote or line end or starts or
// ends with a blank.
std::string csv_quoted(std::string_view field);

// A fault at a line of a text file (1-based), or at line 0 for the file as a
// whole.
struct LineFault {
  int line = 0;
  std::string reason;
};

// "FILE:LINE: reason" (or "FILE: reason" for line 0): the one form in which
// every verb names a fault in a file it reads.
std::string describe_fault(std::string_view file, const LineFault& fault);

}  // namespace ba

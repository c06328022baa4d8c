#pragma once
// Typed text as messages show it. A typed line can hold anything: a NUL, an
// escape sequence that would act on the terminal, bytes that are not UTF-8.
// Messages quote it the way GNU tools quote a name, so every byte is visible
// and none reaches the terminal raw.

#include <string>
#include <string_view>

namespace ba {

// The text between single quotes. Printable UTF-8 characters stay as they
// are; control characters (C0, DEL and C1), bytes that are not part of a
// valid UTF-8 character, the quote and the backslash become C escapes
// (\n, \t, \', \\ or a three-digit octal byte such as \033).
std::string quote(std::string_view bytes);
// The same for a word of a file that may be long: only its first `longest`
// bytes, followed by "..." when it was cut.
std::string quote_word(std::string_view word, std::size_t longest = 20);

// True when the text is valid UTF-8 (no overlong forms, no surrogates) and
// holds no control character of either set (below 0x20, 0x7F, U+0080..U+009F).
bool is_clean_text(std::string_view bytes);

}  // namespace ba

#pragma once
// SHA-256 digests of byte strings, as lower-case hex.

#include <string>
#include <string_view>

namespace ba {

// The digest of `bytes` as 64 lower-case hex digits.
std::string sha256_hex(std::string_view bytes);

}  // namespace ba

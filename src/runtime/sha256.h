#pragma once
// SHA-256 digests of byte strings, as lower-case hex (a file's digest is
// the file layer's: FileOps::digest).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ba {

class Sha256 {
 public:
  // `hardware`: use the processor's SHA instructions when it has them;
  // false keeps to the portable rounds (both give the same digest).
  explicit Sha256(bool hardware = true);
  void add(std::string_view bytes);
  // The digest of everything added, as 64 lower-case hex digits; the object
  // is used up afterwards.
  std::string hex_digest();

 private:
  void compress(const unsigned char* blocks, std::size_t count);

  std::array<std::uint32_t, 8> state_;
  std::array<unsigned char, 64> pending_{};
  std::size_t pending_size_ = 0;
  std::uint64_t total_bytes_ = 0;
  bool hardware_ = false;
};

std::string sha256_hex(std::string_view bytes);

struct FileDigest {
  std::uint64_t size = 0;  // bytes
  std::string sha256;      // hex
};

// True for 64 lower-case hex digits.
bool is_sha256_hex(std::string_view text);

}  // namespace ba

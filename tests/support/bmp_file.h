#pragma once
// A BMP file read back from its bytes: the header fields and the pixels of
// an uncompressed 24-bit image.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ba::test {

struct BmpFile {
  explicit BmpFile(std::string file_bytes) : bytes(std::move(file_bytes)) {
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return;
    pixels_at = field(10, 4);
    width = static_cast<int>(field(18, 4));
    height = static_cast<int>(field(22, 4));  // rows are stored bottom-up
    bits = static_cast<int>(field(28, 2));
    compression = field(30, 4);
  }

  // The little-endian unsigned field of `size` bytes at byte `at`.
  std::uint32_t field(std::size_t at, int size) const {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
  }
  // Bytes of one stored row: 3 a pixel, padded to a multiple of 4.
  std::size_t row_bytes() const { return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4; }
  // Colour (red in the lowest byte) of image pixel (x, y), origin top left.
  std::uint32_t pixel(int x, int y) const {
    const std::size_t at = pixels_at + row_bytes() * static_cast<std::size_t>(height - 1 - y) +
                           3 * static_cast<std::size_t>(x);
    return static_cast<unsigned char>(bytes[at + 2]) |
           static_cast<unsigned char>(bytes[at + 1]) << 8 |
           static_cast<unsigned char>(bytes[at]) << 16;
  }

  std::string bytes;
  std::size_t pixels_at = 0;  // byte offset of the first (bottom) row
  int width = 0, height = 0, bits = 0;
  std::uint32_t compression = 0;
};

}  // namespace ba::test

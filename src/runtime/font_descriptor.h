#pragma once
// Font descriptors as the program names its fonts: t'face'hHwW, for example
// "t'Times New Roman'h24w10" (typeface Times New Roman, 24 pixels high,
// characters 10 pixels wide on average).

#include <optional>
#include <string>

namespace ba {

struct FontRequest {
  std::string face;
  int height = 0;  // pixels; 0 = the typeface's own default
  int width = 0;   // average character width in pixels; 0 = the typeface's own
};

// The typeface and sizes of a descriptor, or nothing when it is not of the
// form t'face' followed by any of hN and wN (other one-letter options, such
// as b for bold, are accepted and ignored).
std::optional<FontRequest> parse_font_descriptor(const std::string& descriptor);

}  // namespace ba

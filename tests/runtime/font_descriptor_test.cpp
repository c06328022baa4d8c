#include "runtime/font_descriptor.h"

#include <gtest/gtest.h>

namespace ba {
namespace {

struct DescriptorCase {
  const char* descriptor;
  bool valid;
  const char* face;
  int height;
  int width;
};

TEST(FontDescriptor, ReadsFaceHeightAndWidth) {
  const DescriptorCase cases[] = {
      {"t'Times New Roman'h24w10", true, "Times New Roman", 24, 10},
      {"t'Times New Roman'h12w5", true, "Times New Roman", 12, 5},
      {"t'Arial'w7h30", true, "Arial", 30, 7},                         // any order
      {"t'Courier'", true, "Courier", 0, 0},                           // sizes left to the typeface
      {"t'Times New Roman'h24bw10", true, "Times New Roman", 24, 10},  // b for bold is skipped
      {"t'Times'H20W8", true, "Times", 20, 8},
      {"Times New Roman", false, "", 0, 0},  // no t'...'
      {"t'Times", false, "", 0, 0},          // unclosed face
      {"t''h24", false, "", 0, 0},           // empty face
      {"t'Times'h", false, "", 0, 0},        // height without digits
      {"t'Times'h24w", false, "", 0, 0},
      {"t'Times'h99999", false, "", 0, 0},   // absurd size
      {"t'Times'h24 w10", false, "", 0, 0},  // stray blank
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.descriptor);
    std::optional<FontRequest> request = parse_font_descriptor(c.descriptor);
    ASSERT_EQ(request.has_value(), c.valid);
    if (!request) continue;
    EXPECT_EQ(request->face, c.face);
    EXPECT_EQ(request->height, c.height);
    EXPECT_EQ(request->width, c.width);
  }
}

}  // namespace
}  // namespace ba

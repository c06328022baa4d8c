// Lead layout CSV files: any bytes either give a fault with a line inside
// the text or a layout a map can be interpolated over and pictured, with
// everything of the map inside its area.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "map/field.h"
#include "map/isolines.h"
#include "map/layout.h"
#include "map/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ba::LayoutText parsed = ba::parse_layout(text);
  if (const auto* fault = std::get_if<ba::LayoutFault>(&parsed)) {
    if (fault->line < 0 || fault->reason.empty()) __builtin_trap();
    return 0;
  }
  const ba::LeadLayout& layout = std::get<ba::LeadLayout>(parsed);
  // Values from the layout itself, so that the spline sees every shape.
  ba::LeadValues values;
  for (int n = 1; n <= ba::lead_point_count; ++n)
    values(n) = layout.leads(n).x - 2 * layout.leads(n).y + (n % 7);
  const ba::SampledField field = ba::sample_field(layout, values, 9, 7);
  for (const ba::Isoline& line : ba::trace_isolines(field, values(1)))
    if (line.points.empty()) __builtin_trap();
  ba::MapPage page;
  page.layout = layout;
  page.frames = {{"", values}};
  const ba::MapPicture picture = ba::compose_picture(page, 240, 180, ba::MapDrawOptions{});
  for (const ba::MapPanel& panel : picture.panels) {
    if (!panel.clip.holds(panel.field.box)) __builtin_trap();
    for (const ba::PageText& label : panel.labels)
      if (!panel.clip.holds(label.box)) __builtin_trap();
  }
  return 0;
}

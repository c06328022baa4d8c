// The drawn map: the field's colour at every electrode is the colour scale's
// colour of that electrode's value, on the default grid and on an irregular
// layout.

#include "platform/map_drawing.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>

namespace ba {
namespace {

// Leads on a sheared, unevenly spaced 8 x 8 arrangement: not the regular
// grid, so the thin-plate spline draws it.
LeadLayout irregular_layout() {
  LeadLayout layout;
  for (int n = 1; n <= lead_point_count; ++n) {
    const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
    layout.leads(n).x = column * 1.5 + (column % 3) * 0.4 + row * 0.4;
    layout.leads(n).y = row * 1.7 + (column % 2) * 0.5;
    layout.leads(n).listed = true;
  }
  return layout;
}

// A saddle with a bump, so that no two neighbouring leads share a colour.
LeadValues curved_values() {
  LeadValues values;
  for (int n = 1; n <= lead_point_count; ++n) {
    const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
    values(n) = (column - 3.5) * (row - 3.5) * 3 + (n % 5) * 4 - 8;
  }
  return values;
}

TEST(MapDrawing, FieldAtEachElectrodeHasTheScaleColourOfItsValue) {
  struct Row {
    const char* label;
    LeadLayout layout;
    QSize size;
  };
  const Row rows[] = {{"default grid, 800x600", default_layout(), {800, 600}},
                      {"irregular layout, 640x900", irregular_layout(), {640, 900}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MapPage page;
    page.layout = row.layout;
    page.frames = {{"", curved_values()}};
    page.limit = 40;
    page.step = 5;
    MapDrawOptions bare;
    bare.overlays = false;  // electrode dots would cover the pixels looked at
    const QImage image = map_image(page, row.size, bare);
    const MapPlacement placement = map_placement(page, row.size);
    for (int n = 1; n <= lead_point_count; ++n) {
      const Electrode& e = row.layout.leads(n);
      const QPointF at = placement.to_pixel(e.x, e.y);
      const QRgb seen = image.pixel(static_cast<int>(at.x()), static_cast<int>(at.y()));
      const std::uint32_t wanted = scale_colour(page.frames[0].values(n), page.limit);
      // Half a pixel from the electrode the field has moved a little; a
      // neighbouring lead's value would be tens of levels off.
      const int off = std::abs(qRed(seen) - static_cast<int>(wanted & 0xff)) +
                      std::abs(qGreen(seen) - static_cast<int>((wanted >> 8) & 0xff)) +
                      std::abs(qBlue(seen) - static_cast<int>((wanted >> 16) & 0xff));
      EXPECT_LE(off, 12) << "lead " << n << " at " << at.x() << ", " << at.y();
    }
  }
}

}  // namespace
}  // namespace ba

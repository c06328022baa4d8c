#pragma once
// Drawing a map page (map/page.h) with Qt: into an image, or into an SVG or
// PDF file. The field is painted pixel by pixel from the interpolated
// lattice; isolines, electrodes, marks and the colour bar are vector
// drawing on top, so SVG and PDF keep them sharp.

#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <optional>
#include <string>

#include "map/field.h"
#include "map/page.h"

namespace ba {

inline const QSize default_map_size(800, 600);  // pixels

struct MapDrawOptions {
  bool lead_labels = true;  // lead numbers (or layout labels) beside the dots
  // Isolines, electrodes, extreme marks; off only to look at the bare field.
  bool overlays = true;
};

// Where the usable bounds of the layout land in a pixel rectangle: the same
// scale on both axes, centred.
struct MapPlacement {
  QRectF area;  // the bounds in pixels
  MapBounds bounds;
  double pixels_per_unit = 1;
  QPointF to_pixel(double x, double y) const {
    return {area.left() + (x - bounds.left) * pixels_per_unit,
            area.top() + (y - bounds.top) * pixels_per_unit};
  }
};

// The placement of a single map on a page of `size` pixels; for a sheet,
// that of frame `index`.
MapPlacement map_placement(const MapPage& page, QSize size, std::size_t index = 0);

// Paints the whole page: title, map or sheet, colour bar.
void paint_map_page(QPainter& painter, QSize size, const MapPage& page,
                    const MapDrawOptions& options);
QImage map_image(const MapPage& page, QSize size, const MapDrawOptions& options);

// Writes the page to `host_path` as PNG, SVG or PDF by its extension (any
// case), through a temporary file in the same folder renamed into place, so
// that a failure leaves no partial file. Returns an error text on failure.
std::optional<std::string> save_map_file(const std::string& host_path, const MapPage& page,
                                         QSize size, const MapDrawOptions& options);
// Whether save_map_file knows the extension of `host_path`.
bool map_file_type_known(const std::string& host_path);

}  // namespace ba

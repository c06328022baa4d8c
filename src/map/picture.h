#pragma once
// The whole map picture as a description in page units (one unit is one
// pixel of a PNG, one point of a PDF): the field as a raster, isolines with
// their levels and weights, electrodes and their labels, the extremes, the
// colour bar with its ticks, the title and the captions. A painter only
// draws what is listed here, in the order listed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "map/field.h"
#include "map/page.h"

namespace ba {

struct PagePoint {
  double x = 0;
  double y = 0;
};

struct PageBox {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
  // `other` lies wholly inside, with a tolerance of `slack`.
  bool holds(const PageBox& other, double slack = 1e-6) const;
  bool overlaps(const PageBox& other) const;
};

// Red, green, blue and opacity, each 0..255.
struct Ink {
  int red = 0;
  int green = 0;
  int blue = 0;
  int alpha = 255;
  bool operator==(const Ink&) const = default;
};
Ink ink_of(std::uint32_t packed);  // a runtime rgb() value, opaque

enum class TextAlign { left, centre, right };

// Text in a box (Liberation Sans), drawn in the box and vertically centred;
// with a backdrop, a rounded box of that ink is filled behind it first.
struct PageText {
  std::string text;
  PageBox box;
  double size = 12;  // pixel height of the font
  bool bold = false;
  TextAlign align = TextAlign::left;
  Ink ink;
  std::optional<Ink> backdrop;
};

struct PageLine {
  std::vector<PagePoint> points;
  bool closed = false;  // the last point joins the first
  double width = 1;
  Ink ink;
};

struct PageIsoline {
  double level = 0;
  bool heavy = false;
  PageLine line;
};

struct PageDot {
  PagePoint at;
  double radius = 1;
  std::optional<Ink> fill;
  std::optional<Ink> outline;
  double outline_width = 1;
};

// A ringed + (maximum) or - (minimum).
struct PageMark {
  PagePoint at;
  double radius = 7;
  bool maximum = true;
  Ink ink;
};

// Pixels 0xAARRGGBB row after row; alpha 0 where nothing is known.
struct FieldRaster {
  PageBox box;  // whole pixels
  int columns = 0;
  int rows = 0;
  std::vector<std::uint32_t> pixels;
};

// One map: everything in it is clipped to `clip`.
struct MapPanel {
  PageBox clip;
  FieldRaster field;
  PageLine hull;
  std::vector<PageIsoline> isolines;
  std::vector<PageDot> electrodes;
  std::vector<PageMark> marks;
  std::vector<PageText> labels;  // lead labels, then the extremes' values
};

struct BarTick {
  double value = 0;
  double y = 0;        // page units
  bool heavy = false;  // the value of a heavy isoline on the map
  PageText label;
};

// A filled polygon.
struct PageShape {
  std::vector<PagePoint> points;
  Ink fill;
  Ink outline;
};

struct ColourBar {
  PageBox box;
  // Colours from the bottom (0) to the top (1) of the bar.
  std::vector<std::pair<double, Ink>> stops;
  std::vector<BarTick> ticks;
  PageText unit;
  // On a fixed scale values beyond its ends take the end colours: a pointed
  // cap below and above the bar in those colours says so.
  std::vector<PageShape> caps;
};

struct MapPicture {
  double width = 0;
  double height = 0;
  std::string name;  // the document's title for SVG and PDF
  PageText title;
  std::vector<MapPanel> panels;
  std::vector<PageText> captions;  // above each map of a sheet, or the line under one map
  ColourBar bar;
};

// A generous width of `text` in Liberation Sans of pixel height `size`:
// 0.6 em a character, a whole em for a wide (CJK) one.
double text_width(const std::string& text, double size);

// The pixel size of a map picture unless another is chosen.
inline constexpr int default_map_width = 800;
inline constexpr int default_map_height = 600;

// Whether a map can be saved under `host_path`: its file name ends in .png,
// .svg or .pdf, in any case.
bool map_file_type_known(const std::string& host_path);

struct MapDrawOptions {
  bool lead_labels = true;  // lead numbers (or layout labels) beside the dots
  // Isolines, electrodes, extreme marks; off only to look at the bare field.
  bool overlays = true;
};

// Where the usable bounds of the layout land in page units: the same scale
// on both axes, centred.
struct MapPlacement {
  PageBox area;  // the bounds in page units
  MapBounds bounds;
  double per_unit = 1;  // page units per layout unit
  PagePoint to_page(double x, double y) const {
    return {area.left + (x - bounds.left) * per_unit, area.top + (y - bounds.top) * per_unit};
  }
};

// The placement of a single map on a page of width x height; for a sheet,
// that of frame `index`.
MapPlacement map_placement(const MapPage& page, double width, double height, std::size_t index = 0);

// How many small maps a sheet of width x height shows legibly.
std::size_t sheet_capacity(double width, double height);

// The whole picture of `page` on a page of width x height.
MapPicture compose_picture(const MapPage& page, double width, double height,
                           const MapDrawOptions& options, const Wording& wording = {});

}  // namespace ba

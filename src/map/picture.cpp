#include "map/picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "map/field.h"
#include "map/isolines.h"
#include "runtime/text_kit.h"

namespace ba {

bool PageBox::holds(const PageBox& other, double slack) const {
  return other.left >= left - slack && other.top >= top - slack &&
         other.right() <= right() + slack && other.bottom() <= bottom() + slack;
}

bool PageBox::overlaps(const PageBox& other) const {
  return other.left < right() && left < other.right() && other.top < bottom() &&
         top < other.bottom();
}

Ink ink_of(std::uint32_t packed) {
  return {static_cast<int>(packed & 0xff), static_cast<int>((packed >> 8) & 0xff),
          static_cast<int>((packed >> 16) & 0xff), 255};
}

namespace {

// Page layout, page units.
constexpr double margin = 12;
constexpr double title_height = 30;
constexpr double legend_height = 24;  // the line under a single map
constexpr double bar_band = 104;      // the colour bar and its labels
constexpr double bar_width = 18;
constexpr double map_padding = 24;     // room for lead labels and marks
constexpr double caption_height = 13;  // above each map of a sheet
constexpr double cell_padding = 3;
constexpr double lattice_spacing = 3;  // page units between interpolated points
constexpr int most_bar_labels = 11;
// The smallest sheet cell whose caption and map stay legible.
constexpr double smallest_cell_width = 72;
constexpr double smallest_cell_height = 60;
constexpr double label_font = 9;
constexpr double extreme_font = 11;
constexpr double ring = 7;  // radius of an extreme's mark on a single map

const Ink ink{30, 30, 30};
const Ink light_ink{255, 255, 255};
// Opaque: a PDF strokes a translucent line as a filled outline, many times
// the size.
const Ink isoline_ink{70, 70, 70};
const Ink heavy_ink{0, 0, 0};
const Ink hull_ink{120, 120, 120};
const Ink backdrop{255, 255, 255, 215};
const Ink max_ink{120, 0, 20};
const Ink min_ink{0, 40, 110};

}  // namespace

double text_width(const std::string& text, double size) {
  double ems = 0;
  for (std::size_t k = 0; k < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    const std::size_t length = c < 0x80 ? 1 : c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
    ems += length >= 3 ? 1.0 : 0.6;
    k += length;
  }
  return ems * size;
}

namespace {

// `preferred`, or smaller so that `text` fits `width`.
double size_to_fit(const std::string& text, double width, double preferred) {
  const double needed = text_width(text, 1);
  return needed > 0 ? std::clamp(width / needed, 1.0, preferred) : preferred;
}

// `box` moved the least to lie inside `room`, and cut to its size when
// larger (what text does not fit is cut off).
PageBox kept_inside(PageBox box, const PageBox& room) {
  box.width = std::min(box.width, room.width);
  box.height = std::min(box.height, room.height);
  box.left = std::max(room.left, std::min(box.left, room.right() - box.width));
  box.top = std::max(room.top, std::min(box.top, room.bottom() - box.height));
  return box;
}

bool is_sheet(const MapPage& page) { return page.sheet && !page.frames.empty(); }

PageBox maps_region(bool sheet, double width, double height) {
  const double bottom = sheet ? margin : margin + legend_height;
  return {margin, margin + title_height, width - 2 * margin - bar_band,
          height - margin - title_height - bottom};
}

PageBox shrunk(const PageBox& box, double left, double top, double right, double bottom) {
  return {box.left + left, box.top + top, box.width - left - right, box.height - top - bottom};
}

MapPlacement fitted(const MapBounds& bounds, const PageBox& room) {
  MapPlacement placement;
  placement.bounds = bounds;
  placement.per_unit =
      std::max(1e-6, std::min(room.width / bounds.width(), room.height / bounds.height()));
  const double w = bounds.width() * placement.per_unit;
  const double h = bounds.height() * placement.per_unit;
  placement.area = {room.left + (room.width - w) / 2, room.top + (room.height - h) / 2, w, h};
  return placement;
}

// The cells of a sheet: the arrangement that gives the largest maps among
// those whose cells stay legible (any, when none does).
struct SheetGrid {
  PageBox region;
  int columns = 1;
  double cell_width = 0;
  double cell_height = 0;

  SheetGrid(const MapBounds& bounds, const PageBox& room, std::size_t count) : region(room) {
    const int most_columns = std::max(1, static_cast<int>(room.width / smallest_cell_width));
    const int most_rows = std::max(1, static_cast<int>(room.height / smallest_cell_height));
    double best = -1;
    bool best_legible = false;
    for (int c = 1; c <= static_cast<int>(std::max<std::size_t>(count, 1)); ++c) {
      const int rows = static_cast<int>((count + c - 1) / c);
      const double w = room.width / c - 2 * cell_padding;
      const double h = room.height / rows - caption_height - 2 * cell_padding;
      const double scale = std::min(w / bounds.width(), h / bounds.height());
      const bool legible = c <= most_columns && rows <= most_rows;
      if ((legible && !best_legible) || (legible == best_legible && scale > best)) {
        best = scale;
        best_legible = legible;
        columns = c;
      }
      if (c > most_columns && best_legible) break;  // wider ones are not legible
    }
    const int rows = static_cast<int>((count + columns - 1) / columns);
    cell_width = room.width / columns;
    cell_height = room.height / std::max(rows, 1);
  }

  PageBox cell(std::size_t index) const {
    return {region.left + static_cast<double>(index % columns) * cell_width,
            region.top + static_cast<double>(index / columns) * cell_height, cell_width,
            cell_height};
  }
};

MapPlacement cell_placement(const MapBounds& bounds, const PageBox& cell) {
  // Room all round for the marks of the extremes.
  const double inset = cell_padding + 2;
  return fitted(bounds, shrunk(cell, inset, cell_padding + caption_height + 2, inset, inset));
}

// Colours of the page's scale, looked up instead of computed per pixel.
class ColourTable {
 public:
  explicit ColourTable(const MapPage& page) : bottom_(scale_bottom(page)), top_(page.limit) {
    for (std::size_t k = 0; k < table_.size(); ++k) {
      const Ink c = ink_of(page_colour(
          page, bottom_ + (top_ - bottom_) * static_cast<double>(k) / (table_.size() - 1)));
      table_[k] = 0xff000000u | static_cast<std::uint32_t>(c.red) << 16 |
                  static_cast<std::uint32_t>(c.green) << 8 | static_cast<std::uint32_t>(c.blue);
    }
  }
  std::uint32_t operator()(double value) const {
    double t = (value - bottom_) / (top_ - bottom_);
    if (!(t >= 0)) t = 0;  // NaN too
    if (t > 1) t = 1;
    return table_[static_cast<std::size_t>(t * (table_.size() - 1) + 0.5)];
  }

 private:
  double bottom_;
  double top_;
  std::array<std::uint32_t, 2049> table_{};
};

// A raster of transparent pixels over the map's area and one pixel more all
// round (electrodes on the border lie on pixel edges), within the clip;
// empty when they do not meet.
FieldRaster blank_raster(const PageBox& area, const PageBox& clip) {
  FieldRaster raster;
  const double left = std::floor(std::max(area.left - 1, clip.left));
  const double top = std::floor(std::max(area.top - 1, clip.top));
  const double right = std::ceil(std::min(area.right() + 1, clip.right()));
  const double bottom = std::ceil(std::min(area.bottom() + 1, clip.bottom()));
  if (!(right > left && bottom > top)) return raster;
  raster.box = {left, top, right - left, bottom - top};
  raster.columns = static_cast<int>(right - left);
  raster.rows = static_cast<int>(bottom - top);
  raster.pixels.assign(static_cast<std::size_t>(raster.columns) * raster.rows, 0);
  return raster;
}

// Where a pixel's centre falls between the lattice points, along one axis.
struct LatticeStep {
  double at;        // layout units
  int index;        // lattice point before it
  double fraction;  // toward the next
  bool beyond;      // before the first point or after the last
};

// `at` on an axis of `count` lattice points from `origin`, `spacing` apart.
LatticeStep lattice_step(double at, double origin, double spacing, int count) {
  const double raw = (at - origin) / spacing;
  const double u = std::clamp(raw, 0.0, count - 1.0);
  const int index = std::min(static_cast<int>(u), count - 2);
  return {at, index, u - index, u != raw};
}

// The weighted sum of the four lattice values around a pixel, and the sum of
// the weights of those that have one (1 inside the hull, less on its border).
struct Blend {
  double sum = 0;
  double weight = 0;
};

Blend blend(const float* upper, const float* lower, const LatticeStep& x, double fy) {
  const float c[4] = {upper[x.index], upper[x.index + 1], lower[x.index], lower[x.index + 1]};
  const double fx = x.fraction;
  const double w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
  Blend b;
  for (int k = 0; k < 4; ++k)
    if (!std::isnan(c[k])) {
      b.sum += w[k] * c[k];
      b.weight += w[k];
    }
  return b;
}

// The field of one map, bilinear between lattice points, inside the hull
// and the clip only.
FieldRaster field_raster(const MapPlacement& placement, const SampledField& field,
                         const std::vector<MapPoint>& hull, const ColourTable& colours,
                         const PageBox& clip) {
  FieldRaster raster = blank_raster(placement.area, clip);
  const double unit = 1 / placement.per_unit;
  std::vector<LatticeStep> across;
  for (int column = 0; column < raster.columns; ++column)
    across.push_back(lattice_step(
        placement.bounds.left + (raster.box.left + column + 0.5 - placement.area.left) * unit,
        field.left, field.dx, field.columns));
  for (int row = 0; row < raster.rows; ++row) {
    std::uint32_t* line = &raster.pixels[static_cast<std::size_t>(row) * raster.columns];
    const LatticeStep down = lattice_step(
        placement.bounds.top + (raster.box.top + row + 0.5 - placement.area.top) * unit, field.top,
        field.dy, field.rows);
    const float* upper = &field.values[static_cast<std::size_t>(down.index) * field.columns];
    const float* lower = upper + field.columns;
    for (int column = 0; column < raster.columns; ++column) {
      const LatticeStep& a = across[static_cast<std::size_t>(column)];
      const Blend b = blend(upper, lower, a, down.fraction);
      if (b.weight <= 0) continue;
      // A cell cut by the hull's border, or a pixel beyond the lattice: only
      // the pixels inside (or within a pixel of) the hull are painted.
      const bool beyond = a.beyond || down.beyond;
      if ((b.weight < 0.999999 || beyond) && !inside_hull(hull, {a.at, down.at}, 0.75 * unit))
        continue;
      line[column] = colours(b.sum / b.weight);
    }
  }
  return raster;
}

std::vector<PageIsoline> isolines(const MapPlacement& placement, const SampledField& field,
                                  const MapPage& page, double width) {
  std::vector<PageIsoline> drawn;
  if (!page.step) return drawn;
  float low = INFINITY, high = -INFINITY;
  for (float v : field.values)
    if (!std::isnan(v)) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  // Only inside the shown scale: beyond it the colour saturates, and a field
  // far outside it would otherwise need a line per step of its whole range.
  low = std::max(low, static_cast<float>(scale_bottom(page)));
  high = std::min(high, static_cast<float>(page.limit));
  if (!(low <= high)) return drawn;
  const double step = *page.step;
  for (double level : isoline_levels(low, high, step)) {
    // A sequential scale starts at its bottom: no line marks its floor.
    if (page.scale == ColourScale::sequential && level < scale_bottom(page) + step / 2) continue;
    const bool heavy = std::any_of(page.heavy_levels.begin(), page.heavy_levels.end(),
                                   [&](double h) { return std::abs(level - h) < step * 1e-6; });
    for (const Isoline& traced : trace_isolines(field, level)) {
      PageIsoline line;
      line.level = level;
      line.heavy = heavy;
      line.line.closed = traced.closed;
      line.line.width = heavy ? 2.4 * width : width;
      line.line.ink = heavy ? heavy_ink : isoline_ink;
      for (const MapPoint& p : traced.points)
        line.line.points.push_back(placement.to_page(p.x, p.y));
      drawn.push_back(std::move(line));
    }
  }
  return drawn;
}

// Dark ink on a light field, light ink on a dark one, judged by the field's
// colour under the middle of `box` (white where there is none).
Ink ink_against(const FieldRaster& raster, const PageBox& box) {
  const int column = static_cast<int>(std::floor(box.left + box.width / 2 - raster.box.left));
  const int row = static_cast<int>(std::floor(box.top + box.height / 2 - raster.box.top));
  if (column < 0 || row < 0 || column >= raster.columns || row >= raster.rows) return ink;
  const std::uint32_t p = raster.pixels[static_cast<std::size_t>(row) * raster.columns + column];
  if ((p >> 24) == 0) return ink;
  const double luminance =
      0.2126 * ((p >> 16) & 0xff) + 0.7152 * ((p >> 8) & 0xff) + 0.0722 * (p & 0xff);
  return luminance < 128 ? light_ink : ink;
}

PageText text_at(std::string text, PageBox box, double size, Ink colour,
                 TextAlign align = TextAlign::left, bool bold = false) {
  PageText t;
  t.text = std::move(text);
  t.box = box;
  t.size = size;
  t.ink = colour;
  t.align = align;
  t.bold = bold;
  return t;
}

struct Extremes {
  LeadExtremes found;
  bool shown = false;  // the map is not flat
};

// The text of lead n beside its dot.
std::string lead_text(const Electrode& e, int n) {
  return e.label.empty() ? std::to_string(n) : e.label;
}

// The box of lead n's number: up and to the right of its dot.
PageBox lead_label_box(const MapPanel& panel, PagePoint at, const std::string& text, double size) {
  const double w = text_width(text, size), h = size + 3;
  return kept_inside({at.x + 3.5, at.y - 3 - h, w, h}, panel.clip);
}

// How many of `taken` a box at `box` would cover.
int overlaps_with(const PageBox& box, const std::vector<PageBox>& taken) {
  int count = 0;
  for (const PageBox& other : taken) count += box.overlaps(other);
  return count;
}

// Where a box of w x h beside a ring at `at` covers the fewest of `taken`
// and lies inside the clip, the nearest such place on a tie: left or right
// of the ring at heights a quarter of the box apart, or centred above or
// below it (only the four corner places when `corners`).
PageBox clear_place(const MapPanel& panel, PagePoint at, double w, double h, double gap,
                    const std::vector<PageBox>& taken, bool corners = false) {
  std::vector<PageBox> candidates;
  if (corners) {
    candidates = {{at.x + gap, at.y - gap - h, w, h},
                  {at.x - gap - w, at.y - gap - h, w, h},
                  {at.x + gap, at.y + gap, w, h},
                  {at.x - gap - w, at.y + gap, w, h}};
  } else {
    for (int step = 0; step <= 12; ++step) {
      // 0, +1, -1, +2, -2, ... quarters of the box's height.
      const double dy = (step % 2 ? 1 : -1) * ((step + 1) / 2) * h / 4;
      candidates.push_back({at.x + gap, at.y - h / 2 + dy, w, h});
      candidates.push_back({at.x - gap - w, at.y - h / 2 + dy, w, h});
    }
    candidates.push_back({at.x - w / 2, at.y - gap - h, w, h});
    candidates.push_back({at.x - w / 2, at.y + gap, w, h});
  }
  PageBox best = kept_inside(candidates[0], panel.clip);
  double best_score = -1;
  for (const PageBox& candidate : candidates) {
    const PageBox box = kept_inside(candidate, panel.clip);
    // Moved back inside, a box may have slid onto the ring itself.
    const bool on_ring = box.left < at.x + gap && box.right() > at.x - gap &&
                         box.top < at.y + gap && box.bottom() > at.y - gap;
    const double moved = std::hypot(box.left - candidate.left, box.top - candidate.top);
    const double score = (overlaps_with(box, taken) + (on_ring ? 1000 : 0)) * 1e6 +
                         std::hypot(box.left + w / 2 - at.x, box.top + h / 2 - at.y) + moved;
    if (best_score < 0 || score < best_score) {
      best = box;
      best_score = score;
    }
  }
  return best;
}

// An extreme's value: a departure's in tenths of an SD, so that 2.6 is not
// read as 3 against the 2 and 3 SD bounds; any other to its isolines' step.
std::string extreme_value(const MapPage& page, double value) {
  if (page.kind == MapKind::departure) return format_value(value, 0.1);
  return format_value(value, page.step);
}

bool is_extreme(const Extremes& extremes, int n) {
  return extremes.shown && (n == extremes.found.max_lead || n == extremes.found.min_lead);
}

// A lead's dot: filled, or hollow and larger for a bad lead.
PageDot electrode_dot(PagePoint at, bool bad) {
  PageDot dot;
  dot.at = at;
  if (bad) {
    dot.radius = 3.5;
    dot.fill = Ink{255, 255, 255};
    dot.outline = ink;
    dot.outline_width = 1.2;
  } else {
    dot.radius = 2.2;
    dot.fill = ink;
  }
  return dot;
}

// A lead number to place beside its dot.
struct LeadLabel {
  int n;
  PagePoint at;
  std::string text;
  double size;
};

// Adds the dot of every listed lead to the panel; returns their numbers
// when `lead_labels` asks for them.
std::vector<LeadLabel> add_dots(MapPanel& panel, const MapPlacement& placement,
                                const LeadLayout& layout, bool lead_labels) {
  std::vector<LeadLabel> leads;
  for (int n = 1; n <= lead_point_count; ++n) {
    const Electrode& e = layout.leads(n);
    if (!e.listed) continue;
    const PagePoint at = placement.to_page(e.x, e.y);
    panel.electrodes.push_back(electrode_dot(at, e.bad));
    if (!lead_labels) continue;
    const std::string text = lead_text(e, n);
    leads.push_back({n, at, text, size_to_fit(text, panel.clip.width, label_font)});
  }
  return leads;
}

// Adds the rings of the two extremes, the maximum's first, to the panel and
// to `taken`.
void add_extreme_rings(MapPanel& panel, const MapPlacement& placement, const LeadLayout& layout,
                       const LeadExtremes& found, std::vector<PageBox>& taken) {
  for (bool maximum : {true, false}) {
    const Electrode& e = layout.leads(maximum ? found.max_lead : found.min_lead);
    const PagePoint at = placement.to_page(e.x, e.y);
    panel.marks.push_back({at, ring, maximum, maximum ? max_ink : min_ink});
    taken.push_back({at.x - ring, at.y - ring, 2 * ring, 2 * ring});
  }
}

// The values of the extremes beside their rings (the panel's first two
// marks), where they cover the fewest of `taken`, to which they are added.
std::vector<PageText> extreme_values(const MapPanel& panel, const MapPage& page,
                                     const LeadExtremes& found, const Wording& wording,
                                     std::vector<PageBox>& taken) {
  std::vector<PageText> values;
  for (bool maximum : {true, false}) {
    const int lead = maximum ? found.max_lead : found.min_lead;
    const double value = maximum ? found.max : found.min;
    const PagePoint at = panel.marks[maximum ? 0 : 1].at;
    const std::string text = worded(wording, maximum ? "max %1 (lead %2)" : "min %1 (lead %2)",
                                    {extreme_value(page, value), std::to_string(lead)});
    const double size = size_to_fit(text, panel.clip.width - 6, extreme_font);
    const PageBox box =
        clear_place(panel, at, text_width(text, size) + 6, size + 5, ring + 3, taken);
    PageText label = text_at(text, box, size, maximum ? max_ink : min_ink, TextAlign::centre, true);
    label.backdrop = backdrop;
    values.push_back(label);
    taken.push_back(box);
  }
  return values;
}

// Adds the lead numbers up and to the right of their dots, those of the
// extremes beside the ring where none of the `values` lies.
void add_lead_numbers(MapPanel& panel, const std::vector<LeadLabel>& leads,
                      const Extremes& extremes, const std::vector<PageText>& values) {
  for (const LeadLabel& lead : leads) {
    PageBox box = lead_label_box(panel, lead.at, lead.text, lead.size);
    if (is_extreme(extremes, lead.n)) {
      std::vector<PageBox> kept;
      for (const PageText& value : values) kept.push_back(value.box);
      box = clear_place(panel, lead.at, box.width, box.height, ring * 0.8, kept, true);
    }
    panel.labels.push_back(text_at(lead.text, box, lead.size, ink_against(panel.field, box)));
  }
}

// The dots, the extremes' marks and values, and the lead numbers of a single
// map. The values go where they cover no lead number and no mark; the
// numbers of the two extreme leads then where they cover no value.
void add_labels(MapPanel& panel, const MapPlacement& placement, const MapPage& page,
                const Extremes& extremes, bool lead_labels, const Wording& wording) {
  const std::vector<LeadLabel> leads = add_dots(panel, placement, page.layout, lead_labels);
  std::vector<PageBox> taken;  // lead numbers and marks, then values
  for (const LeadLabel& lead : leads)
    if (!is_extreme(extremes, lead.n))
      taken.push_back(lead_label_box(panel, lead.at, lead.text, lead.size));
  for (const PageDot& dot : panel.electrodes)
    taken.push_back({dot.at.x - dot.radius, dot.at.y - dot.radius, 2 * dot.radius, 2 * dot.radius});
  std::vector<PageText> values;
  if (extremes.shown) {
    add_extreme_rings(panel, placement, page.layout, extremes.found, taken);
    values = extreme_values(panel, page, extremes.found, wording, taken);
  }
  add_lead_numbers(panel, leads, extremes, values);
  panel.labels.insert(panel.labels.end(), values.begin(), values.end());
}

MapPanel compose_panel(const MapPlacement& placement, const PageBox& clip, const MapPage& page,
                       const MapFrame& frame, const MapDrawOptions& options, bool single,
                       const Wording& wording) {
  MapPanel panel;
  panel.clip = clip;
  const PageBox drawn = {
      std::max(placement.area.left, clip.left), std::max(placement.area.top, clip.top),
      std::min(placement.area.width, clip.width), std::min(placement.area.height, clip.height)};
  const int columns = std::max(8, static_cast<int>(drawn.width / lattice_spacing)) + 1;
  const int rows = std::max(8, static_cast<int>(drawn.height / lattice_spacing)) + 1;
  const SampledField field = sample_field(page.layout, frame.values, columns, rows);
  const std::vector<MapPoint> hull = usable_hull(page.layout);
  panel.field = field_raster(placement, field, hull, ColourTable(page), clip);
  if (!options.overlays) return panel;
  panel.hull.closed = true;
  panel.hull.width = 0.8;
  panel.hull.ink = hull_ink;
  for (const MapPoint& p : hull) panel.hull.points.push_back(placement.to_page(p.x, p.y));
  panel.isolines = isolines(placement, field, page, single ? 1.0 : 0.6);
  Extremes extremes{lead_extremes(page.layout, frame.values), false};
  extremes.shown = extremes.found.max != extremes.found.min;
  if (!single) {
    // A small map shows only where its extremes lie.
    if (!extremes.shown) return panel;
    for (bool maximum : {true, false}) {
      const Electrode& e =
          page.layout.leads(maximum ? extremes.found.max_lead : extremes.found.min_lead);
      panel.marks.push_back({placement.to_page(e.x, e.y),
                             std::clamp(placement.area.width / 22, 2.5, 7.0), maximum,
                             maximum ? max_ink : min_ink});
    }
    return panel;
  }
  add_labels(panel, placement, page, extremes, options.lead_labels, wording);
  return panel;
}

// Tick spacing on the bar: the isoline step, or a 1-2-5 multiple of it, so
// that at most 11 values are written.
double bar_tick(const MapPage& page) {
  const double range = page.limit - scale_bottom(page);
  const double base = page.step ? *page.step : range / 2;
  double factor = 1;
  for (int decade = 0; decade < 40; ++decade, factor *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (range / (base * m * factor) + 1 <= most_bar_labels + 1e-9) return base * m * factor;
  return range;  // only the ends
}

ColourBar colour_bar(const MapPage& page, double width, const PageBox& region) {
  ColourBar bar;
  const double x = width - margin - bar_band + 16;
  // Only a departure's scale is fixed whatever the values; any other reaches
  // the largest value.
  const bool clipped = page.kind == MapKind::departure;
  const double cap = clipped ? bar_width * 0.8 : 0;
  bar.box = {x, region.top + 22 + cap, bar_width, std::max(10.0, region.height - 32 - 2 * cap)};
  const double bottom = scale_bottom(page);
  if (clipped) {
    const double middle = x + bar_width / 2;
    const double top = bar.box.top, foot = bar.box.bottom();
    bar.caps.push_back({{{x, top}, {x + bar_width, top}, {middle, top - cap}},
                        ink_of(page_colour(page, page.limit)),
                        ink});
    bar.caps.push_back({{{x, foot}, {x + bar_width, foot}, {middle, foot + cap}},
                        ink_of(page_colour(page, bottom)),
                        ink});
  }
  for (int k = 0; k <= 10; ++k)
    bar.stops.push_back(
        {k / 10.0, ink_of(page_colour(page, bottom + (page.limit - bottom) * k / 10))});
  bar.unit = text_at(page.unit, {x - 16, region.top, bar_band, 18}, 12, ink, TextAlign::left, true);
  const double tick = bar_tick(page);
  // Only values within the scale: the last tick rounds inward.
  const double first = std::ceil(bottom / tick - 1e-9);
  const double last = std::floor(page.limit / tick + 1e-9);
  for (double k = first; k <= last; ++k) {
    BarTick t;
    t.value = k * tick;
    t.heavy = std::any_of(page.heavy_levels.begin(), page.heavy_levels.end(),
                          [&](double h) { return std::abs(t.value - h) < tick * 1e-6; });
    t.y = bar.box.bottom() - (t.value - bottom) / (page.limit - bottom) * bar.box.height;
    t.label = text_at(format_value(t.value, page.step),
                      {bar.box.right() + 10, t.y - 8, bar_band - bar_width - 26, 16}, 11, ink);
    bar.ticks.push_back(t);
  }
  return bar;
}

// The line under a single map: its extremes, and its isolines.
std::pair<std::string, std::string> legend_text(const MapPage& page, const Wording& wording) {
  const LeadExtremes found = lead_extremes(page.layout, page.frames[0].values);
  const std::string extremes =
      worded(wording, "max %1 at lead %2",
             {extreme_value(page, found.max), std::to_string(found.max_lead)}) +
      "    " +
      worded(wording, "min %1 at lead %2",
             {extreme_value(page, found.min), std::to_string(found.min_lead)});
  if (!page.step) return {extremes, worded(wording, "no isolines: the map is flat")};
  const std::string step = format_value(*page.step, page.step);
  if (page.kind == MapKind::departure)
    return {extremes,
            worded(wording, "isolines every %1 SD, the -2 and +2 SD lines heavier", {step})};
  if (page.scale == ColourScale::sequential && page.bottom)
    return {extremes, worded(wording, "isolines every %1 %2", {step, page.unit})};
  if (page.scale == ColourScale::sequential)
    return {extremes, worded(wording, "isolines every %1 %2 from 0", {step, page.unit})};
  return {extremes, worded(wording, "isolines every %1 %2, zero line heavier", {step, page.unit})};
}

// The legend on one line, or on two when one would need too small a font.
void add_legend(MapPicture& picture, const MapPage& page, const Wording& wording) {
  constexpr double smallest_font = 9;
  const auto [extremes, lines] = legend_text(page, wording);
  const PageBox box{margin, picture.height - margin - legend_height, picture.width - 2 * margin,
                    legend_height};
  const std::string whole = extremes + "    " + lines;
  const double size = size_to_fit(whole, box.width, 12);
  if (size >= smallest_font) {
    picture.captions.push_back(text_at(whole, box, size, ink, TextAlign::centre));
    return;
  }
  const double half = legend_height / 2;
  for (const auto& [text, top] : {std::pair{extremes, box.top}, std::pair{lines, box.top + half}})
    picture.captions.push_back(text_at(text, {box.left, top, box.width, half},
                                       size_to_fit(text, box.width, half - 1), ink,
                                       TextAlign::centre));
}

}  // namespace

MapPlacement map_placement(const MapPage& page, double width, double height, std::size_t index) {
  const MapBounds bounds = usable_bounds(page.layout);
  const PageBox region = maps_region(is_sheet(page), width, height);
  if (!is_sheet(page))
    return fitted(bounds, shrunk(region, map_padding, map_padding, map_padding, map_padding));
  return cell_placement(bounds, SheetGrid(bounds, region, page.frames.size()).cell(index));
}

std::size_t sheet_capacity(double width, double height) {
  const PageBox region = maps_region(true, width, height);
  const auto columns = static_cast<std::size_t>(std::max(1.0, region.width / smallest_cell_width));
  const auto rows = static_cast<std::size_t>(std::max(1.0, region.height / smallest_cell_height));
  return columns * rows;
}

MapPicture compose_picture(const MapPage& page, double width, double height,
                           const MapDrawOptions& options, const Wording& wording) {
  MapPicture picture;
  picture.width = width;
  picture.height = height;
  picture.name = page.title;
  picture.title =
      text_at(page.title, {margin, margin, width - 2 * margin, title_height - 6},
              size_to_fit(page.title, width - 2 * margin, 16), ink, TextAlign::left, true);
  if (page.frames.empty()) return picture;
  const bool sheet = is_sheet(page);
  const PageBox region = maps_region(sheet, width, height);
  const MapBounds bounds = usable_bounds(page.layout);
  if (sheet) {
    const SheetGrid grid(bounds, region, page.frames.size());
    for (std::size_t k = 0; k < page.frames.size(); ++k) {
      const PageBox cell = grid.cell(k);
      const std::string& caption = page.frames[k].caption;
      const double size = size_to_fit(caption, cell.width - 2, 10);
      picture.captions.push_back(text_at(
          caption, {cell.left + 1, cell.top + cell_padding - 1, cell.width - 2, caption_height},
          size, ink, TextAlign::centre));
      picture.panels.push_back(compose_panel(cell_placement(bounds, cell),
                                             shrunk(cell, 0, cell_padding + caption_height, 0, 0),
                                             page, page.frames[k], options, false, wording));
    }
  } else {
    picture.panels.push_back(compose_panel(map_placement(page, width, height), region, page,
                                           page.frames[0], options, true, wording));
    add_legend(picture, page, wording);
  }
  picture.bar = colour_bar(page, width, region);
  return picture;
}

bool map_file_type_known(const std::string& host_path) {
  const std::string name = host_path.substr(host_path.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return false;
  const std::string extension = ascii_lower(name.substr(dot + 1));
  return extension == "png" || extension == "svg" || extension == "pdf";
}

}  // namespace ba

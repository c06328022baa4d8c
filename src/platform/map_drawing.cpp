#include "platform/map_drawing.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <array>
#include <cmath>

#include "map/isolines.h"
#include "platform/surface_platform.h"

namespace ba {

namespace {

// Code in the Qt libraries can leave the upper halves of the AVX registers
// in use; until they are cleared, the processor charges a transition for the
// SSE arithmetic of the interpolation (measured: a map six times slower).
// Cleared before each stretch of arithmetic; only on processors with AVX,
// where the instruction exists.
void clear_upper_vector_state() {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) __asm__ volatile("vzeroupper");
#endif
}

// Page layout, pixels.
constexpr double margin = 12;
constexpr double title_height = 30;
constexpr double legend_height = 24;  // the line under a single map
constexpr double bar_band = 104;      // the colour bar and its labels
constexpr double bar_width = 18;
constexpr double map_padding = 24;     // room for lead labels and marks
constexpr double caption_height = 13;  // above each map of a sheet
constexpr double cell_padding = 3;
constexpr double lattice_spacing = 3;  // pixels between interpolated points
constexpr int most_bar_labels = 11;

const QColor ink(30, 30, 30);
const QColor isoline_ink(40, 40, 40, 190);
const QColor hull_ink(120, 120, 120);

QFont font_of(double pixels, bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setBold(bold);
  return font;
}

QColor colour_of(std::uint32_t packed) {
  return QColor(packed & 0xff, (packed >> 8) & 0xff, (packed >> 16) & 0xff);
}

bool is_sheet(const MapPage& page) { return page.sheet && !page.frames.empty(); }

QRectF maps_region(const MapPage& page, QSize size) {
  const double bottom = is_sheet(page) ? margin : margin + legend_height;
  return QRectF(margin, margin + title_height, size.width() - 2 * margin - bar_band,
                size.height() - margin - title_height - bottom);
}

MapPlacement fitted(const MapBounds& bounds, const QRectF& room) {
  MapPlacement placement;
  placement.bounds = bounds;
  placement.pixels_per_unit =
      std::max(1e-6, std::min(room.width() / bounds.width(), room.height() / bounds.height()));
  const QSizeF used(bounds.width() * placement.pixels_per_unit,
                    bounds.height() * placement.pixels_per_unit);
  placement.area = QRectF(room.center() - QPointF(used.width() / 2, used.height() / 2), used);
  return placement;
}

// Columns of the sheet that give the largest maps.
int sheet_columns(const MapBounds& bounds, const QRectF& region, std::size_t count) {
  int best = 1;
  double best_scale = -1;
  for (int columns = 1; columns <= static_cast<int>(count); ++columns) {
    const int rows = static_cast<int>((count + columns - 1) / columns);
    const double w = region.width() / columns - 2 * cell_padding;
    const double h = region.height() / rows - caption_height - 2 * cell_padding;
    const double scale = std::min(w / bounds.width(), h / bounds.height());
    if (scale > best_scale) {
      best_scale = scale;
      best = columns;
    }
  }
  return best;
}

QRectF sheet_cell(const MapPage& page, QSize size, std::size_t index) {
  const QRectF region = maps_region(page, size);
  const MapBounds bounds = usable_bounds(page.layout);
  const int columns = sheet_columns(bounds, region, page.frames.size());
  const int rows = static_cast<int>((page.frames.size() + columns - 1) / columns);
  const double w = region.width() / columns;
  const double h = region.height() / rows;
  return QRectF(region.left() + static_cast<double>(index % columns) * w,
                region.top() + static_cast<double>(index / columns) * h, w, h);
}

// Colours of the scale over -limit..limit, looked up instead of computed per
// pixel.
class ColourTable {
 public:
  explicit ColourTable(double limit) : limit_(limit) {
    for (std::size_t k = 0; k < table_.size(); ++k)
      table_[k] = to_argb(scale_colour(limit * (2.0 * k / (table_.size() - 1) - 1), limit));
  }
  QRgb operator()(double value) const {
    double t = (value / limit_ + 1) / 2;
    if (!(t >= 0)) t = 0;  // NaN too
    if (t > 1) t = 1;
    return table_[static_cast<std::size_t>(t * (table_.size() - 1) + 0.5)];
  }

 private:
  static QRgb to_argb(std::uint32_t packed) {
    return qRgb(packed & 0xff, (packed >> 8) & 0xff, (packed >> 16) & 0xff);
  }
  double limit_;
  std::array<QRgb, 2049> table_{};
};

// The field of one map, bilinear between lattice points, clipped to the hull.
void paint_field(QPainter& painter, const MapPlacement& placement, const SampledField& field,
                 const std::vector<MapPoint>& hull, const ColourTable& colours) {
  // One pixel more all round: electrodes on the border lie on pixel edges.
  const QRect pixels = placement.area.adjusted(-1, -1, 1, 1).toAlignedRect();
  QImage image(pixels.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  clear_upper_vector_state();
  const double unit = 1 / placement.pixels_per_unit;
  // Where each pixel column falls between lattice columns, worked out once.
  struct Across {
    double x;     // layout units
    int i;        // lattice column on the left
    double fx;    // fraction toward the next
    bool beyond;  // left or right of the lattice
  };
  std::vector<Across> across(static_cast<std::size_t>(pixels.width()));
  for (int column = 0; column < pixels.width(); ++column) {
    Across& a = across[static_cast<std::size_t>(column)];
    a.x = placement.bounds.left + (pixels.left() + column + 0.5 - placement.area.left()) * unit;
    const double u_raw = (a.x - field.left) / field.dx;
    const double u = std::clamp(u_raw, 0.0, field.columns - 1.0);
    a.i = std::min(static_cast<int>(u), field.columns - 2);
    a.fx = u - a.i;
    a.beyond = u != u_raw;
  }
  for (int row = 0; row < pixels.height(); ++row) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
    const double y =
        placement.bounds.top + (pixels.top() + row + 0.5 - placement.area.top()) * unit;
    const double v_raw = (y - field.top) / field.dy;
    const double v = std::clamp(v_raw, 0.0, field.rows - 1.0);
    const int j = std::min(static_cast<int>(v), field.rows - 2);
    const double fy = v - j;
    const float* upper = &field.values[static_cast<std::size_t>(j) * field.columns];
    const float* lower = upper + field.columns;
    for (int column = 0; column < pixels.width(); ++column) {
      const Across& a = across[static_cast<std::size_t>(column)];
      const float c[4] = {upper[a.i], upper[a.i + 1], lower[a.i], lower[a.i + 1]};
      const double w[4] = {(1 - a.fx) * (1 - fy), a.fx * (1 - fy), (1 - a.fx) * fy, a.fx * fy};
      double sum = 0, weight = 0;
      for (int k = 0; k < 4; ++k)
        if (!std::isnan(c[k])) {
          sum += w[k] * c[k];
          weight += w[k];
        }
      if (weight <= 0) continue;
      // A cell cut by the hull's border, or a pixel beyond the lattice: only
      // the pixels inside (or within a pixel of) the hull are painted.
      const bool beyond = a.beyond || v != v_raw;
      if ((weight < 0.999999 || beyond) && !inside_hull(hull, {a.x, y}, 0.75 * unit)) continue;
      line[column] = colours(sum / weight);
    }
  }
  painter.drawImage(pixels.topLeft(), image);
}

QPolygonF hull_polygon(const MapPlacement& placement, const std::vector<MapPoint>& hull) {
  QPolygonF polygon;
  for (const MapPoint& p : hull) polygon << placement.to_pixel(p.x, p.y);
  return polygon;
}

void paint_isolines(QPainter& painter, const MapPlacement& placement, const SampledField& field,
                    const MapPage& page, double width) {
  if (!page.step) return;
  float low = INFINITY, high = -INFINITY;
  for (float v : field.values)
    if (!std::isnan(v)) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  if (!(low <= high)) return;
  for (double level : isoline_levels(low, high, *page.step)) {
    clear_upper_vector_state();
    const bool zero = std::abs(level) < *page.step * 1e-6;
    painter.setPen(QPen(zero ? QColor(0, 0, 0) : isoline_ink, zero ? 2.4 * width : width,
                        Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const Isoline& line : trace_isolines(field, level)) {
      QPainterPath path;
      for (std::size_t k = 0; k < line.points.size(); ++k) {
        const QPointF p = placement.to_pixel(line.points[k].x, line.points[k].y);
        k == 0 ? path.moveTo(p) : path.lineTo(p);
      }
      if (line.closed) path.closeSubpath();
      painter.drawPath(path);
    }
  }
}

void paint_electrodes(QPainter& painter, const MapPlacement& placement, const MapPage& page,
                      bool labels) {
  painter.setFont(font_of(9));
  for (int n = 1; n <= lead_point_count; ++n) {
    const Electrode& e = page.layout.leads(n);
    if (!e.listed) continue;
    const QPointF at = placement.to_pixel(e.x, e.y);
    if (e.bad) {
      painter.setPen(QPen(ink, 1.2));
      painter.setBrush(Qt::white);
      painter.drawEllipse(at, 3.5, 3.5);
    } else {
      painter.setPen(Qt::NoPen);
      painter.setBrush(ink);
      painter.drawEllipse(at, 2.2, 2.2);
    }
    if (labels) {
      painter.setPen(QColor(20, 20, 20, 200));
      const QString text = e.label.empty() ? QString::number(n) : QString::fromStdString(e.label);
      painter.drawText(at + QPointF(3.5, -3), text);
    }
  }
  painter.setBrush(Qt::NoBrush);
}

QColor extreme_colour(bool maximum) { return maximum ? QColor(120, 0, 20) : QColor(0, 40, 110); }

// A ringed + (maximum) or - (minimum) of `radius` pixels.
void paint_extreme_symbol(QPainter& painter, QPointF at, bool maximum, double radius) {
  painter.setPen(QPen(extreme_colour(maximum), std::max(1.0, radius / 4.4)));
  painter.setBrush(QColor(255, 255, 255, 200));
  painter.drawEllipse(at, radius, radius);
  const double arm = radius * 0.57;
  painter.drawLine(at - QPointF(arm, 0), at + QPointF(arm, 0));
  if (maximum) painter.drawLine(at - QPointF(0, arm), at + QPointF(0, arm));
  painter.setBrush(Qt::NoBrush);
}

// A ringed + or - on the extreme electrode, and its value and lead beside it.
void paint_extreme(QPainter& painter, const MapPlacement& placement, const MapPage& page, int lead,
                   double value, bool maximum, const QRectF& room) {
  if (lead == 0) return;
  const Electrode& e = page.layout.leads(lead);
  const QPointF at = placement.to_pixel(e.x, e.y);
  const QColor colour = extreme_colour(maximum);
  paint_extreme_symbol(painter, at, maximum, 7);
  const QString text = QStringLiteral("%1 %2 (lead %3)")
                           .arg(maximum ? QStringLiteral("max") : QStringLiteral("min"),
                                QString::fromStdString(format_value(value, page.step)))
                           .arg(lead);
  const QFont font = font_of(11, true);
  painter.setFont(font);
  const QSizeF box = QFontMetricsF(font).size(0, text) + QSizeF(6, 2);
  QPointF corner = at + QPointF(10, maximum ? -box.height() - 4 : 4);
  if (corner.x() + box.width() > room.right()) corner.setX(at.x() - 10 - box.width());
  corner.setY(std::clamp(corner.y(), room.top(), room.bottom() - box.height()));
  const QRectF label(corner, box);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 215));
  painter.drawRoundedRect(label, 3, 3);
  painter.setPen(colour);
  painter.drawText(label, Qt::AlignCenter, text);
  painter.setBrush(Qt::NoBrush);
}

void paint_one_map(QPainter& painter, const MapPlacement& placement, const MapPage& page,
                   const MapFrame& frame, const MapDrawOptions& options, double line_width,
                   const QRectF& room, bool marks) {
  const int columns = std::max(8, static_cast<int>(placement.area.width() / lattice_spacing)) + 1;
  const int rows = std::max(8, static_cast<int>(placement.area.height() / lattice_spacing)) + 1;
  clear_upper_vector_state();
  const SampledField field = sample_field(page.layout, frame.values, columns, rows);
  const std::vector<MapPoint> hull = usable_hull(page.layout);
  paint_field(painter, placement, field, hull, ColourTable(page.limit));
  if (!options.overlays) return;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(hull_ink, 0.8));
  painter.drawPolygon(hull_polygon(placement, hull));
  paint_isolines(painter, placement, field, page, line_width);
  const LeadExtremes found = lead_extremes(page.layout, frame.values);
  if (!marks) {
    // A small map shows only where its extremes lie.
    if (found.max_value == found.min_value) return;
    for (bool maximum : {true, false}) {
      const Electrode& e = page.layout.leads(maximum ? found.max_lead : found.min_lead);
      paint_extreme_symbol(painter, placement.to_pixel(e.x, e.y), maximum,
                           std::clamp(placement.area.width() / 22, 2.5, 7.0));
    }
    return;
  }
  paint_electrodes(painter, placement, page, options.lead_labels);
  if (found.max_value != found.min_value) {
    paint_extreme(painter, placement, page, found.max_lead, found.max_value, true, room);
    paint_extreme(painter, placement, page, found.min_lead, found.min_value, false, room);
  }
}

// Tick spacing on the bar: the isoline step, or a 1-2-5 multiple of it, so
// that at most 11 values are written.
double bar_tick(const MapPage& page) {
  const double base = page.step ? *page.step : page.limit;
  double factor = 1;
  for (int decade = 0; decade < 40; ++decade, factor *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (2 * page.limit / (base * m * factor) + 1 <= most_bar_labels + 1e-9)
        return base * m * factor;
  return 2 * page.limit;  // only the ends and zero
}

void paint_colour_bar(QPainter& painter, QSize size, const MapPage& page) {
  const QRectF region = maps_region(page, size);
  const double x = size.width() - margin - bar_band + 16;
  const QRectF bar(x, region.top() + 22, bar_width, std::max(10.0, region.height() - 32));
  QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
  for (int k = 0; k <= 10; ++k)
    gradient.setColorAt(k / 10.0, colour_of(scale_colour(page.limit * (k / 5.0 - 1), page.limit)));
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(bar, gradient);
  painter.setPen(QPen(ink, 1));
  painter.drawRect(bar);
  painter.setFont(font_of(12, true));
  painter.drawText(QRectF(x - 16, region.top(), bar_band, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(page.unit));
  painter.setFont(font_of(11));
  const double tick = bar_tick(page);
  const long last = std::lround(page.limit / tick);
  for (long k = -last; k <= last; ++k) {
    const double value = k * tick;
    const double y = bar.bottom() - (value + page.limit) / (2 * page.limit) * bar.height();
    painter.setPen(QPen(ink, k == 0 ? 2 : 1));
    painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + (k == 0 ? 8 : 5), y));
    painter.drawText(QRectF(bar.right() + 10, y - 8, bar_band - bar_width - 26, 16),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(format_value(value, page.step)));
  }
  painter.setRenderHint(QPainter::Antialiasing);
}

void paint_legend(QPainter& painter, QSize size, const MapPage& page) {
  const LeadExtremes found = lead_extremes(page.layout, page.frames[0].values);
  std::string text = "max " + format_value(found.max_value, page.step) + " at lead " +
                     std::to_string(found.max_lead) + "    min " +
                     format_value(found.min_value, page.step) + " at lead " +
                     std::to_string(found.min_lead) + "    ";
  text += page.step ? "isolines every " + format_value(*page.step, page.step) + " " + page.unit +
                          ", zero line heavier"
                    : "no isolines: the map is flat";
  painter.setPen(ink);
  painter.setFont(font_of(12));
  painter.drawText(QRectF(margin, size.height() - margin - legend_height,
                          size.width() - 2 * margin - bar_band, legend_height),
                   Qt::AlignCenter, QString::fromStdString(text));
}

}  // namespace

MapPlacement map_placement(const MapPage& page, QSize size, std::size_t index) {
  const MapBounds bounds = usable_bounds(page.layout);
  if (!is_sheet(page))
    return fitted(
        bounds,
        maps_region(page, size).adjusted(map_padding, map_padding, -map_padding, -map_padding));
  const QRectF cell = sheet_cell(page, size, index);
  return fitted(bounds, cell.adjusted(cell_padding, cell_padding + caption_height, -cell_padding,
                                      -cell_padding));
}

void paint_map_page(QPainter& painter, QSize size, const MapPage& page,
                    const MapDrawOptions& options) {
  painter.fillRect(QRectF(QPointF(0, 0), QSizeF(size)), Qt::white);
  painter.setPen(ink);
  painter.setFont(font_of(16, true));
  painter.drawText(QRectF(margin, margin, size.width() - 2 * margin, title_height - 6),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(page.title));
  if (page.frames.empty()) return;
  const QRectF region = maps_region(page, size);
  if (is_sheet(page)) {
    for (std::size_t k = 0; k < page.frames.size(); ++k) {
      const QRectF cell = sheet_cell(page, size, k);
      painter.setPen(ink);
      painter.setFont(font_of(std::min(10.0, caption_height - 2)));
      painter.drawText(
          QRectF(cell.left(), cell.top() + cell_padding - 1, cell.width(), caption_height),
          Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(page.frames[k].caption));
      paint_one_map(painter, map_placement(page, size, k), page, page.frames[k], options, 0.6, cell,
                    false);
    }
  } else {
    paint_one_map(painter, map_placement(page, size), page, page.frames[0], options, 1.0, region,
                  true);
    paint_legend(painter, size, page);
  }
  paint_colour_bar(painter, size, page);
}

QImage map_image(const MapPage& page, QSize size, const MapDrawOptions& options) {
  QImage image(size, QImage::Format_RGB32);
  QPainter painter(&image);
  paint_map_page(painter, size, page, options);
  painter.end();
  return image;
}

namespace {

QString extension_of(const std::string& host_path) {
  return QFileInfo(host_qstring(host_path)).suffix().toLower();
}

}  // namespace

bool map_file_type_known(const std::string& host_path) {
  const QString extension = extension_of(host_path);
  return extension == QLatin1String("png") || extension == QLatin1String("svg") ||
         extension == QLatin1String("pdf");
}

std::optional<std::string> save_map_file(const std::string& host_path, const MapPage& page,
                                         QSize size, const MapDrawOptions& options) {
  const QString extension = extension_of(host_path);
  if (!map_file_type_known(host_path))
    return "cannot write " + host_path + ": the name must end in .png, .svg or .pdf";
  QSaveFile file(host_qstring(host_path));
  if (!file.open(QIODevice::WriteOnly))
    return "cannot write " + host_path + ": " + file.errorString().toStdString();
  bool drawn = true;
  if (extension == QLatin1String("png")) {
    drawn = map_image(page, size, options).save(&file, "PNG");
  } else if (extension == QLatin1String("svg")) {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QString::fromStdString(page.title));
    QPainter painter(&svg);
    paint_map_page(painter, size, page, options);
    drawn = painter.end();
  } else {
    QPdfWriter pdf(&file);
    pdf.setTitle(QString::fromStdString(page.title));
    pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);  // one pixel of the page is one point
    QPainter painter(&pdf);
    paint_map_page(painter, size, page, options);
    drawn = painter.end();
  }
  if (!drawn || file.error() != QFileDevice::NoError) {
    file.cancelWriting();
    return "cannot write " + host_path + ": " + file.errorString().toStdString();
  }
  if (!file.commit()) return "cannot write " + host_path + ": " + file.errorString().toStdString();
  return std::nullopt;
}

}  // namespace ba

#include "platform/map_drawing.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

#include "platform/surface_platform.h"

namespace ba {

namespace {

// Every phrase the map asks to be worded, for the translation tools.
[[maybe_unused]] const char* const map_phrases[] = {
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: mean of 1 beat"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: mean of %1 beats"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: standard deviation over %1 beats"),
    QT_TRANSLATE_NOOP("MapPicture",
                      "QRST integral map: a standard deviation needs at least two beats"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: beat %1 of %2, R %3 ms"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral maps of %1 beats in time order"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral maps of the first %1 of %2 beats in time order"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: mean of %1 less mean of %2"),
    QT_TRANSLATE_NOOP("MapPicture", "QRST integral map: departure from the reference group"),
    QT_TRANSLATE_NOOP("MapPicture", "%1  R %2 ms"),
    QT_TRANSLATE_NOOP("MapPicture", "max %1 (lead %2)"),
    QT_TRANSLATE_NOOP("MapPicture", "min %1 (lead %2)"),
    QT_TRANSLATE_NOOP("MapPicture", "max %1 at lead %2"),
    QT_TRANSLATE_NOOP("MapPicture", "min %1 at lead %2"),
    QT_TRANSLATE_NOOP("MapPicture", "no isolines: the map is flat"),
    QT_TRANSLATE_NOOP("MapPicture", "isolines every %1 SD, the -2 and +2 SD lines heavier"),
    QT_TRANSLATE_NOOP("MapPicture", "isolines every %1 %2 from 0"),
    QT_TRANSLATE_NOOP("MapPicture", "isolines every %1 %2, zero line heavier"),
};

// Code in the Qt libraries can leave the upper halves of the AVX registers
// in use; until they are cleared, the processor charges a transition for the
// SSE arithmetic of the interpolation (measured: a map six times slower).
// Cleared before the picture is composed; only on processors with AVX,
// where the instruction exists.
void clear_upper_vector_state() {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) __asm__ volatile("vzeroupper");
#endif
}

QColor colour(const Ink& ink) { return QColor(ink.red, ink.green, ink.blue, ink.alpha); }
QRectF rect(const PageBox& box) { return QRectF(box.left, box.top, box.width, box.height); }
QPointF point(const PagePoint& p) { return QPointF(p.x, p.y); }

QFont font_of(double pixels, bool bold) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setBold(bold);
  return font;
}

void paint_text(QPainter& painter, const PageText& text) {
  if (text.backdrop) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour(*text.backdrop));
    painter.drawRoundedRect(rect(text.box), 3, 3);
    painter.setBrush(Qt::NoBrush);
  }
  const Qt::Alignment across = text.align == TextAlign::left     ? Qt::AlignLeft
                               : text.align == TextAlign::centre ? Qt::AlignHCenter
                                                                 : Qt::AlignRight;
  painter.setFont(font_of(text.size, text.bold));
  painter.setPen(colour(text.ink));
  painter.drawText(rect(text.box), across | Qt::AlignVCenter, QString::fromStdString(text.text));
}

void paint_line(QPainter& painter, const PageLine& line) {
  if (line.points.empty()) return;
  painter.setPen(QPen(colour(line.ink), line.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath path;
  path.moveTo(point(line.points[0]));
  for (std::size_t k = 1; k < line.points.size(); ++k) path.lineTo(point(line.points[k]));
  if (line.closed) path.closeSubpath();
  painter.drawPath(path);
}

void paint_shape(QPainter& painter, const PageShape& shape) {
  QPolygonF polygon;
  for (const PagePoint& p : shape.points) polygon << point(p);
  painter.setPen(QPen(colour(shape.outline), 1));
  painter.setBrush(colour(shape.fill));
  painter.drawPolygon(polygon);
  painter.setBrush(Qt::NoBrush);
}

void paint_dot(QPainter& painter, const PageDot& dot) {
  painter.setPen(dot.outline ? QPen(colour(*dot.outline), dot.outline_width) : QPen(Qt::NoPen));
  painter.setBrush(dot.fill ? QBrush(colour(*dot.fill)) : QBrush(Qt::NoBrush));
  painter.drawEllipse(point(dot.at), dot.radius, dot.radius);
  painter.setBrush(Qt::NoBrush);
}

void paint_mark(QPainter& painter, const PageMark& mark) {
  painter.setPen(QPen(colour(mark.ink), std::max(1.0, mark.radius / 4.4)));
  painter.setBrush(QColor(255, 255, 255, 200));
  const QPointF at = point(mark.at);
  painter.drawEllipse(at, mark.radius, mark.radius);
  const double arm = mark.radius * 0.57;
  painter.drawLine(at - QPointF(arm, 0), at + QPointF(arm, 0));
  if (mark.maximum) painter.drawLine(at - QPointF(0, arm), at + QPointF(0, arm));
  painter.setBrush(Qt::NoBrush);
}

void paint_panel(QPainter& painter, const MapPanel& panel) {
  painter.save();
  painter.setClipRect(rect(panel.clip));
  const FieldRaster& field = panel.field;
  if (field.columns > 0 && field.rows > 0) {
    const QImage image(reinterpret_cast<const uchar*>(field.pixels.data()), field.columns,
                       field.rows, field.columns * 4, QImage::Format_ARGB32);
    painter.drawImage(QPointF(field.box.left, field.box.top), image);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  paint_line(painter, panel.hull);
  for (const PageIsoline& line : panel.isolines) paint_line(painter, line.line);
  for (const PageDot& dot : panel.electrodes) paint_dot(painter, dot);
  for (const PageMark& mark : panel.marks) paint_mark(painter, mark);
  for (const PageText& label : panel.labels) paint_text(painter, label);
  painter.restore();
}

void paint_bar(QPainter& painter, const ColourBar& bar) {
  if (bar.stops.empty()) return;
  const QRectF box = rect(bar.box);
  QLinearGradient gradient(box.bottomLeft(), box.topLeft());
  for (const auto& [at, ink] : bar.stops) gradient.setColorAt(at, colour(ink));
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(box, gradient);
  painter.setPen(QPen(colour(bar.unit.ink), 1));
  painter.drawRect(box);
  paint_text(painter, bar.unit);
  for (const BarTick& tick : bar.ticks) {
    // A heavy line crosses the bar, as it crosses the map.
    painter.setPen(QPen(colour(tick.label.ink), tick.heavy ? 2.4 : 1));
    painter.drawLine(QPointF(tick.heavy ? box.left() : box.right(), tick.y),
                     QPointF(box.right() + (tick.heavy ? 8 : 5), tick.y));
    paint_text(painter, tick.label);
  }
  painter.setRenderHint(QPainter::Antialiasing);
  for (const PageShape& cap : bar.caps) paint_shape(painter, cap);
}

QString extension_of(const std::string& host_path) {
  return QFileInfo(host_qstring(host_path)).suffix().toLower();
}

MapPicture composed(const MapPage& page, QSize size, const MapDrawOptions& options) {
  clear_upper_vector_state();
  return compose_picture(page, size.width(), size.height(), options, map_wording());
}

}  // namespace

Wording map_wording() {
  return [](const char* english) {
    return QCoreApplication::translate("MapPicture", english).toStdString();
  };
}

void paint_map_picture(QPainter& painter, const MapPicture& picture) {
  painter.fillRect(QRectF(0, 0, picture.width, picture.height), Qt::white);
  paint_text(painter, picture.title);
  for (const MapPanel& panel : picture.panels) paint_panel(painter, panel);
  for (const PageText& caption : picture.captions) paint_text(painter, caption);
  paint_bar(painter, picture.bar);
}

void paint_page_text(QPainter& painter, const PageText& text) { paint_text(painter, text); }
void paint_page_line(QPainter& painter, const PageLine& line) { paint_line(painter, line); }
void paint_page_dot(QPainter& painter, const PageDot& dot) { paint_dot(painter, dot); }

void paint_page_rect(QPainter& painter, const PageBox& box, const std::optional<Ink>& fill,
                     const std::optional<Ink>& outline) {
  if (fill) painter.fillRect(rect(box), colour(*fill));
  if (!outline) return;
  painter.setPen(QPen(colour(*outline), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect(box));
}

void paint_map_page(QPainter& painter, QSize size, const MapPage& page,
                    const MapDrawOptions& options) {
  paint_map_picture(painter, composed(page, size, options));
}

QImage map_image(const MapPage& page, QSize size, const MapDrawOptions& options) {
  QImage image(size, QImage::Format_RGB32);
  QPainter painter(&image);
  paint_map_page(painter, size, page, options);
  painter.end();
  return image;
}

std::optional<std::string> map_file_bytes(const std::string& host_path, const MapPage& page,
                                          QSize size, const MapDrawOptions& options) {
  const QString extension = extension_of(host_path);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const MapPicture picture = composed(page, size, options);
  bool drawn = false;
  if (extension == QLatin1String("png")) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    paint_map_picture(painter, picture);
    painter.end();
    drawn = image.save(&buffer, "PNG");
  } else if (extension == QLatin1String("svg")) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QString::fromStdString(picture.name));
    QPainter painter(&svg);
    paint_map_picture(painter, picture);
    drawn = painter.end();
  } else if (extension == QLatin1String("pdf")) {
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QString::fromStdString(picture.name));
    pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(72);  // one unit of the page is one point
    QPainter painter(&pdf);
    paint_map_picture(painter, picture);
    drawn = painter.end();
  }
  buffer.close();
  if (!drawn || bytes.isEmpty()) return std::nullopt;
  return bytes.toStdString();
}

std::optional<std::string> save_map_file(FileOps& files, const std::string& host_path,
                                         const MapPage& page, QSize size,
                                         const MapDrawOptions& options) {
  if (!map_file_type_known(host_path))
    return "cannot write " + host_path + ": the name must end in .png, .svg or .pdf";
  const std::optional<std::string> bytes = map_file_bytes(host_path, page, size, options);
  if (!bytes) return "cannot write " + host_path + ": the picture could not be drawn";
  if (auto error = files.replace_file(host_path, *bytes))
    return "cannot write " + host_path + ": " + *error;
  return std::nullopt;
}

}  // namespace ba

#include "platform/report_pdf.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "map/page.h"
#include "platform/map_drawing.h"

namespace ba {

namespace {

// Device pixels per inch of the PDF: A4 landscape is 1123 x 794 of them.
constexpr int report_resolution = 96;
constexpr double margin = 36;
constexpr std::size_t table_rows_per_page = 24;

QFont report_font(double pixels, bool bold = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setBold(bold);
  return font;
}

QString text_of(const std::string& text) { return QString::fromStdString(text); }

void heading(QPainter& painter, const QRectF& area, const std::string& text) {
  painter.setFont(report_font(13, true));
  painter.setPen(Qt::black);
  painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, text_of(text));
}

// A map page painted at its usual size, scaled down to fit `area`.
void paint_map_in(QPainter& painter, const QRectF& area, const MapPage& page) {
  const QSizeF full(default_map_size);
  const double factor = std::min(area.width() / full.width(), area.height() / full.height());
  painter.save();
  painter.translate(area.center() - QPointF(full.width(), full.height()) * factor / 2);
  painter.scale(factor, factor);
  painter.setClipRect(QRectF(QPointF(0, 0), full));
  MapDrawOptions options;
  options.lead_labels = false;
  paint_map_page(painter, default_map_size, page, options);
  painter.restore();
}

void paint_table(QPainter& painter, const QRectF& area, const StudyReport& report,
                 std::size_t first, std::size_t last) {
  const std::size_t columns = report.columns.size();
  const double file_width = area.width() * 0.22;
  const double other_width = (area.width() - file_width) / static_cast<double>(columns - 1);
  const double row_height = 22;
  auto column_rect = [&](std::size_t c, double y) {
    const double x = c == 0 ? area.left() : area.left() + file_width + other_width * (c - 1);
    return QRectF(x + 3, y, (c == 0 ? file_width : other_width) - 6, row_height);
  };
  painter.setPen(Qt::black);
  painter.setFont(report_font(10, true));
  double y = area.top();
  for (std::size_t c = 0; c < columns; ++c)
    painter.drawText(column_rect(c, y), Qt::AlignVCenter | (c ? Qt::AlignRight : Qt::AlignLeft),
                     text_of(report.columns[c]));
  painter.drawLine(QPointF(area.left(), y + row_height), QPointF(area.right(), y + row_height));
  painter.setFont(report_font(10));
  for (std::size_t r = first; r < last; ++r) {
    y += row_height;
    for (std::size_t c = 0; c < columns && c < report.rows[r].size(); ++c) {
      const QRectF cell = column_rect(c, y);
      const QString text = QFontMetricsF(painter.font())
                               .elidedText(text_of(report.rows[r][c]),
                                           c ? Qt::ElideRight : Qt::ElideLeft, cell.width());
      painter.drawText(cell, Qt::AlignVCenter | (c ? Qt::AlignRight : Qt::AlignLeft), text);
    }
  }
}

void paint_frame(QPainter& painter, const QRectF& plot) {
  painter.setPen(QPen(Qt::gray, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);
}

// Bars of the KL coefficients; behind each, the group's mean +-2 SD.
void paint_kl_bars(QPainter& painter, const QRectF& area, const ReportFilePage& page) {
  heading(painter, area, "KL coefficients (grey: group mean +-2 SD)");
  const QRectF plot = area.adjusted(40, 24, -8, -20);
  double reach = 0;
  for (std::size_t k = 0; k < page.kl.size(); ++k) {
    reach = std::max(reach, std::abs(page.kl[k]));
    if (k < page.bands.size())
      reach = std::max(reach, std::abs(page.bands[k].mean) + 2 * page.bands[k].sd);
  }
  paint_frame(painter, plot);
  if (page.kl.empty() || !(reach > 0)) return;
  auto y_of = [&](double value) { return plot.center().y() - value / reach * plot.height() / 2; };
  const double slot = plot.width() / static_cast<double>(page.kl.size());
  painter.setPen(QPen(Qt::black, 0.5));
  painter.drawLine(QPointF(plot.left(), y_of(0)), QPointF(plot.right(), y_of(0)));
  painter.setFont(report_font(9));
  for (std::size_t k = 0; k < page.kl.size(); ++k) {
    const double x = plot.left() + slot * static_cast<double>(k);
    if (k < page.bands.size()) {
      const KlBand& band = page.bands[k];
      painter.fillRect(QRectF(QPointF(x + slot * 0.1, y_of(band.mean + 2 * band.sd)),
                              QPointF(x + slot * 0.9, y_of(band.mean - 2 * band.sd))),
                       QColor(210, 210, 210));
    }
    painter.fillRect(
        QRectF(QPointF(x + slot * 0.3, y_of(page.kl[k])), QPointF(x + slot * 0.7, y_of(0)))
            .normalized(),
        QColor(40, 80, 160));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(x, plot.bottom() + 2, slot, 16), Qt::AlignHCenter | Qt::AlignTop,
                     QString::number(k + 1));
  }
  painter.drawText(QRectF(area.left(), plot.top() - 8, 36, 16), Qt::AlignRight,
                   QString::number(reach, 'g', 3));
}

// The beats' NDI against their R time, 0..1 upward.
void paint_ndi_over_time(QPainter& painter, const QRectF& area, const ReportFilePage& page) {
  heading(painter, area, "NDI of the beats over time (s)");
  const QRectF plot = area.adjusted(40, 24, -8, -20);
  paint_frame(painter, plot);
  painter.setFont(report_font(9));
  painter.setPen(Qt::black);
  painter.drawText(QRectF(area.left(), plot.top() - 8, 36, 16), Qt::AlignRight, "1");
  painter.drawText(QRectF(area.left(), plot.bottom() - 8, 36, 16), Qt::AlignRight, "0");
  if (page.ndi_over_time.empty()) {
    painter.drawText(plot, Qt::AlignCenter, "no NDI: needs a group with 4 KL vectors");
    return;
  }
  double end = 0;
  for (const auto& [seconds, ndi] : page.ndi_over_time) end = std::max(end, seconds);
  end = std::max(1.0, std::ceil(end));
  painter.drawText(QRectF(plot.right() - 40, plot.bottom() + 2, 40, 16), Qt::AlignRight,
                   QString::number(end));
  QPainterPath path;
  painter.setBrush(QColor(40, 80, 160));
  for (const auto& [seconds, ndi] : page.ndi_over_time) {
    const QPointF point(plot.left() + seconds / end * plot.width(),
                        plot.bottom() - std::clamp(ndi, 0.0, 1.0) * plot.height());
    if (path.elementCount() == 0)
      path.moveTo(point);
    else
      path.lineTo(point);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(point, 2.5, 2.5);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(40, 80, 160), 1));
  painter.drawPath(path);
}

void paint_choices(QPainter& painter, const QRectF& area, const ReportFilePage& page) {
  heading(painter, area, "Analysis record");
  painter.setFont(report_font(10));
  double y = area.top() + 24;
  if (page.choices.empty()) {
    painter.drawText(QRectF(area.left(), y, area.width(), 18), Qt::AlignLeft,
                     text_of(page.record_note));
    return;
  }
  for (const auto& [label, value] : page.choices) {
    painter.drawText(QRectF(area.left(), y, area.width() * 0.5, 18), Qt::AlignLeft, text_of(label));
    painter.drawText(QRectF(area.left() + area.width() * 0.5, y, area.width() * 0.5, 18),
                     Qt::AlignLeft,
                     QFontMetricsF(painter.font())
                         .elidedText(text_of(value), Qt::ElideRight, area.width() * 0.5));
    y += 18;
  }
}

void paint_departure_summary(QPainter& painter, const QRectF& area, const ReportFilePage& page) {
  heading(painter, area, "Departure from the group");
  painter.setFont(report_font(10));
  const Departure& found = *page.departure;
  std::string lines = found.max_abs_z_lead
                          ? "max |z| " + number_text(found.max_abs_z) + " at lead " +
                                std::to_string(found.max_abs_z_lead) + "\n" +
                                std::to_string(found.leads_z2) + " leads with |z| >= 2\n" +
                                std::to_string(found.leads_z3) + " leads with |z| >= 3"
                          : std::string("no lead of the group has an SD");
  if (!found.left_out.empty())
    lines += "\n" + std::to_string(found.left_out.size()) + " leads left out (group SD 0)";
  painter.drawText(area.adjusted(0, 24, 0, 0), Qt::AlignLeft | Qt::AlignTop, text_of(lines));
}

void paint_file_page(QPainter& painter, const QRectF& page_area, const ReportFilePage& page,
                     const LeadLayout& layout) {
  heading(painter, page_area, page.file + "  (" + std::to_string(page.beats.size()) + " beats)");
  const QRectF body = page_area.adjusted(0, 28, 0, 0);
  const double w = body.width() / 3;
  const double h = body.height() / 2;
  auto cell = [&](int column, int row) {
    return QRectF(body.left() + w * column, body.top() + h * row, w, h).adjusted(4, 4, -4, -4);
  };
  MapRequest mean;
  paint_map_in(painter, cell(0, 0), make_page(page.beats, layout, mean));
  if (page.beats.size() >= 2) {
    MapRequest sd;
    sd.kind = MapKind::sd;
    paint_map_in(painter, cell(1, 0), make_page(page.beats, layout, sd));
  } else {
    heading(painter, cell(1, 0), "SD map: needs two beats");
  }
  if (page.departure) {
    if (const auto z_map = departure_page(*page.departure, layout))
      paint_map_in(painter, cell(2, 0), *z_map);
    else
      paint_departure_summary(painter, cell(2, 0), page);
    paint_kl_bars(painter, cell(0, 1), page);
    paint_ndi_over_time(painter, cell(1, 1), page);
  } else {
    heading(painter, cell(2, 0), "No reference group: no departure, KL or NDI");
  }
  paint_choices(painter, cell(2, 1), page);
}

}  // namespace

QByteArray study_report_pdf(const StudyReport& report, const LeadLayout& layout,
                            const ReportProgress& progress) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(report_resolution);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    writer.setTitle(QStringLiteral("QRST map study"));
    writer.setCreator(QStringLiteral("beat_analyser"));
    QPainter painter;
    if (!painter.begin(&writer)) return {};
    const QRectF area = QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height()))
                            .adjusted(margin, margin, -margin, -margin);
    const std::size_t table_pages = std::max<std::size_t>(
        1, (report.rows.size() + table_rows_per_page - 1) / table_rows_per_page);
    const std::size_t pages = table_pages + report.pages.size();
    std::size_t done = 0;
    for (std::size_t t = 0; t < table_pages; ++t) {
      if (done > 0) writer.newPage();
      heading(painter, area,
              report.with_group ? "QRST map study: measures against the reference group"
                                : "QRST map study: measures (no reference group)");
      const std::size_t first = t * table_rows_per_page;
      paint_table(painter, area.adjusted(0, 30, 0, 0), report, first,
                  std::min(report.rows.size(), first + table_rows_per_page));
      if (progress) progress(++done, pages);
    }
    for (const ReportFilePage& page : report.pages) {
      writer.newPage();
      paint_file_page(painter, area, page, layout);
      if (progress) progress(++done, pages);
    }
    painter.end();
  }
  return bytes;
}

}  // namespace ba

#include "platform/report_pdf.h"

#include <QIODevice>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "platform/map_drawing.h"

namespace ba {

namespace {

// Device pixels per inch of the PDF: A4 landscape is 1123 x 794 of them,
// the report's page units.
constexpr int report_resolution = 96;

// A write-only device that hands every byte on at once.
class SinkDevice : public QIODevice {
 public:
  explicit SinkDevice(const ReportSink& sink) : sink_(sink) {}
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    sink_(std::string_view(data, static_cast<std::size_t>(size)));
    return size;
  }

 private:
  const ReportSink& sink_;
};

void paint_sheet(QPainter& painter, const ReportSheet& sheet) {
  for (const PlacedMap& map : sheet.maps) {
    painter.save();
    painter.translate(map.at.x, map.at.y);
    paint_map_picture(painter, map.picture);
    painter.restore();
  }
  painter.setRenderHint(QPainter::Antialiasing);
  for (const PageRect& rect : sheet.rects)
    paint_page_rect(painter, rect.box, rect.fill, rect.outline);
  for (const PageLine& line : sheet.lines) paint_page_line(painter, line);
  for (const PageDot& dot : sheet.dots) paint_page_dot(painter, dot);
  for (const PageText& text : sheet.texts) paint_page_text(painter, text);
}

}  // namespace

std::optional<std::string> paint_study_report(std::size_t count, const ReportSheetSource& sheets,
                                              const ReportSink& sink,
                                              const ReportProgress& progress) {
  SinkDevice device(sink);
  device.open(QIODevice::WriteOnly);
  QPdfWriter writer(&device);
  writer.setResolution(report_resolution);
  writer.setPageLayout(
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
  writer.setTitle(QStringLiteral("QRST map study"));
  writer.setCreator(QStringLiteral("beat_analyser"));
  QPainter painter;
  if (!painter.begin(&writer)) return std::string("Qt cannot start a PDF");
  for (std::size_t index = 0; index < count; ++index) {
    auto sheet = sheets(index);
    if (auto* reason = std::get_if<std::string>(&sheet)) {
      painter.end();
      return std::move(*reason);
    }
    if (index > 0) writer.newPage();
    paint_sheet(painter, std::get<ReportSheet>(sheet));
    if (progress) progress(index + 1, count);
  }
  if (!painter.end()) return std::string("Qt cannot finish the PDF");
  return std::nullopt;
}

}  // namespace ba

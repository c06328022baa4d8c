#include "cohort/report_sheet.h"

#include <algorithm>
#include <cmath>

#include "map/lead_kinds.h"
#include "map/page.h"

namespace ba {

namespace {

constexpr double margin = 36;
constexpr double heading_font = 16;
constexpr double body_font = 11;
constexpr double row_height = 20;
constexpr double chart_heading_font = 12;
// Table rows a page holds: alone, or twice over with the KL table below.
constexpr std::size_t rows_alone = 30;
constexpr std::size_t rows_with_kl = 15;
// The top of the body, under the heading and the two lines of scales.
constexpr double body_top = margin + 64;
constexpr double map_height = 330;

const Ink ink{30, 30, 30};
const Ink frame_ink{150, 150, 150};
const Ink band_ink{210, 210, 210};
const Ink bar_ink{40, 80, 160};

const PageBox page_area{margin, margin, report_width - 2 * margin, report_height - 2 * margin};

PageText text_in(std::string text, PageBox box, double size, TextAlign align = TextAlign::left,
                 bool bold = false) {
  PageText t;
  t.text = std::move(text);
  t.box = box;
  t.size = size;
  t.bold = bold;
  t.align = align;
  t.ink = ink;
  return t;
}

// `text` cut to fit `width` at `size`, an ellipsis where it was cut: its
// start kept, or its end (a file name's end says most).
std::string fitted(const std::string& text, double width, double size, bool keep_end = false) {
  if (text_width(text, size) <= width) return text;
  const std::string ellipsis = "\xE2\x80\xA6";
  std::string kept = text;
  while (!kept.empty() && text_width(kept, size) + 0.6 * size > width) {
    if (keep_end) {
      std::size_t cut = 1;
      while (cut < kept.size() && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) ++cut;
      kept.erase(0, cut);
    } else {
      std::size_t cut = kept.size() - 1;
      while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) --cut;
      kept.erase(cut);
    }
  }
  return keep_end ? ellipsis + kept : kept + ellipsis;
}

std::string beats_text(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " beat" : " beats");
}

// "LOW..HIGH AQRST (isolines every STEP)".
std::string range_text(double low, const MapScale& scale) {
  std::string text =
      format_value(low, scale.step) + ".." + format_value(scale.limit, scale.step) + " AQRST";
  if (scale.step) text += " (isolines every " + format_value(*scale.step, scale.step) + ")";
  return text;
}

// A statement of scales at `top`, smaller rather than cut: the whole
// statement matters.
PageText scales_text(const std::string& text, double top) {
  const double size = std::clamp(page_area.width / text_width(text, 1), 8.0, body_font);
  return text_in(fitted(text, page_area.width, size), {margin, top, page_area.width, 18}, size);
}

// The lines under every heading: the colour scales all pages share, those
// of the timing maps on a line of their own when some file has them.
void add_scales(ReportSheet& sheet, const StudyScales& scales, bool with_group) {
  std::string text = "Colour scales on every page: mean maps " +
                     range_text(-scales.mean.limit, scales.mean) + ", SD maps " +
                     range_text(0, scales.sd);
  if (with_group) text += ", departure maps -4..4 SD (isolines every 1)";
  sheet.texts.push_back(scales_text(text, margin + 26));
  std::string timing;
  for (const auto& [name, range] :
       {std::pair{"AT", scales.activation}, std::pair{"ARI", scales.ari}}) {
    if (!range) continue;
    MapPage map;
    fit_timing_scale(map, range->first, range->second);
    timing += std::string(timing.empty() ? "" : ", ") + name + " maps " +
              format_value(*map.bottom, map.step) + ".." + format_value(map.limit, map.step) +
              " ms (isochrones every " + format_value(*map.step, map.step) + ")";
  }
  if (!timing.empty()) sheet.texts.push_back(scales_text("Timing maps: " + timing, margin + 42));
}

PageLine rule(double left, double right, double y, double width = 1) {
  PageLine line;
  line.points = {{left, y}, {right, y}};
  line.width = width;
  line.ink = ink;
  return line;
}

// A table at `top`: the header in bold over a rule, then the rows; the
// first column left-aligned and `first_share` of the width wide.
double add_table(ReportSheet& sheet, double top, const std::vector<std::string>& header,
                 const std::vector<std::vector<std::string>>& rows, std::size_t first,
                 std::size_t last, double first_share) {
  const double first_width = page_area.width * first_share;
  const double other_width =
      header.size() > 1 ? (page_area.width - first_width) / static_cast<double>(header.size() - 1)
                        : 0;
  auto cell = [&](std::size_t c, double y) {
    const double x = c == 0 ? margin : margin + first_width + other_width * (c - 1);
    return PageBox{x + 3, y, (c == 0 ? first_width : other_width) - 6, row_height};
  };
  for (std::size_t c = 0; c < header.size(); ++c) {
    // A header smaller rather than cut, down to a legible size.
    const PageBox box = cell(c, top);
    const double size = std::clamp(box.width / text_width(header[c], 1), 8.0, body_font);
    sheet.texts.push_back(text_in(fitted(header[c], box.width, size), box, size,
                                  c ? TextAlign::right : TextAlign::left, true));
  }
  double y = top + row_height;
  sheet.lines.push_back(rule(margin, margin + page_area.width, y));
  for (std::size_t r = first; r < last; ++r, y += row_height)
    for (std::size_t c = 0; c < header.size() && c < rows[r].size(); ++c) {
      // Figures smaller rather than cut, down to a legible size.
      const PageBox box = cell(c, y);
      const double size =
          c == 0 ? body_font : std::clamp(box.width / text_width(rows[r][c], 1), 8.0, body_font);
      sheet.texts.push_back(text_in(fitted(rows[r][c], box.width, size, c == 0), box, size,
                                    c ? TextAlign::right : TextAlign::left));
    }
  return y;
}

std::size_t rows_per_sheet(const StudyReport& report) {
  return report.with_group ? rows_with_kl : rows_alone;
}

// A chart's frame inside `cell` under its heading, with room for the value
// labels at the left and the x labels below.
PageBox plot_box(const PageBox& cell) {
  return {cell.left + 52, cell.top + 26, cell.width - 60, cell.height - 26 - 36};
}

void add_heading(ReportSheet& sheet, const PageBox& cell, const std::string& text) {
  sheet.texts.push_back(text_in(fitted(text, cell.width, chart_heading_font),
                                {cell.left, cell.top, cell.width, 20}, chart_heading_font,
                                TextAlign::left, true));
}

// Where values land on a chart's axes.
struct Axes {
  PageBox plot;
  double x_low = 0, x_high = 1, y_low = 0, y_high = 1;
  double x(double value) const {
    return plot.left + (value - x_low) / (x_high - x_low) * plot.width;
  }
  double y(double value) const {
    return plot.bottom() - (value - y_low) / (y_high - y_low) * plot.height;
  }
};

// The frame and the y axis's ticks with their values.
void add_y_axis(ReportSheet& sheet, const Axes& axes, const std::vector<double>& ticks) {
  sheet.rects.push_back({axes.plot, std::nullopt, frame_ink});
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  for (double value : ticks) {
    const double y = axes.y(value);
    sheet.lines.push_back(rule(axes.plot.left - 4, axes.plot.left, y));
    sheet.texts.push_back(text_in(format_value(value, step), {axes.plot.left - 52, y - 8, 45, 16},
                                  body_font - 1, TextAlign::right));
  }
}

// Bars of the KL coefficients; behind each, the group's mean +-2 SD.
void add_kl_chart(ReportSheet& sheet, const PageBox& cell, const ReportFilePage& page) {
  add_heading(sheet, cell, "KL coefficients (grey: group +-2 SD)");
  Axes axes;
  axes.plot = plot_box(cell);
  if (page.kl.empty()) {
    sheet.rects.push_back({axes.plot, std::nullopt, frame_ink});
    sheet.texts.push_back(
        text_in("the group has no KL basis", axes.plot, body_font, TextAlign::centre));
    return;
  }
  double low = 0, high = 0;
  for (std::size_t k = 0; k < page.kl.size(); ++k) {
    low = std::min(low, page.kl[k]);
    high = std::max(high, page.kl[k]);
    if (k < page.bands.size()) {
      low = std::min(low, page.bands[k].mean - 2 * page.bands[k].sd);
      high = std::max(high, page.bands[k].mean + 2 * page.bands[k].sd);
    }
  }
  const std::vector<double> ticks = axis_ticks(low, high);
  axes.y_low = ticks.front();
  axes.y_high = ticks.back();
  add_y_axis(sheet, axes, ticks);
  const double slot = axes.plot.width / static_cast<double>(page.kl.size());
  for (std::size_t k = 0; k < page.kl.size(); ++k) {
    const double x = axes.plot.left + slot * static_cast<double>(k);
    if (k < page.bands.size()) {
      const double top = axes.y(page.bands[k].mean + 2 * page.bands[k].sd);
      const double bottom = axes.y(page.bands[k].mean - 2 * page.bands[k].sd);
      sheet.rects.push_back({{x + slot * 0.1, top, slot * 0.8, bottom - top}, band_ink, {}});
    }
    const double zero = axes.y(0), value = axes.y(page.kl[k]);
    sheet.rects.push_back(
        {{x + slot * 0.3, std::min(zero, value), slot * 0.4, std::abs(zero - value)}, bar_ink, {}});
    sheet.texts.push_back(text_in(std::to_string(k + 1), {x, axes.plot.bottom() + 2, slot, 16},
                                  body_font - 1, TextAlign::centre));
  }
  PageLine zero_line = rule(axes.plot.left, axes.plot.right(), axes.y(0), 0.8);
  sheet.lines.push_back(zero_line);
  sheet.texts.push_back(text_in("basis vector",
                                {axes.plot.left, axes.plot.bottom() + 18, axes.plot.width, 16},
                                body_font - 1, TextAlign::centre));
}

// The line through the beats' NDI, at most the first, lowest, highest and
// last point of each whole page unit across: what it draws is the same, and
// its size stays bounded by the chart's width however many beats there are.
PageLine ndi_path(const Axes& axes, const std::vector<std::pair<double, double>>& points) {
  PageLine path;
  path.ink = bar_ink;
  std::vector<PagePoint> column;  // the points within one unit across
  auto flush = [&] {
    if (column.empty()) return;
    const auto [low, high] = std::minmax_element(
        column.begin(), column.end(), [](PagePoint a, PagePoint b) { return a.y < b.y; });
    std::vector<std::size_t> kept = {0, static_cast<std::size_t>(low - column.begin()),
                                     static_cast<std::size_t>(high - column.begin()),
                                     column.size() - 1};
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    for (std::size_t k : kept) path.points.push_back(column[k]);
    column.clear();
  };
  for (const auto& [seconds, ndi] : points) {
    const PagePoint at{axes.x(seconds), axes.y(ndi)};
    if (!column.empty() && std::floor(at.x) != std::floor(column.front().x)) flush();
    column.push_back(at);
  }
  flush();
  return path;
}

// The beats' NDI against their R time, on an axis that reaches just past
// the largest NDI (normal values lie near 0.01, not near 1).
void add_ndi_chart(ReportSheet& sheet, const PageBox& cell, const ReportFilePage& page) {
  add_heading(sheet, cell, "NDI of the beats over time");
  Axes axes;
  axes.plot = plot_box(cell);
  if (page.ndi_over_time.empty()) {
    sheet.rects.push_back({axes.plot, std::nullopt, frame_ink});
    sheet.texts.push_back(text_in("no NDI: needs a group with 4 KL vectors", axes.plot, body_font,
                                  TextAlign::centre));
    return;
  }
  double end = 0, top = 0;
  for (const auto& [seconds, ndi] : page.ndi_over_time) {
    end = std::max(end, seconds);
    top = std::max(top, ndi);
  }
  const std::vector<double> y_ticks = axis_ticks(0, top > 0 ? top : 0.001);
  const std::vector<double> x_ticks = axis_ticks(0, end > 0 ? end : 1);
  axes.y_high = y_ticks.back();
  axes.x_high = x_ticks.back();
  add_y_axis(sheet, axes, y_ticks);
  const double x_step = x_ticks.size() > 1 ? x_ticks[1] - x_ticks[0] : 1;
  for (double value : x_ticks) {
    const double x = axes.x(value);
    PageLine tick;
    tick.points = {{x, axes.plot.bottom()}, {x, axes.plot.bottom() + 4}};
    tick.ink = ink;
    sheet.lines.push_back(tick);
    sheet.texts.push_back(text_in(format_value(value, x_step),
                                  {x - 30, axes.plot.bottom() + 4, 60, 14}, body_font - 1,
                                  TextAlign::centre));
  }
  sheet.texts.push_back(text_in("R time (s)",
                                {axes.plot.left, axes.plot.bottom() + 18, axes.plot.width, 16},
                                body_font - 1, TextAlign::centre));
  sheet.lines.push_back(ndi_path(axes, page.ndi_over_time));
  // A dot per beat while they stand apart; the line alone for more.
  if (static_cast<double>(page.ndi_over_time.size()) > axes.plot.width / 4) return;
  for (const auto& [seconds, ndi] : page.ndi_over_time) {
    PageDot dot;
    dot.at = {axes.x(seconds), axes.y(ndi)};
    dot.radius = 2.5;
    dot.fill = bar_ink;
    sheet.dots.push_back(dot);
  }
}

void add_choices(ReportSheet& sheet, const PageBox& cell, const ReportFilePage& page) {
  add_heading(sheet, cell, "Analysis record");
  double y = cell.top + 26;
  const double half = cell.width / 2;
  if (page.choices.empty()) {
    sheet.texts.push_back(text_in(fitted(page.record_note, cell.width, body_font),
                                  {cell.left, y, cell.width, 18}, body_font));
    return;
  }
  for (const auto& [label, value] : page.choices) {
    if (y + 18 > cell.bottom()) break;
    sheet.texts.push_back(
        text_in(fitted(label, half - 4, body_font), {cell.left, y, half - 4, 18}, body_font));
    sheet.texts.push_back(
        text_in(fitted(value, half, body_font, true), {cell.left + half, y, half, 18}, body_font));
    y += 18;
  }
}

void add_departure_summary(ReportSheet& sheet, const PageBox& cell, const Departure& found) {
  add_heading(sheet, cell, "Departure from the group");
  std::vector<std::string> lines;
  if (found.max_abs_z_lead) {
    lines.push_back("max |z| " + format_value(found.max_abs_z, 0.1) + " at lead " +
                    std::to_string(found.max_abs_z_lead));
    lines.push_back(std::to_string(found.leads_z2) + " leads with |z| >= 2");
    lines.push_back(std::to_string(found.leads_z3) + " leads with |z| >= 3");
  } else {
    lines.push_back("no lead of the group has an SD");
  }
  if (!found.left_out.empty())
    lines.push_back(std::to_string(found.left_out.size()) + " leads left out (group SD 0)");
  lines.push_back("too few leads with a z for a map");
  double y = cell.top + 26;
  for (const std::string& line : lines) {
    sheet.texts.push_back(text_in(line, {cell.left, y, cell.width, 18}, body_font));
    y += 18;
  }
}

// A map page composed at the size of its cell.
void add_map(ReportSheet& sheet, const PageBox& cell, const MapPage& page) {
  MapDrawOptions options;
  options.lead_labels = false;
  sheet.maps.push_back(
      {{cell.left, cell.top}, compose_picture(page, cell.width, cell.height, options)});
}

MapPage on_scale(MapPage page, const MapScale& scale) {
  page.limit = scale.limit;
  page.step = scale.step;
  return page;
}

// A timing map of the file's lead table on the study's scale for it; a
// heading in its place when the file has no lead table or times too few
// leads for a map.
void add_timing_map(ReportSheet& sheet, const PageBox& cell, const ReportFilePage& page,
                    const LeadLayout& layout, LeadKind kind,
                    const std::optional<std::pair<double, double>>& range) {
  const std::string name = kind == LeadKind::at ? "AT map" : "ARI map";
  if (!page.leads) {
    add_heading(sheet, cell, name + ": no lead table");
    return;
  }
  KindBeats chosen = kind_beats(*page.leads, kind);
  LeadSet timed;
  for (int n = 1; n <= lead_point_count; ++n)
    if (layout.leads(n).usable() &&
        std::find(chosen.untimed_leads.begin(), chosen.untimed_leads.end(), n) ==
            chosen.untimed_leads.end())
      timed.push_back(n);
  const std::optional<LeadLayout> kept = layout_over(layout, timed);
  if (chosen.beats.empty() || !kept) {
    add_heading(sheet, cell, name + ": too few leads timed");
    return;
  }
  MapRequest request;
  request.scale = chosen.scale;
  request.unit = "ms";
  MapPage map = make_page(chosen.beats, *kept, request);
  shape_kind_page(map, kind);
  if (range) fit_timing_scale(map, range->first, range->second);
  add_map(sheet, cell, map);
}

}  // namespace

std::vector<double> axis_ticks(double low, double high) {
  if (!(high > low)) high = low + 1;
  double step = std::pow(10.0, std::floor(std::log10((high - low) / 5)));
  for (int i = 0;; ++i) {
    const double candidate = step * std::array{1.0, 2.0, 5.0}[i % 3];
    const double first = std::floor(low / candidate + 1e-9);
    const double last = std::ceil(high / candidate - 1e-9);
    if (last - first + 1 <= 6 || i > 30) {
      std::vector<double> ticks;
      for (double k = first; k <= last; ++k) ticks.push_back(k * candidate);
      return ticks;
    }
    if (i % 3 == 2) step *= 10;
  }
}

std::size_t table_sheet_count(const StudyReport& report) {
  const std::size_t per = rows_per_sheet(report);
  return std::max<std::size_t>(1, (report.rows.size() + per - 1) / per);
}

ReportSheet table_sheet(const StudyReport& report, std::size_t index) {
  ReportSheet sheet;
  sheet.texts.push_back(
      text_in(report.with_group ? "QRST map study: measures against the reference group"
                                : "QRST map study: measures (no reference group)",
              {margin, margin, page_area.width, 24}, heading_font, TextAlign::left, true));
  add_scales(sheet, report.scales, report.with_group);
  const std::size_t per = rows_per_sheet(report);
  const std::size_t first = std::min(report.rows.size(), index * per);
  const std::size_t last = std::min(report.rows.size(), first + per);
  const double end = add_table(sheet, body_top, report.columns, report.rows, first, last, 0.2);
  if (!report.with_group) return sheet;
  const double top = end + 16;
  sheet.texts.push_back(text_in("KL coefficients of the mean maps",
                                {margin, top, page_area.width, 20}, chart_heading_font,
                                TextAlign::left, true));
  std::vector<std::string> header = {"file"};
  for (std::size_t k = 1; k <= report.kl_columns; ++k) header.push_back("KL " + std::to_string(k));
  if (report.kl_columns == 0) header.push_back("no KL basis");
  add_table(sheet, top + 24, header, report.kl_rows, std::min(report.kl_rows.size(), first),
            std::min(report.kl_rows.size(), last), 0.2);
  return sheet;
}

ReportSheet file_sheet(const ReportFilePage& page, const LeadLayout& layout,
                       const StudyScales& scales) {
  ReportSheet sheet;
  const std::string count = "  (" + beats_text(page.beats.size()) + ")";
  sheet.texts.push_back(text_in(
      fitted(page.file, page_area.width - text_width(count, heading_font), heading_font, true) +
          count,
      {margin, margin, page_area.width, 24}, heading_font, TextAlign::left, true));
  add_scales(sheet, scales, page.departure.has_value());
  // Four columns: the maps of the file across the top (mean, SD, AT,
  // ARI), its place against the group and its record below.
  const double w = page_area.width / 4;
  auto map_cell = [&](int column) {
    return PageBox{margin + w * column + 2, body_top, w - 4, map_height};
  };
  const double chart_top = body_top + map_height + 12;
  auto chart_cell = [&](int column) {
    return PageBox{margin + w * column + 6, chart_top, w - 16, page_area.bottom() - chart_top};
  };

  if (page.beats.empty()) return sheet;
  add_map(sheet, map_cell(0), on_scale(make_page(page.beats, layout, MapRequest{}), scales.mean));
  if (page.beats.size() >= 2) {
    MapRequest sd;
    sd.kind = MapKind::sd;
    add_map(sheet, map_cell(1), on_scale(make_page(page.beats, layout, sd), scales.sd));
  } else {
    add_heading(sheet, map_cell(1), "SD map: needs two beats");
  }
  add_timing_map(sheet, map_cell(2), page, layout, LeadKind::at, scales.activation);
  add_timing_map(sheet, map_cell(3), page, layout, LeadKind::ari, scales.ari);
  if (page.departure) {
    const PageBox cell = chart_cell(0);
    if (const auto z_map = departure_page(*page.departure, layout))
      add_map(sheet, {cell.left - 4, cell.top, w - 4, cell.height}, *z_map);
    else
      add_departure_summary(sheet, cell, *page.departure);
    add_kl_chart(sheet, chart_cell(1), page);
    add_ndi_chart(sheet, chart_cell(2), page);
  } else {
    add_heading(sheet, chart_cell(0), "No reference group: no departure, KL or NDI");
  }
  add_choices(sheet, chart_cell(3), page);
  return sheet;
}

}  // namespace ba

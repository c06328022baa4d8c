// The picture as described below any drawing library: what lies where on
// the page, checked on the description itself.

#include "map/picture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ba {
namespace {

ResultBeat dipole_beat(std::int32_t r_ms, double amplitude) {
  ResultBeat beat;
  beat.r_ms = r_ms;
  for (int n = 1; n <= lead_point_count; ++n) {
    const double column = (n - 1) / grid_side - 3.5, row = (n - 1) % grid_side - 3.5;
    beat.areas(n) = static_cast<std::int32_t>(std::lround(amplitude * (column + 0.3 * row) / 4.55));
  }
  return beat;
}

// The largest value is `amplitude` (lead 64: 3.5 + 0.3 x 3.5 = 4.55).
MapPage dipole_page(double amplitude, MapKind kind = MapKind::mean) {
  MapRequest request;
  request.kind = kind;
  return make_page({dipole_beat(100, amplitude), dipole_beat(900, amplitude * 0.9)},
                   default_layout(), request);
}

TEST(ColourBarTicks, StayWithinTheBar) {
  // Amplitudes whose scale does not end on a tick multiple (1226: the bar
  // spans +-1400 and ticks are every 400).
  for (const double amplitude : {1226.0, 1400.0, 37.0, 0.8, 95000.0, 3.0, 611.0}) {
    for (const MapKind kind : {MapKind::mean, MapKind::sd}) {
      SCOPED_TRACE(std::to_string(amplitude) + (kind == MapKind::sd ? " sd" : " mean"));
      const MapPage page = dipole_page(amplitude, kind);
      const ColourBar bar = compose_picture(page, 800, 600, MapDrawOptions{}).bar;
      ASSERT_GE(bar.ticks.size(), 2u);
      EXPECT_LE(bar.ticks.size(), 11u);
      for (const BarTick& tick : bar.ticks) {
        EXPECT_GE(tick.value, scale_bottom(page));
        EXPECT_LE(tick.value, page.limit);
        EXPECT_GE(tick.y, bar.box.top - 1e-9);
        EXPECT_LE(tick.y, bar.box.bottom() + 1e-9);
      }
      // Ascending values upward.
      EXPECT_LT(bar.ticks.front().value, bar.ticks.back().value);
      EXPECT_GT(bar.ticks.front().y, bar.ticks.back().y);
    }
  }
  // Mean maps reaching 950 and 1164.7: isolines every 200, scales to 1000
  // and 1200; the ticks every 200 (11 of them) and every 400 (7).
  struct Row {
    double amplitude;
    std::size_t ticks;
  };
  for (const Row& row : {Row{1000, 11}, Row{1226, 7}}) {
    SCOPED_TRACE(row.amplitude);
    EXPECT_EQ(
        compose_picture(dipole_page(row.amplitude), 800, 600, MapDrawOptions{}).bar.ticks.size(),
        row.ticks);
  }
}

// Four leads far wider than tall, or tall and narrow, in huge or tiny units.
LeadLayout stretched(double width, double height) {
  LeadLayout layout;
  const double places[][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0.5, 0.3}};
  for (int n = 1; n <= 5; ++n) {
    layout.leads(n).x = places[n - 1][0] * width;
    layout.leads(n).y = places[n - 1][1] * height;
    layout.leads(n).listed = true;
  }
  return layout;
}

TEST(MapPanel, EverythingStaysInTheMapArea) {
  struct Row {
    const char* label;
    LeadLayout layout;
    double width, height;
  };
  const Row rows[] = {
      {"default grid", default_layout(), 800, 600},
      {"1000 times wider than tall", stretched(1e3, 1), 800, 600},
      {"1000 times taller than wide", stretched(1e-3, 1), 400, 300},
      {"huge units", stretched(1e9, 7e8), 800, 600},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    LeadValues values;
    for (int n = 1; n <= lead_point_count; ++n) values(n) = n * 37 % 11 - 5;
    MapPage page = dipole_page(1000);
    page.layout = row.layout;
    page.frames[0].values = values;
    const MapPicture picture = compose_picture(page, row.width, row.height, MapDrawOptions{});
    ASSERT_EQ(picture.panels.size(), 1u);
    const MapPanel& panel = picture.panels[0];
    EXPECT_FALSE(panel.clip.overlaps(picture.title.box));
    EXPECT_FALSE(panel.clip.overlaps(picture.bar.box));
    for (const PageText& caption : picture.captions) EXPECT_FALSE(panel.clip.overlaps(caption.box));
    EXPECT_TRUE(panel.clip.holds(panel.field.box));
    for (const PageText& label : panel.labels)
      EXPECT_TRUE(panel.clip.holds(label.box)) << label.text;
  }
}

// The page units a text box and a circle share.
bool covers(const PageBox& box, PagePoint centre, double radius) {
  const double dx = std::max({box.left - centre.x, 0.0, centre.x - box.right()});
  const double dy = std::max({box.top - centre.y, 0.0, centre.y - box.bottom()});
  return std::hypot(dx, dy) < radius;
}

TEST(MapPanel, LabelsLegibleBesideTheMarks) {
  for (const double amplitude : {1226.0, -800.0}) {
    SCOPED_TRACE(amplitude);
    const MapPicture picture = compose_picture(dipole_page(amplitude), 800, 600, MapDrawOptions{});
    const MapPanel& panel = picture.panels.at(0);
    ASSERT_EQ(panel.marks.size(), 2u);
    // 64 lead numbers, then the two extremes' values.
    ASSERT_EQ(panel.labels.size(), 66u);
    for (const PageMark& mark : panel.marks)
      for (std::size_t k = 0; k < 64; ++k)
        EXPECT_FALSE(covers(panel.labels[k].box, mark.at, mark.radius))
            << "lead " << panel.labels[k].text << " under a mark";
    EXPECT_FALSE(panel.labels[64].box.overlaps(panel.labels[65].box));
    for (std::size_t k = 0; k < 64; ++k)
      for (std::size_t v : {64u, 65u})
        EXPECT_FALSE(panel.labels[k].box.overlaps(panel.labels[v].box))
            << panel.labels[v].text << " covers lead " << panel.labels[k].text;
    // Lead 55 sits on a deep red or blue, lead 29 near the white middle.
    const Ink light{255, 255, 255}, dark{30, 30, 30};
    EXPECT_EQ(panel.labels[54].ink, light);
    EXPECT_EQ(panel.labels[28].ink, dark);
  }
}

TEST(MapPanel, IsolineWeightsOfEachKind) {
  LeadDepartures z;
  for (int n = 1; n <= lead_point_count; ++n) z(n) = ((n - 1) / grid_side - 3.5) * 1.1;
  struct Row {
    const char* label;
    MapPage page;
    std::vector<double> heavy;
    double lowest;
  };
  const Row rows[] = {
      // -3.85..3.85 SD: every 1 SD, the +-2 lines heavier.
      {"departure", std::get<MapPage>(make_departure_page(z, default_layout())), {-2, 2}, -3},
      // -500..500 by 100: the zero line heavier.
      {"mean", dipole_page(500), {0}, -400},
      // 0..~60 from 0: no line at 0, none heavier.
      {"sd", dipole_page(500, MapKind::sd), {}, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const MapPicture picture = compose_picture(row.page, 800, 600, MapDrawOptions{});
    const auto& lines = picture.panels.at(0).isolines;
    ASSERT_FALSE(lines.empty());
    std::vector<double> heavy;
    double lowest = lines[0].level;
    for (const PageIsoline& line : lines) {
      lowest = std::min(lowest, line.level);
      if (line.heavy && (heavy.empty() || heavy.back() != line.level)) heavy.push_back(line.level);
      EXPECT_EQ(line.line.width, line.heavy ? 2.4 : 1.0);
    }
    EXPECT_EQ(heavy, row.heavy);
    EXPECT_NEAR(lowest, row.lowest, 1e-9);
    // The bar marks the same levels heavy; only the fixed departure scale,
    // which clips, has caps beyond its ends.
    std::vector<double> heavy_ticks;
    for (const BarTick& tick : picture.bar.ticks)
      if (tick.heavy) heavy_ticks.push_back(tick.value);
    EXPECT_EQ(heavy_ticks, row.heavy);
    EXPECT_EQ(picture.bar.caps.size(), row.heavy.size() == 2 ? 2u : 0u);
    for (const PageShape& cap : picture.bar.caps)
      for (const PagePoint& p : cap.points) {
        EXPECT_FALSE(p.y > picture.bar.box.top + 1e-9 && p.y < picture.bar.box.bottom() - 1e-9)
            << "a cap lies beyond the bar's ends";
        EXPECT_LE(p.y, picture.height);
      }
  }
  // The extremes of a departure in tenths of an SD: 3.85 is not read as 4.
  const MapPicture departure = compose_picture(rows[0].page, 800, 600, MapDrawOptions{});
  EXPECT_EQ(departure.captions.at(0).text.substr(0, 38), "max 3.9 at lead 57    min -3.9 at lead");
}

TEST(Sheet, CaptionsApartWithinTheirCells) {
  std::vector<ResultBeat> beats;
  for (int b = 0; b < 200; ++b) beats.push_back(dipole_beat(31999 - 150 * b, 900 + b));
  struct Row {
    double width, height;
  };
  for (const Row& row : {Row{800, 600}, Row{400, 300}, Row{1200, 450}}) {
    SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
    MapRequest request;
    request.kind = MapKind::sheet;
    request.most_frames = sheet_capacity(row.width, row.height);
    const MapPage page = make_page(beats, default_layout(), request);
    ASSERT_EQ(page.frames.size(), request.most_frames);
    ASSERT_LT(page.frames.size(), 200u) << "capped";
    const MapPicture picture = compose_picture(page, row.width, row.height, MapDrawOptions{});
    ASSERT_EQ(picture.captions.size(), page.frames.size());
    for (std::size_t a = 0; a < picture.captions.size(); ++a) {
      EXPECT_GE(picture.captions[a].size, 7) << "legible";
      EXPECT_GE(picture.captions[a].box.width + 1e-6,
                0.6 * picture.captions[a].size * picture.captions[a].text.size())
          << "fits its cell";
      for (std::size_t b = a + 1; b < picture.captions.size(); ++b)
        ASSERT_FALSE(picture.captions[a].box.overlaps(picture.captions[b].box)) << a << ", " << b;
      EXPECT_FALSE(picture.captions[a].box.overlaps(picture.panels[a].clip));
    }
  }
  EXPECT_EQ(sheet_capacity(800, 600), 81u);  // 9 x 9 cells of at least 72 x 60
  // Two maps of a layout ten times wider than tall: larger one above the other.
  MapRequest two;
  two.kind = MapKind::sheet;
  MapPage wide = make_page({beats[0], beats[1]}, stretched(10, 1), two);
  const MapPicture stacked = compose_picture(wide, 800, 600, MapDrawOptions{});
  ASSERT_EQ(stacked.captions.size(), 2u);
  EXPECT_EQ(stacked.captions[0].box.left, stacked.captions[1].box.left);
  EXPECT_LT(stacked.captions[0].box.top, stacked.captions[1].box.top);
}

}  // namespace
}  // namespace ba

namespace ba {
namespace {

TEST(DepartureMap, LeadsWithoutZAndFieldsBeyondTheScale) {
  // Every lead 3 SD out but lead 28, which has no z: the field there is
  // interpolated from its neighbours (3), not read as 0.
  LeadDepartures flat;
  for (int n = 1; n <= lead_point_count; ++n) flat(n) = 3;
  flat(28) = std::nullopt;
  const MapPage hollow = std::get<MapPage>(make_departure_page(flat, default_layout()));
  const SampledField field = sample_field(hollow.layout, hollow.frames.at(0).values, 8, 8);
  EXPECT_NEAR(field.at(3, 3), 3, 1e-3) << "lead 28 sits at column 3, row 3";

  // -105..105 SD: lines only at the 9 levels the -4..4 scale shows.
  LeadDepartures steep;
  for (int n = 1; n <= lead_point_count; ++n) steep(n) = ((n - 1) / grid_side - 3.5) * 30;
  const MapPicture picture = compose_picture(
      std::get<MapPage>(make_departure_page(steep, default_layout())), 800, 600, MapDrawOptions{});
  const auto& lines = picture.panels.at(0).isolines;
  ASSERT_FALSE(lines.empty());
  for (const PageIsoline& line : lines) EXPECT_LE(std::abs(line.level), 4) << line.level;
}

}  // namespace
}  // namespace ba

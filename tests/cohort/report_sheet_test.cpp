// The study report's pages as descriptions: the table pages with the KL
// table, one colour scale for the whole study, chart axes that show the
// values they hold, and everything inside the page.

#include "cohort/report_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace ba {
namespace {

// `count` beats of a dipole of `amplitude` across the default grid, with a
// small beat-to-beat wobble.
StudyFile dipole_file(const std::string& name, double amplitude, int count) {
  StudyFile file;
  file.name = name;
  for (int b = 0; b < count; ++b) {
    ResultBeat beat;
    beat.r_ms = 400 + 800 * b;
    for (int n = 1; n <= lead_point_count; ++n)
      beat.areas(n) = static_cast<std::int32_t>(
          std::lround(amplitude * (((n - 1) / grid_side) - 3.5) / 3.5 + (n * 7 + b * 3) % 5));
    file.beats.push_back(beat);
  }
  return file;
}

bool has_text(const ReportSheet& sheet, const std::string& text) {
  return std::any_of(sheet.texts.begin(), sheet.texts.end(),
                     [&](const PageText& t) { return t.text == text; });
}

TEST(AxisTicks, OneTwoFiveStepsCoveringTheValues) {
  struct Row {
    const char* label;
    double low, high;
    std::vector<double> ticks;
  } rows[] = {
      {"normal NDI values", 0, 0.0031, {0, 0.001, 0.002, 0.003, 0.004}},
      {"NDI up to 1", 0, 1, {0, 0.2, 0.4, 0.6, 0.8, 1}},
      {"KL coefficients of both signs", -37, 120, {-50, 0, 50, 100, 150}},
      {"nothing to show", 0, 0, {0, 0.2, 0.4, 0.6, 0.8, 1}},
  };
  for (const Row& row : rows) {
    const std::vector<double> ticks = axis_ticks(row.low, row.high);
    ASSERT_EQ(ticks.size(), row.ticks.size()) << row.label;
    for (std::size_t k = 0; k < ticks.size(); ++k)
      EXPECT_NEAR(ticks[k], row.ticks[k], 1e-12) << row.label;
  }
}

TEST(ReportTable, MeasuresThenKlCoefficientsPageByPage) {
  struct Row {
    const char* label;
    std::size_t files;
    bool group;
    std::size_t pages;
    std::size_t last_page_rows;
  } rows[] = {
      {"no file rows still make a page", 0, false, 1, 0},
      {"30 files alone fill one page", 30, false, 1, 30},
      {"31 alone need two", 31, false, 2, 1},
      {"with a group, 15 a page and their KL rows below", 16, true, 2, 1},
  };
  for (const Row& row : rows) {
    StudyReport report;
    report.columns = report_columns();
    report.with_group = row.group;
    report.kl_columns = row.group ? 2 : 0;
    for (std::size_t f = 0; f < row.files; ++f) {
      report.rows.push_back({"f" + std::to_string(f)});
      if (row.group) report.kl_rows.push_back({"f" + std::to_string(f), "1.5", "-2"});
    }
    ASSERT_EQ(table_sheet_count(report), row.pages) << row.label;
    const ReportSheet last = table_sheet(report, row.pages - 1);
    const auto named = std::count_if(last.texts.begin(), last.texts.end(), [](const PageText& t) {
      return !t.text.empty() && t.text[0] == 'f' && t.text != "file";
    });
    EXPECT_EQ(static_cast<std::size_t>(named), row.last_page_rows * (row.group ? 2 : 1))
        << row.label;
    EXPECT_EQ(has_text(last, "KL 2"), row.group) << row.label;
    for (const PageText& text : last.texts)
      EXPECT_TRUE((PageBox{0, 0, report_width, report_height}.holds(text.box))) << text.text;
  }
}

TEST(ReportFile, OneColourScaleForTheStudyStatedOnEveryPage) {
  const LeadSet leads = usable_leads(default_layout());
  const StudyFile weak = dipole_file("weak.txt", 40, 3);
  const StudyFile strong = dipole_file("strong.txt", 900, 3);
  const StudyFile single = dipole_file("single.txt", 100, 1);
  StudyReport report;
  for (const StudyFile* file : {&weak, &strong, &single})
    add_study_file(report, *file, leads, nullptr, default_layout());
  // The means reach -899..903 (the strong dipole and its wobble): a step of
  // 200 and a scale of -1000..1000.
  EXPECT_EQ(report.scales.mean.limit, 1000);
  EXPECT_EQ(report.scales.mean.step, 200);

  const ReportSheet weak_page = file_sheet(describe_file(weak, leads, nullptr, std::nullopt),
                                           default_layout(), report.scales);
  const ReportSheet strong_page = file_sheet(describe_file(strong, leads, nullptr, std::nullopt),
                                             default_layout(), report.scales);
  ASSERT_EQ(weak_page.maps.size(), 2u) << "mean and SD";
  for (std::size_t m = 0; m < 2; ++m) {
    const ColourBar& a = weak_page.maps[m].picture.bar;
    const ColourBar& b = strong_page.maps[m].picture.bar;
    ASSERT_EQ(a.ticks.size(), b.ticks.size()) << m;
    for (std::size_t k = 0; k < a.ticks.size(); ++k) EXPECT_EQ(a.ticks[k].value, b.ticks[k].value);
  }
  EXPECT_EQ(weak_page.texts.at(1).text,
            "Colour scales on every page: mean maps -1000..1000 AQRST (isolines every "
            "200), SD maps 0.0..2.0 AQRST (isolines every 0.2)")
      << "no departure maps without a group";
  EXPECT_TRUE(has_text(weak_page, "weak.txt  (3 beats)"));
  const ReportSheet single_page = file_sheet(describe_file(single, leads, nullptr, std::nullopt),
                                             default_layout(), report.scales);
  EXPECT_TRUE(has_text(single_page, "single.txt  (1 beat)"));
  EXPECT_TRUE(has_text(single_page, "SD map: needs two beats"));
}

// The lead table of `file`: every lead activated at `first_at` + 5 ms per
// column of the grid and recovered at 250 ms, lead `untimed` not timed.
std::vector<BeatLeads> lead_table(const StudyFile& file, int first_at, int untimed = 0) {
  std::vector<BeatLeads> table;
  for (const ResultBeat& beat : file.beats) {
    BeatLeads leads;
    leads.r_ms = beat.r_ms;
    for (int n = 1; n <= lead_point_count; ++n) {
      leads.qrst_area(n) = beat.areas(n);
      if (n == untimed || untimed < 0) continue;
      leads.at_ms(n) = first_at + 5 * ((n - 1) / grid_side);
      leads.rt_ms(n) = 250;
    }
    table.push_back(leads);
  }
  return table;
}

// The AT and ARI maps beside the QRST maps share one scale for the study,
// fitted to every file's mean times, and the table gives the timing
// measures; a file without a lead table, or one that times no lead, says so
// where its maps would be.
TEST(ReportFile, TimingMapsOnOneScaleBesideTheQrstMaps) {
  const LeadSet leads = usable_leads(default_layout());
  StudyFile early = dipole_file("early.txt", 100, 3);
  early.leads = lead_table(early, 20, 9);  // AT 20..55, ARI 195..230 ms
  StudyFile late = dipole_file("late.txt", 100, 3);
  late.leads = lead_table(late, 30);  // AT 30..65, ARI 185..220 ms
  StudyFile bare = dipole_file("bare.txt", 100, 3);
  StudyFile flat = dipole_file("flat.txt", 100, 3);
  flat.leads = lead_table(flat, 0, -1);
  StudyReport report;
  for (const StudyFile* file : {&early, &late, &bare, &flat})
    add_study_file(report, *file, leads, nullptr, default_layout());
  // Total activation 55 - 20, ARI over 230..195, RT the same everywhere.
  const std::vector<std::string> timing = {"35", "35", "0"};
  EXPECT_EQ(std::vector<std::string>(report.rows[0].end() - 3, report.rows[0].end()), timing);
  EXPECT_EQ(report.rows[2].back(), "-") << "no lead table";

  const auto sheet = [&](const StudyFile& file) {
    return file_sheet(describe_file(file, leads, nullptr, std::nullopt), default_layout(),
                      report.scales);
  };
  const ReportSheet early_page = sheet(early);
  const ReportSheet late_page = sheet(late);
  EXPECT_EQ(early_page.texts.at(2).text,
            "Timing maps: AT maps 20..65 ms (isochrones every 5), ARI maps 185..230 ms "
            "(isochrones every 5)");
  ASSERT_EQ(early_page.maps.size(), 4u) << "mean, SD, AT and ARI";
  ASSERT_EQ(late_page.maps.size(), 4u);
  for (std::size_t m : {2u, 3u}) {
    const ColourBar& a = early_page.maps[m].picture.bar;
    const ColourBar& b = late_page.maps[m].picture.bar;
    ASSERT_FALSE(a.ticks.empty());
    EXPECT_EQ(a.ticks.front().value, m == 2 ? 20 : 185) << m;
    EXPECT_EQ(a.ticks.back().value, m == 2 ? 65 : 230) << m;
    ASSERT_EQ(a.ticks.size(), b.ticks.size()) << m;
    for (std::size_t k = 0; k < a.ticks.size(); ++k) EXPECT_EQ(a.ticks[k].value, b.ticks[k].value);
  }
  for (const PlacedMap& map : early_page.maps)
    EXPECT_TRUE((PageBox{0, 0, report_width, report_height}.holds(
        {map.at.x, map.at.y, map.picture.width, map.picture.height})));

  const ReportSheet bare_page = sheet(bare);
  EXPECT_EQ(bare_page.maps.size(), 2u);
  EXPECT_TRUE(has_text(bare_page, "AT map: no lead table"));
  EXPECT_TRUE(has_text(bare_page, "ARI map: no lead table"));
  const ReportSheet flat_page = sheet(flat);
  EXPECT_EQ(flat_page.maps.size(), 2u);
  EXPECT_TRUE(has_text(flat_page, "AT map: too few leads timed"));
}

TEST(ReportFile, ChartsAgainstAGroupShowTheirValues) {
  const LeadSet leads = usable_leads(default_layout());
  std::vector<LeadValues> means;
  for (int p = 0; p < 6; ++p) {
    LeadValues map;
    for (int n : leads)
      map(n) = 100 * std::cos(0.5 * ((n - 1) / grid_side) + p) + 30 * std::sin(n * (p + 1));
    means.push_back(map);
  }
  const ReferenceGroup group = std::get<ReferenceGroup>(make_reference_group(means, leads));
  ASSERT_GE(group.basis.size(), 4u);
  StudyFile file = dipole_file("p.txt", 100, 4);
  ReportFilePage page = describe_file(file, leads, &group, std::nullopt);
  // NDI of normal size: the axis ends just above it, not at 1.
  page.ndi_over_time = {{0.4, 0.0012}, {1.2, 0.0031}};
  const ReportSheet sheet = file_sheet(page, default_layout(), StudyScales{});
  EXPECT_EQ(sheet.maps.size(), 3u) << "mean, SD and departure";
  EXPECT_TRUE(has_text(sheet, "0.004"));
  EXPECT_FALSE(has_text(sheet, "1.000"));
  // The KL chart labels a tick at zero and values on both sides of it.
  EXPECT_TRUE(has_text(sheet, "0"));
  for (std::size_t k = 1; k <= page.kl.size(); ++k)
    EXPECT_TRUE(has_text(sheet, std::to_string(k))) << "basis vector " << k;
  for (const PageText& text : sheet.texts)
    EXPECT_TRUE((PageBox{0, 0, report_width, report_height}.holds(text.box))) << text.text;
  // Ten thousand beats: no dots, and a line of a few points per unit across.
  page.ndi_over_time.clear();
  for (int b = 0; b < 10000; ++b) page.ndi_over_time.emplace_back(b * 0.85, 0.001 * (b % 7));
  const ReportSheet long_sheet = file_sheet(page, default_layout(), StudyScales{});
  EXPECT_TRUE(long_sheet.dots.empty());
  for (const PageLine& line : long_sheet.lines) EXPECT_LE(line.points.size(), 4 * 400u);
  for (const PlacedMap& map : sheet.maps)
    EXPECT_TRUE((PageBox{0, 0, report_width, report_height}.holds(
        {map.at.x, map.at.y, map.picture.width, map.picture.height})));
}

}  // namespace
}  // namespace ba

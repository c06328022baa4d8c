// What a study report's pages are made of: the record found beside a result
// file, its choices, and the leads a map of the study can be drawn over.

#include "cohort/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "map/values.h"

namespace ba {
namespace {

TEST(RecordPath, LastExtensionReplaced) {
  struct Row {
    const char* result;
    const char* record;
  } rows[] = {
      {"data/map/demost.txt", "data/map/demost.record.json"},
      {"old.folder/pat1st", "old.folder/pat1st.record.json"},
      {"a.b.TXT", "a.b.record.json"},
  };
  for (const Row& row : rows) EXPECT_EQ(record_path(row.result), row.record) << row.result;
}

TEST(RecordChoices, ReadFromTheRecordBesideTheResult) {
  StudyFile file;
  file.name = "pst.txt";
  file.beats.resize(1);
  const std::string record =
      R"({"measured_by": "c", "reference_beat": {"r_ms": 4300},
          "fiducial_points": {"pq": {"index": 4220, "ms_from_r": -80},
                              "t_end": {"index": 4680, "ms_from_r": 380}},
          "conditions": {"correlation_threshold": "0.95", "amplitude_ratio": 0.5}})";
  struct Row {
    const char* label;
    std::optional<std::string> record;
    std::vector<std::pair<std::string, std::string>> choices;
    std::string note;
  } rows[] = {
      {"every choice present, in reading order",
       record,
       {{"measured by", "c"},
        {"reference beat R (ms)", "4300"},
        {"PQ point (ms from R)", "-80"},
        {"T end (ms from R)", "380"},
        {"correlation threshold", "0.95"},
        {"amplitude ratio", "0.5"}},
       ""},
      {"no record", std::nullopt, {}, "no analysis record beside the result file"},
      {"not JSON", std::string("{\"measured_by\":"), {}, "the analysis record is not JSON"},
      {"JSON but no object", std::string("[\"c\"]"), {}, "the analysis record is not JSON"},
  };
  for (const Row& row : rows) {
    const ReportFilePage page = describe_file(file, {1, 2, 3, 4}, nullptr, row.record);
    EXPECT_EQ(page.choices, row.choices) << row.label;
    EXPECT_EQ(page.record_note, row.note) << row.label;
  }
}

// Four orthogonal patterns make the group; a beat on the first has NDI 0,
// one on the fourth NDI 1, each at its R time in seconds.
TEST(FilePage, NdiOverTimeOfEveryBeat) {
  auto beat_of = [](std::int32_t r_ms, std::initializer_list<std::pair<int, int>> areas) {
    ResultBeat beat;
    beat.r_ms = r_ms;
    for (const auto& [lead, area] : areas) beat.areas(lead) = area;
    return beat;
  };
  std::vector<LeadValues> maps;
  for (const auto& areas : {std::initializer_list<std::pair<int, int>>{{1, 40}, {2, 40}},
                            {{5, 30}},
                            {{9, 20}},
                            {{20, 8}, {21, 6}}})
    maps.push_back(beat_values(beat_of(0, areas), 1.0));
  const LeadSet leads = usable_leads(default_layout());
  const auto group = std::get<ReferenceGroup>(make_reference_group(maps, leads));
  StudyFile file;
  file.name = "f.txt";
  file.beats = {beat_of(1000, {{1, 5}, {2, 5}}), beat_of(2500, {{20, 4}, {21, 3}})};
  const ReportFilePage page = describe_file(file, leads, &group, std::nullopt);
  ASSERT_EQ(page.ndi_over_time.size(), 2u);
  EXPECT_EQ(page.ndi_over_time[0].first, 1.0);
  EXPECT_NEAR(page.ndi_over_time[0].second, 0.0, 1e-12);
  EXPECT_EQ(page.ndi_over_time[1].first, 2.5);
  EXPECT_NEAR(page.ndi_over_time[1].second, 1.0, 1e-12);
  EXPECT_EQ(page.bands.size(), 4u);
}

TEST(ReportTable, CellsOfAFileRow) {
  MetricsRow alone;
  alone.file = "a.txt";
  alone.beats = 3;
  alone.extremes = {123456, 5, -0.000123456, 9};
  alone.variability = 2.0 / 3.0;
  MetricsRow no_z = alone;
  no_z.departure = Departure{};  // a group, but no lead with spread
  MetricsRow with_z = alone;
  with_z.ndi = 0.25;
  with_z.ndi_beats_mean = 1.0 / 3.0;
  with_z.ndi_beats_sd = 0.1;
  with_z.departure = Departure{};
  with_z.departure->max_abs_z = 3.14159;
  with_z.departure->max_abs_z_lead = 7;
  with_z.departure->leads_z2 = 4;
  with_z.departure->leads_z3 = 1;
  with_z.timing.total_activation = 41.25;
  with_z.timing.ari_range = 0;
  const std::vector<std::string> head = {"a.txt", "3", "1.235e+05 (5)", "-0.0001235 (9)", "0.6667"};
  auto cells = [&](std::vector<std::string> tail) {
    std::vector<std::string> all = head;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  struct Row {
    const char* label;
    const MetricsRow& row;
    std::vector<std::string> cells;
  } rows[] = {
      {"without a group", alone, cells({"-", "-", "-", "-", "-", "-", "-", "-", "-"})},
      {"a group that gives no z", no_z, cells({"-", "-", "-", "-", "-", "-", "-", "-", "-"})},
      {"against a group, two timing measures", with_z,
       cells({"0.25", "0.3333", "0.1", "3.142 (7)", "4", "1", "41.25", "0", "-"})},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(report_cells(row.row), row.cells) << row.label;
    EXPECT_EQ(report_cells(row.row).size(), report_columns().size()) << row.label;
  }
}

TEST(LayoutOver, OnlyTheStudyLeadsAndOnlyWithAnArea) {
  const LeadLayout grid = default_layout();
  // Grid lead n sits in column (n - 1) / 8, row (n - 1) mod 8.
  struct Row {
    const char* label;
    LeadSet leads;
    bool mapped;
  } rows[] = {
      {"four corners of a square", {1, 8, 57, 64}, true},
      {"one column of the grid", {1, 2, 3, 4, 5, 6, 7, 8}, false},
      {"three leads", {1, 8, 64}, false},
      {"a triangle round a fourth lead", {1, 8, 10, 57}, true},
  };
  for (const Row& row : rows) {
    const auto kept = layout_over(grid, row.leads);
    ASSERT_EQ(kept.has_value(), row.mapped) << row.label;
    if (!kept) continue;
    for (int n = 1; n <= lead_point_count; ++n)
      EXPECT_EQ(kept->leads(n).usable(),
                std::find(row.leads.begin(), row.leads.end(), n) != row.leads.end())
          << n;
    EXPECT_FALSE(kept->regular_grid) << "a grid with leads left out is no full grid";
  }
  EXPECT_TRUE(layout_over(grid, usable_leads(grid))->regular_grid);
}

TEST(DeparturePage, ZOnAFixedScaleWithoutTheLeadsLeftOut) {
  Departure found;
  for (int n = 1; n <= lead_point_count; ++n) found.z(n) = n == 1 ? -2.5 : 0.5;
  found.z(9) = std::nullopt;
  const auto page = departure_page(found, default_layout());
  ASSERT_TRUE(page.has_value());
  EXPECT_EQ(page->limit, 4);
  EXPECT_EQ(page->step, 1);
  ASSERT_EQ(page->frames.size(), 1u);
  EXPECT_EQ(page->frames[0].values(1), -2.5);
  EXPECT_EQ(page->frames[0].values(2), 0.5);
  EXPECT_FALSE(page->layout.leads(9).usable()) << "no z: left out";
  EXPECT_TRUE(page->layout.leads(1).usable());
}

}  // namespace
}  // namespace ba

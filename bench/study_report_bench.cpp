// The study report: making and painting the pages of eight recordings of 32
// beats, each with its lead table, against a reference group (targets:
// under 0.1 s and 300 kB a recording's page; the pages leave as they are
// painted, so memory does not grow with the number of recordings).

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "cohort/report.h"
#include "cohort/report_sheet.h"
#include "platform/report_pdf.h"

namespace ba::bench {
namespace {

// 32 beats of a dipolar map turned a little further for each person.
StudyFile person(int index) {
  StudyFile file;
  file.name = "p" + std::to_string(index) + "st.txt";
  for (int b = 0; b < 32; ++b) {
    ResultBeat beat;
    beat.r_ms = 435 + 850 * b;
    for (int n = 1; n <= lead_point_count; ++n) {
      const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
      beat.areas(n) = static_cast<std::int32_t>(
          std::lround(180 * std::cos(0.55 * column + 0.2 * index) + 40 * std::sin(0.9 * row) +
                      (n * 37 + b * 11 + index * 5) % 23));
    }
    file.beats.push_back(beat);
  }
  // Its lead table, for the AT and ARI maps: activation spreading across
  // the grid, recovery a little later on one side.
  std::vector<BeatLeads> table;
  for (const ResultBeat& beat : file.beats) {
    BeatLeads leads;
    leads.r_ms = beat.r_ms;
    for (int n = 1; n <= lead_point_count; ++n) {
      const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
      leads.qrst_area(n) = beat.areas(n);
      leads.at_ms(n) = 20 + 4 * column + row + index % 3;
      leads.rt_ms(n) = 240 + 3 * row - column;
    }
    table.push_back(leads);
  }
  file.leads = std::move(table);
  return file;
}

void BM_StudyReportEightRecordings(benchmark::State& st) {
  constexpr int recordings = 8;
  const LeadSet leads = usable_leads(default_layout());
  std::vector<LeadValues> means;
  std::vector<StudyFile> files;
  for (int i = 0; i < recordings; ++i) {
    files.push_back(person(i));
    means.push_back(mean_map(beat_maps(files.back().beats), leads));
  }
  const ReferenceGroup group = std::get<ReferenceGroup>(make_reference_group(means, leads));
  std::size_t bytes = 0;
  for (auto _ : st) {
    StudyReport report;
    report.columns = report_columns();
    report.with_group = true;
    for (const StudyFile& file : files)
      add_study_file(report, file, leads, &group, default_layout());
    const std::size_t tables = table_sheet_count(report);
    bytes = 0;
    const auto failure = paint_study_report(
        tables + files.size(),
        [&](std::size_t index) -> std::variant<ReportSheet, std::string> {
          if (index < tables) return table_sheet(report, index);
          return file_sheet(describe_file(files[index - tables], leads, &group, std::nullopt),
                            default_layout(), report.scales);
        },
        [&](std::string_view written) { bytes += written.size(); });
    benchmark::DoNotOptimize(failure);
  }
  st.counters["kB_per_recording"] = static_cast<double>(bytes) / 1000 / recordings;
  st.counters["per_recording_s"] =
      benchmark::Counter(static_cast<double>(recordings) * static_cast<double>(st.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StudyReportEightRecordings)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ba::bench

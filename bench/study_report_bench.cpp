// The study report: making and painting the pages of eight recordings of 32
// beats against a reference group (target under 0.2 s a recording).

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "cohort/report.h"
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
  for (auto _ : st) {
    StudyReport report;
    report.columns = report_columns();
    report.with_group = true;
    for (const StudyFile& file : files) {
      report.rows.push_back(report_cells(study_rows(file, leads, &group, false).front()));
      report.pages.push_back(describe_file(file, leads, &group, std::nullopt));
    }
    const QByteArray pdf = study_report_pdf(report, default_layout());
    benchmark::DoNotOptimize(pdf.constData());
  }
  st.counters["per_recording_s"] =
      benchmark::Counter(static_cast<double>(recordings) * static_cast<double>(st.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StudyReportEightRecordings)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ba::bench

// The import and export verbs' work, file reads and writes included.
// Targets: import of a 32 s, 72-signal EDF at 1000 per second under 100 ms,
// of a 40 s, 72-signal BDF at 2048 per second (converted) under 200 ms on
// two cores; each export under 100 ms.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "interchange/csv_tables.h"
#include "interchange/edf_file.h"
#include "interchange/log_reader.h"
#include "interchange/recording_export.h"
#include "interchange/recording_import.h"
#include "runtime/files.h"
#include "support/edf_bytes.h"

namespace ba::bench {
namespace {

namespace fs = std::filesystem;

HostFileOps files;

void write_output(const fs::path& path, std::string_view bytes) { files.replace_file(path, bytes); }

// An EDF (or BDF) of 72 signals at `rate` per second, `seconds` long,
// beside the demonstration recording, written once.
fs::path edf_at(int rate, int seconds = 32, bool bdf = false) {
  const fs::path path =
      DemoFolder::get().path() /
      ("rate" + std::to_string(rate) + "x" + std::to_string(seconds) + (bdf ? ".bdf" : ".edf"));
  if (fs::exists(path)) return path;
  test::EdfContents contents;
  contents.records = seconds;
  contents.bdf = bdf;
  for (int s = 1; s <= channel_count; ++s) {
    test::EdfSignalContents signal;
    signal.label = "s" + std::to_string(s);
    signal.samples_per_record = rate;
    signal.value = [s](std::int64_t i) { return static_cast<std::int32_t>((i * s) % 4000 - 2000); };
    contents.signals.push_back(signal);
  }
  const std::string bytes = test::edf_bytes(contents);
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

void import_file(benchmark::State& st, const fs::path& input) {
  const fs::path output = DemoFolder::get().path() / "in.dat";
  for (auto _ : st) {
    auto opened = EdfFile::open(files, input);
    if (opened.index() != 0) return st.SkipWithError(std::get<1>(opened).c_str());
    EdfFile& file = *std::get<0>(opened);
    const auto chosen = std::get<ChannelSignals>(choose_signals(file.signals(), ""));
    auto imported = import_recording(file, chosen, {0, 1.0});
    if (imported.index() != 0) return st.SkipWithError(std::get<1>(imported).c_str());
    const auto& bytes = std::get<0>(imported).bytes;
    write_output(output, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }
}

void BM_ImportEdf1000(benchmark::State& st) { import_file(st, edf_at(1000)); }
BENCHMARK(BM_ImportEdf1000)->Unit(benchmark::kMillisecond);

void BM_ImportEdf2048Converted(benchmark::State& st) { import_file(st, edf_at(2048)); }
BENCHMARK(BM_ImportEdf2048Converted)->Unit(benchmark::kMillisecond);

// 32 of the 40 s are kept and converted, with the filter's margin.
void BM_ImportBdf2048For40s(benchmark::State& st) { import_file(st, edf_at(2048, 40, true)); }
BENCHMARK(BM_ImportBdf2048For40s)->Unit(benchmark::kMillisecond)->UseRealTime();

// 200 beats, the most a selection holds.
std::vector<ResultBeat> full_selection() {
  std::vector<ResultBeat> beats(200);
  for (std::size_t b = 0; b < beats.size(); ++b) {
    beats[b].r_ms = static_cast<std::int32_t>(150 * b + 300);
    for (long lead = 1; lead <= lead_point_count; ++lead)
      beats[b].areas(lead) = static_cast<std::int32_t>(lead * 37 - static_cast<long>(b) * 11);
  }
  return beats;
}

void BM_ExportCsvWide(benchmark::State& st) {
  const auto beats = full_selection();
  for (auto _ : st) write_output(DemoFolder::get().path() / "wide.csv", result_csv_wide(beats));
}
BENCHMARK(BM_ExportCsvWide)->Unit(benchmark::kMillisecond);

void BM_ExportCsvLong(benchmark::State& st) {
  const auto beats = full_selection();
  for (auto _ : st) write_output(DemoFolder::get().path() / "long.csv", result_csv_long(beats));
}
BENCHMARK(BM_ExportCsvLong)->Unit(benchmark::kMillisecond);

// The log of ten c runs of 200 candidates each, read and written as the
// audit table.
void BM_ExportLogAudit(benchmark::State& st) {
  std::string log;
  for (int run = 0; run < 10; ++run) {
    log += " selected time        1187\r\n";
    for (int k = 1; k <= 200; ++k)
      log += " k=" + std::to_string(k) + " r=  0.9998485     ;  time_dif  -1  " +
             std::to_string(150 * k) + "\r\n";
  }
  for (auto _ : st) {
    const LogAudit audit = read_log_audit(log);
    write_output(DemoFolder::get().path() / "audit.csv", audit_csv(std::get<0>(audit)));
  }
}
BENCHMARK(BM_ExportLogAudit)->Unit(benchmark::kMillisecond);

void BM_ExportEdfPlus(benchmark::State& st) {
  const auto beats = full_selection();
  const fs::path output = DemoFolder::get().path() / "out.edf";
  for (auto _ : st) {
    const auto annotations = std::get<0>(beat_annotations(beats));
    write_edf_plus(files, output, recording_signals(demo_bytes(), 1.0), annotations);
  }
}
BENCHMARK(BM_ExportEdfPlus)->Unit(benchmark::kMillisecond);

void BM_ExportWfdbHeader(benchmark::State& st) {
  for (auto _ : st)
    write_output(DemoFolder::get().path() / "demo.hea",
                 wfdb_header("demo", "demo.dat", demo_bytes(), 1.0));
}
BENCHMARK(BM_ExportWfdbHeader)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ba::bench

// The QRST integral map: one 800 x 600 map (target under 10 ms), a sheet of
// 200 beats (under 1 s), and the whole `beat_analyser map` process (under
// 0.3 s, start-up of Qt included).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "map/page.h"
#include "platform/map_drawing.h"

namespace ba::bench {
namespace {

// Beats with a dipolar map that drifts a little from beat to beat, areas in
// the hundreds as the demonstration recording has them.
std::vector<ResultBeat> drifting_beats(int count) {
  std::vector<ResultBeat> beats(static_cast<std::size_t>(count));
  for (int b = 0; b < count; ++b) {
    beats[b].r_ms = 435 + 850 * b;
    for (int n = 1; n <= lead_point_count; ++n) {
      const int column = (n - 1) / grid_side, row = (n - 1) % grid_side;
      beats[b].areas(n) =
          static_cast<std::int32_t>(std::lround(180 * std::cos(0.55 * column + 0.05 * b) +
                                                40 * std::sin(0.9 * row) + (n * 37 + b * 11) % 23));
    }
  }
  return beats;
}

// The default grid's places with every lead moved a little, so that the
// thin-plate spline draws it.
LeadLayout jittered_layout() {
  LeadLayout layout = default_layout();
  layout.regular_grid = false;
  for (int n = 1; n <= lead_point_count; ++n) {
    layout.leads(n).x += 0.15 * std::sin(n * 1.7);
    layout.leads(n).y += 0.15 * std::cos(n * 2.3);
  }
  return layout;
}

void draw(benchmark::State& st, const LeadLayout& layout, MapKind kind, int beats) {
  MapRequest request;
  request.kind = kind;
  const MapPage page = make_page(drifting_beats(beats), layout, request);
  for (auto _ : st) {
    const QImage image = map_image(page, default_map_size, MapDrawOptions{});
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_MeanMapGrid(benchmark::State& st) { draw(st, default_layout(), MapKind::mean, 32); }
BENCHMARK(BM_MeanMapGrid)->Unit(benchmark::kMillisecond);

void BM_MeanMapThinPlate(benchmark::State& st) { draw(st, jittered_layout(), MapKind::mean, 32); }
BENCHMARK(BM_MeanMapThinPlate)->Unit(benchmark::kMillisecond);

void BM_Sheet200Beats(benchmark::State& st) { draw(st, default_layout(), MapKind::sheet, 200); }
BENCHMARK(BM_Sheet200Beats)->Unit(benchmark::kMillisecond);

// The result file of 32 beats as the program writes it: count, then per beat
// the R time and the 64 areas six to a line.
std::string result_text(const std::vector<ResultBeat>& beats) {
  std::string text = std::to_string(beats.size()) + "\r\n";
  for (const ResultBeat& beat : beats) {
    text += std::to_string(beat.r_ms) + "\r\n";
    for (int n = 1; n <= lead_point_count; ++n)
      text += " " + std::to_string(beat.areas(n)) + (n % 6 == 0 || n == 64 ? "\r\n" : "");
  }
  return text;
}

void BM_MapVerbProcess(benchmark::State& st) {
  namespace fs = std::filesystem;
  const auto program = fs::read_symlink("/proc/self/exe").parent_path() / "beat_analyser";
  if (!fs::exists(program)) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  const fs::path folder =
      fs::temp_directory_path() / ("beat_map_bench_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "demost.txt", std::ios::binary) << result_text(drifting_beats(32));
  const std::string command = program.string() + " map " + (folder / "demost.txt").string() +
                              " -o " + (folder / "map.png").string();
  for (auto _ : st)
    if (std::system(command.c_str()) != 0) {
      st.SkipWithError("beat_analyser map failed");
      break;
    }
  fs::remove_all(folder);
}
BENCHMARK(BM_MapVerbProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace ba::bench

// beat_analyser analyse --no-print on the demonstration recording as a whole
// process: start, the run with the reference beat and the three points, the
// result file, log and record written, end. Wall time of the process.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"

namespace ba::bench {
namespace {

void BM_AnalyseNoPrint(benchmark::State& st) {
  const auto program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "beat_analyser";
  if (!std::filesystem::exists(program)) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  const auto folder = DemoFolder::get().path();
  const std::string command = program.string() + " analyse " + (folder / "demo.dat").string() +
                              " --reference 1387 --pq -71 --q -46 --t-end 379 --no-print > " +
                              (folder / "out.txt").string() + " 2>&1";
  for (auto _ : st) {
    if (std::system(command.c_str()) != 0) {
      st.SkipWithError("the analysis did not end normally; see out.txt");
      break;
    }
  }
}
BENCHMARK(BM_AnalyseNoPrint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
}  // namespace ba::bench

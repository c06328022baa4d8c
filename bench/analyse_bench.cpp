// beat_analyser analyse --no-print on the demonstration recording as a whole
// process: start, the run with the reference beat and the three points, the
// result file, log and record written, end. Wall time of the process,
// started directly (no shell), and its processor time (cpu_ms).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

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
  double cpu_seconds = 0;
  for (auto _ : st) {
    const Measured run =
        run_measured({program.string(), "analyse", (folder / "demo.dat").string(), "--reference",
                      "1387", "--pq", "-71", "--q", "-46", "--t-end", "379", "--no-print"});
    if (run.largest_mb < 0) {
      st.SkipWithError("the analysis did not end normally");
      break;
    }
    cpu_seconds += run.cpu_seconds;
  }
  st.counters["cpu_ms"] =
      benchmark::Counter(1000 * cpu_seconds / static_cast<double>(st.iterations()));
}
BENCHMARK(BM_AnalyseNoPrint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// The proposal alone (propose) and the analysis on it (analyse --auto
// --no-print), each as a whole process.
void run_arguments(benchmark::State& st, std::vector<std::string> arguments) {
  const auto program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "beat_analyser";
  if (!std::filesystem::exists(program)) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  arguments.insert(arguments.begin(), program.string());
  double cpu_seconds = 0;
  for (auto _ : st) {
    const Measured run = run_measured(arguments);
    if (run.largest_mb < 0) {
      st.SkipWithError("the run did not end normally");
      break;
    }
    cpu_seconds += run.cpu_seconds;
  }
  st.counters["cpu_ms"] =
      benchmark::Counter(1000 * cpu_seconds / static_cast<double>(st.iterations()));
}

void BM_Propose(benchmark::State& st) {
  run_arguments(st, {"propose", (DemoFolder::get().path() / "demo.dat").string()});
}
BENCHMARK(BM_Propose)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_AnalyseAutoNoPrint(benchmark::State& st) {
  run_arguments(
      st, {"analyse", (DemoFolder::get().path() / "demo.dat").string(), "--auto", "--no-print"});
}
BENCHMARK(BM_AnalyseAutoNoPrint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
}  // namespace ba::bench

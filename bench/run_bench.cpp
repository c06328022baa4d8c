// A whole headless run of the built program on the demonstration recording,
// from start-up to x: select the second beat, mark PQ, Q start and T end,
// compute with printing on, save the result file and end. Wall time of the
// process, start-up of Qt included.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench_support.h"

namespace ba::bench {
namespace {

constexpr const char* session_script =
    "1\n"     // keep the analysis conditions (printing on)
    "demo\n"  // recording name
    "s\n"     // select the beat under column 208 (sample about 1,387)
    "!click 208 150\n"
    "y\n"
    "s\n"  // mark PQ point, Q start and T end
    "!click 78 150\n"
    "!click 93 150\n"
    "!click 348 150\n"
    "y\n"
    "x\n"
    "c\n"  // compute every beat, print the strips
    "d\n"  // save the result file
    "y\n"
    "x\n";

void BM_HeadlessRun(benchmark::State& st) {
  const auto program =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "beat_analyser";
  if (!std::filesystem::exists(program)) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  const auto folder = DemoFolder::get().path();
  const auto script = folder / "session.txt";
  std::ofstream(script) << session_script;
  const std::string command = program.string() + " --headless --data-dir " + folder.string() +
                              " < " + script.string() + " > " + (folder / "out.txt").string() +
                              " 2>&1";
  for (auto _ : st) {
    if (std::system(command.c_str()) != 0) {
      st.SkipWithError("the run did not end normally; see out.txt");
      break;
    }
  }
}
BENCHMARK(BM_HeadlessRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
}  // namespace ba::bench

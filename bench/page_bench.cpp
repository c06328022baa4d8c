// One print page of 32 beat strips drawn with the Qt surfaces and saved as
// a BMP image, as command c does when printing is on.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <istream>
#include <sstream>

#include "bench_support.h"
#include "compute/compute.h"
#include "dialogue/paths.h"
#include "platform/headless_platform.h"

namespace ba::bench {
namespace {

// The host file system, under every window and platform made here.
HostFileOps disk;

void BM_PrintPage(benchmark::State& st) {
  std::istringstream no_input;
  std::ostream no_output(nullptr);  // the window lines of a page go nowhere
  HeadlessPlatform platform(disk, no_input, no_output);
  DemoSession session(platform);
  ProgramState& state = *session.state;
  build_paths("demo  ", state.paths);
  detect(state.recording.sample_matrix, state.conditions, max_span, preview_reference_end, false,
         state.detection);
  sort_candidates(state.detection);
  count_candidates(state.detection);
  recognise(session.io, state.recording.sample_matrix, state.conditions.corr_threshold,
            state.detection, state.recognition);
  session.io.open_window(graphics_unit);
  state.conditions.print_flag = 0;  // measured only; the pages are drawn below
  clear_selection(state.selection);
  measure_and_print_beats(compute_context(state), session.io);
  state.conditions.print_flag = 1;
  const int strips = std::min(state.selection.n_accepted, 32);
  state.print.image_no = 1;
  state.print.print_unit = first_print_unit;
  page_setup(state.print, state.paths, session.io);
  for (auto _ : st) {
    // The same page again: cleared, its grid back at the first strip.
    platform.clear_window();
    state.print.off_x = 50;
    state.print.off_y = 80;
    for (int b = 1; b <= strips; ++b)
      print_beat(compute_context(state), session.io, state.selection.accepted_beats(b));
    final_page(state.print, state.paths, session.io);
  }
  st.counters["strips"] = strips;
}
BENCHMARK(BM_PrintPage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ba::bench

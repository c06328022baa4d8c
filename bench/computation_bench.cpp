// The program's computations on the demonstration recording, without
// drawing: loading, the preview detection and command c's detection,
// recognition and measurement over the whole 32 s.

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "compute/compute.h"
#include "compute/lead_timing.h"
#include "detection/recognition.h"
#include "recording/recording.h"

namespace ba::bench {
namespace {

// The 4.6 MB of the file turned into the sample matrix.
void BM_UnpackRecording(benchmark::State& st) {
  auto recording = std::make_unique<RecordingState>();
  for (auto _ : st) {
    unpack_recording(demo_bytes(), recording->sample_matrix);
    benchmark::DoNotOptimize(recording->sample_matrix.data());
  }
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                       static_cast<std::int64_t>(recording_bytes));
}
BENCHMARK(BM_UnpackRecording)->Unit(benchmark::kMillisecond);

// The same from the file in the data folder, as the program reads it.
void BM_LoadRecording(benchmark::State& st) {
  NullPlatform platform;
  HostFileOps files;
  Io io(platform, DataFolder(DemoFolder::get().path()), files);
  auto recording = std::make_unique<RecordingState>();
  for (auto _ : st) {
    load_recording(io, "d:\\data\\map\\demo.dat          ", *recording);
    benchmark::DoNotOptimize(recording->sample_matrix.data());
  }
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) *
                       static_cast<std::int64_t>(recording_bytes));
}
BENCHMARK(BM_LoadRecording)->Unit(benchmark::kMillisecond);

void BM_PreviewDetection(benchmark::State& st) {
  NullPlatform platform;
  DemoSession session(platform);
  ProgramState& state = *session.state;
  for (auto _ : st) {
    detect(state.recording.sample_matrix, state.conditions, preview_span, preview_reference_end,
           true, state.detection);
    benchmark::DoNotOptimize(state.detection.r_positions.data());
  }
}
BENCHMARK(BM_PreviewDetection)->Unit(benchmark::kMicrosecond);

// Command c as the program runs it, printing off: detection over 32,000
// samples, sort, count, recognition of every candidate (with its log
// records) and the AQRST of 64 leads for every accepted beat.
void BM_ComputeCommand(benchmark::State& st) {
  NullPlatform platform;
  DemoSession session(platform);
  ProgramState& state = *session.state;
  state.conditions.print_flag = 0;  // the print pages have their own benchmarks
  for (auto _ : st) {
    compute_all(compute_context(state), session.io);
    benchmark::DoNotOptimize(state.selection.aqrst.data());
  }
  st.counters["candidates"] = state.detection.n_candidates;
  st.counters["accepted"] = state.selection.n_accepted;
}
BENCHMARK(BM_ComputeCommand)->Unit(benchmark::kMillisecond);

// The parts of command c on their own.
void BM_WholeDetection(benchmark::State& st) {
  NullPlatform platform;
  DemoSession session(platform);
  ProgramState& state = *session.state;
  for (auto _ : st) {
    detect(state.recording.sample_matrix, state.conditions, max_span, preview_reference_end, false,
           state.detection);
    benchmark::DoNotOptimize(state.detection.r_positions.data());
  }
}
BENCHMARK(BM_WholeDetection)->Unit(benchmark::kMillisecond);

void BM_RecognitionAndMeasurement(benchmark::State& st) {
  NullPlatform platform;
  DemoSession session(platform);
  ProgramState& state = *session.state;
  state.conditions.print_flag = 0;
  detect(state.recording.sample_matrix, state.conditions, max_span, preview_reference_end, false,
         state.detection);
  for (auto _ : st) {
    sort_candidates(state.detection);
    count_candidates(state.detection);
    recognise(session.io, state.recording.sample_matrix, state.conditions.corr_threshold,
              state.detection, state.recognition);
    clear_selection(state.selection);
    measure_and_print_beats(compute_context(state), session.io);
    benchmark::DoNotOptimize(state.selection.aqrst.data());
  }
}
BENCHMARK(BM_RecognitionAndMeasurement)->Unit(benchmark::kMicrosecond);

// What the lead table adds to an analysis: the J point proposed from the
// reference beat, every lead of every accepted beat split at J and timed,
// and the table's text. Target: under 2 ms, against analyse --no-print.
void BM_LeadTable(benchmark::State& st) {
  NullPlatform platform;
  DemoSession session(platform);
  ProgramState& state = *session.state;
  state.conditions.print_flag = 0;
  compute_all(compute_context(state), session.io);
  const SampleMatrix& m = state.recording.sample_matrix;
  const MarkingState& marks = state.marking;
  const std::int32_t reference = marks.selected_beat;
  for (auto _ : st) {
    const std::int32_t j = propose_j(m, reference + marks.q_start - r_peak_index,
                                     reference + marks.t_end - r_peak_index) -
                           reference;
    std::vector<BeatLeads> beats;
    for (long k = 1; k <= state.selection.n_accepted; ++k) {
      const std::int32_t r = state.selection.accepted_beats(k);
      beats.push_back(
          measure_leads(m,
                        {r + marks.pq_point - r_peak_index, r + marks.q_start - r_peak_index, r + j,
                         r + marks.t_end - r_peak_index},
                        r));
    }
    benchmark::DoNotOptimize(lead_table_text(beats).size());
  }
  st.counters["beats"] = state.selection.n_accepted;
}
BENCHMARK(BM_LeadTable)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ba::bench

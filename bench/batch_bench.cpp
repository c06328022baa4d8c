// A study of 1,000 rows over 36 distinct synthetic recordings (the
// demonstration recording with a different constant added to every sample),
// each row in its own folder with a hard link to its recording, analysed
// without printing: by `beat_analyser batch --jobs 2`, and side by side the
// same choices typed into headless sessions driven by GNU parallel -j 2.
// Wall time of the whole study; the processor time of all its processes
// (what the wall time would be on one idle core); the largest memory any
// one process of it held (the batch itself or one row); the rows ok.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"

namespace ba::bench {
namespace {

namespace fs = std::filesystem;

constexpr int study_rows = 1000;
constexpr int distinct_recordings = 36;

// The choices of the scripted session demo_compute_no_print.
constexpr const char* row_choices = "1387,-71,-46,379,0";
std::string session_script(const std::string& name) {
  return "0\n1\n1\n1\n0\n" + name +
         "\ns\n!click 208 150\ny\ns\n!click 78 150\n!click 93 150\n!click 348 150\ny\nx\nc\nd\n"
         "y\nx\n";
}

std::string recording_name(int row) {
  char name[8];
  std::snprintf(name, sizeof name, "p%02d", row % distinct_recordings + 1);
  return name;
}

class Study {
 public:
  // `automatic`: every row with auto 1 instead of the session's choices.
  explicit Study(bool automatic = false)
      : folder_(fs::temp_directory_path() / ("beat_batch_bench_" + std::to_string(::getpid()))) {
    fs::create_directories(folder_ / "distinct");
    for (int k = 0; k < distinct_recordings; ++k) {
      std::vector<unsigned char> bytes = demo_bytes();
      for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        // Big-endian 16-bit samples, each raised by k + 1.
        const auto sample = static_cast<std::int16_t>((bytes[at] << 8) | bytes[at + 1]);
        const auto raised = static_cast<std::uint16_t>(sample + k + 1);
        bytes[at] = static_cast<unsigned char>(raised >> 8);
        bytes[at + 1] = static_cast<unsigned char>(raised & 0xFF);
      }
      std::ofstream(folder_ / "distinct" / (recording_name(k) + ".dat"), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    }
    std::ofstream manifest(folder_ / "manifest.csv");
    std::ofstream folders(folder_ / "folders.txt");
    manifest << (automatic ? "recording,auto,print\n"
                           : "recording,reference_ms,pq_ms,q_ms,t_end_ms,print\n");
    for (int row = 0; row < study_rows; ++row) {
      const std::string name = recording_name(row);
      const fs::path row_folder = folder_ / "rows" / std::to_string(row + 1);
      fs::create_directories(row_folder);
      fs::create_hard_link(folder_ / "distinct" / (name + ".dat"), row_folder / (name + ".dat"));
      std::ofstream(row_folder / "session.txt") << session_script(name);
      manifest << "rows/" << row + 1 << "/" << name << ".dat," << (automatic ? "1,0" : row_choices)
               << "\n";
      folders << row_folder.string() << "\n";
    }
  }
  ~Study() { fs::remove_all(folder_); }
  Study(const Study&) = delete;
  Study& operator=(const Study&) = delete;
  const fs::path& folder() const { return folder_; }

 private:
  fs::path folder_;
};

fs::path program() { return fs::read_symlink("/proc/self/exe").parent_path() / "beat_analyser"; }

int ok_rows(const fs::path& summary) {
  std::ifstream in(summary);
  int ok = 0;
  for (std::string line; std::getline(in, line);) ok += line.find(",ok,") != std::string::npos;
  return ok;
}

void BM_Batch1000Rows(benchmark::State& st) {
  if (!fs::exists(program())) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  Study study;
  for (auto _ : st) {
    const Measured run = run_measured(
        {program().string(), "batch", (study.folder() / "manifest.csv").string(), "--jobs", "2"});
    if (run.largest_mb < 0) {
      st.SkipWithError("the batch did not end with every row ok");
      break;
    }
    st.counters["largest_process_MB"] = run.largest_mb;
    st.counters["cpu_s"] = run.cpu_seconds;
  }
  st.counters["rows_ok"] = ok_rows(study.folder() / "batch_summary.csv");
}
BENCHMARK(BM_Batch1000Rows)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// The same study with every row proposed by the program (auto 1).
void BM_Batch1000AutoRows(benchmark::State& st) {
  if (!fs::exists(program())) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  Study study(true);
  for (auto _ : st) {
    const Measured run = run_measured(
        {program().string(), "batch", (study.folder() / "manifest.csv").string(), "--jobs", "2"});
    if (run.largest_mb < 0) {
      st.SkipWithError("the batch did not end with every row ok");
      break;
    }
    st.counters["largest_process_MB"] = run.largest_mb;
    st.counters["cpu_s"] = run.cpu_seconds;
  }
  st.counters["rows_ok"] = ok_rows(study.folder() / "batch_summary.csv");
}
BENCHMARK(BM_Batch1000AutoRows)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void BM_Headless1000RowsThroughParallel(benchmark::State& st) {
  if (!fs::exists(program())) {
    st.SkipWithError("beat_analyser is not built");
    return;
  }
  Study study;
  const std::string each = "cd {} && '" + program().string() +
                           "' --headless --data-dir . < session.txt > /dev/null && "
                           "test -s $(ls *st.txt)";
  for (auto _ : st) {
    const Measured run = run_measured({"parallel", "--will-cite", "-j", "2", "-a",
                                       (study.folder() / "folders.txt").string(), each});
    if (run.largest_mb < 0) {
      st.SkipWithError("a headless session failed");
      break;
    }
    st.counters["largest_process_MB"] = run.largest_mb;
    st.counters["cpu_s"] = run.cpu_seconds;
  }
}
BENCHMARK(BM_Headless1000RowsThroughParallel)
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace ba::bench

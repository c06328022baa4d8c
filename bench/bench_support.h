#pragma once
// What the benchmarks share: the demonstration recording on disk and in
// memory, a platform and a file layer that swallow everything, and a program
// state prepared as after command s on the demonstration recording.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../tools/demo_model.h"
#include "detection/detection.h"
#include "marking/marking.h"
#include "program/program_state.h"
#include "runtime/io.h"
#include "support/null_platform.h"

extern char** environ;

namespace ba::bench {

using test::NullPlatform;

// The demonstration recording's bytes, made once.
inline const std::vector<unsigned char>& demo_bytes() {
  static const std::vector<unsigned char> bytes = demo::DemoModel().recording_bytes();
  return bytes;
}

struct Measured {
  double largest_mb = -1;  // -1 when the command failed
  double cpu_seconds = 0;
};

// Runs a command line to its end, its output to /dev/null.
inline Measured run_measured(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return {};
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {static_cast<double>(usage.ru_maxrss) / 1024.0,
          seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// A temporary data folder holding demo.dat, removed when the program ends.
class DemoFolder {
 public:
  DemoFolder() {
    path_ = std::filesystem::temp_directory_path() / ("beat_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
    std::ofstream out(path_ / "demo.dat", std::ios::binary);
    out.write(reinterpret_cast<const char*>(demo_bytes().data()),
              static_cast<std::streamsize>(demo_bytes().size()));
  }
  ~DemoFolder() { std::filesystem::remove_all(path_); }
  DemoFolder(const DemoFolder&) = delete;
  DemoFolder& operator=(const DemoFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

  static const DemoFolder& get() {
    static const DemoFolder folder;
    return folder;
  }

 private:
  std::filesystem::path path_;
};

// A file layer whose log counts its bytes instead of writing them; reads go
// to the host.
class CountingFileOps : public HostFileOps {
 public:
  std::optional<std::string> open_log(const std::filesystem::path&) override { return {}; }
  std::optional<std::string> append_log(std::string_view bytes) override {
    log_bytes += bytes.size();
    return {};
  }
  void close_log() override {}
  std::size_t log_bytes = 0;
};

// The demonstration recording loaded, the preview detected, and the second
// beat chosen as reference with the fiducial points a person would mark
// (PQ segment 70 ms, Q start 45 ms before the pick, T end 380 ms after it).
struct DemoSession {
  explicit DemoSession(Platform& platform)
      : state(std::make_unique<ProgramState>()),
        io(platform, DataFolder(DemoFolder::get().path()), files) {
    unpack_recording(demo_bytes(), state->recording.sample_matrix);
    io.open_log("d:\\data\\map\\demostlog.txt");
    detect(state->recording.sample_matrix, state->conditions, preview_span, preview_reference_end,
           true, state->detection);
    sort_candidates(state->detection);
    choose_reference(demo::DemoModel().beats()[1].r);
  }

  // Command s without its drawing: the candidate nearest to `r` becomes the
  // reference beat and its 51 samples of the first lead the template.
  void choose_reference(int r) {
    MarkingState& marking = state->marking;
    marking.selected_beat = nearest_beat(state->detection.beat_positions, r, 0);
    marking.window_start = marking.selected_beat - r_peak_index;
    RecognitionState& recognition = state->recognition;
    recognition.corr_lead = state->conditions.first_lead;
    for (int i = 1; i <= template_len; ++i)
      recognition.template_wave(i) =
          state->recording.sample_matrix(recognition.corr_lead, marking.selected_beat + i - 26);
    marking.pq_point = 130;
    marking.q_start = 155;
    marking.t_end = 580;
  }

  std::unique_ptr<ProgramState> state;
  CountingFileOps files;
  Io io;
};

}  // namespace ba::bench

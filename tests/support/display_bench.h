#pragma once
// A whole program state over a fake platform and a temporary data folder,
// for tests of the display loop and its commands. Opening and closing the
// log are recorded among the platform's calls, so a test can check their
// order against the window operations.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "dialogue/paths.h"
#include "program/program_state.h"
#include "runtime/io.h"
#include "support/fake_platform.h"

namespace ba::test {

class RecordingFileOps : public HostFileOps {
 public:
  explicit RecordingFileOps(std::vector<std::string>& calls) : calls_(calls) {}
  std::optional<std::string> open_log(const std::filesystem::path& path) override {
    calls_.push_back("open_log " + path.filename().string());
    return HostFileOps::open_log(path);
  }
  void close_log() override {
    calls_.push_back("close_log");
    HostFileOps::close_log();
  }

 private:
  std::vector<std::string>& calls_;
};

class DisplayBench {
 public:
  explicit DisplayBench(const std::string& recording_name = "abc")
      : folder(make_temp_folder("display")),
        files(platform.calls),
        io(platform, DataFolder(folder), files),
        state(std::make_unique<ProgramState>()) {
    build_paths(recording_name, state->paths);
  }
  ~DisplayBench() {
    io.close_all_files();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  DisplayBench(const DisplayBench&) = delete;
  DisplayBench& operator=(const DisplayBench&) = delete;

  SampleMatrix& matrix() { return state->recording.sample_matrix; }
  // A one-sample spike on the first displayed lead.
  void spike(int position, std::int16_t value) {
    matrix()(state->conditions.first_lead, position) = value;
  }
  void type(std::initializer_list<const char*> lines) {
    for (const char* line : lines) platform.typed_lines.push_back(line);
  }
  void click(int column) { platform.clicks.push_back(FakePlatform::left_click(column)); }
  std::string read(const std::string& file_name) const {
    std::ifstream in(folder / file_name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  FakePlatform platform;
  std::filesystem::path folder;
  RecordingFileOps files;
  Io io;
  std::unique_ptr<ProgramState> state;
};

}  // namespace ba::test

#pragma once
// Running the built beat_analyser as a person or a driving program would,
// and the demonstration recording it runs on.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "support/build_paths.h"
#include "support/temp_folder.h"
#include "tools/demo_model.h"

namespace ba::test {

struct Outcome {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs beat_analyser with `arguments` in `folder` (the working folder), with
// `input` as its standard input and `environment` (assignments or an env
// command) before the program.
inline Outcome run_beat_analyser(const std::filesystem::path& folder, const std::string& arguments,
                                 const std::string& input = "",
                                 const std::string& environment = "") {
  namespace fs = std::filesystem;
  write_host_file(folder / "stdin.txt", input);
  const fs::path program = ba::test::binary_dir() / "beat_analyser";
  const std::string command = "cd '" + folder.string() + "' && " + environment + " '" +
                              program.string() + "' " + arguments +
                              " < stdin.txt > stdout.txt 2> stderr.txt";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = read_host_file(folder / "stdout.txt");
  outcome.err = read_host_file(folder / "stderr.txt");
  for (const char* name : {"stdin.txt", "stdout.txt", "stderr.txt"}) fs::remove(folder / name);
  return outcome;
}

inline void write_demo_recording(const std::filesystem::path& file) {
  const auto bytes = demo::DemoModel().recording_bytes();
  write_host_file(file,
                  std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace ba::test

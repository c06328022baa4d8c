// Writes the demonstration recording demo.dat (32 s, 72 channels, big-endian
// signed 16-bit) and the true beats demo_beats.csv into a folder.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "demo_model.h"

namespace {

constexpr std::string_view usage_text =
    "Usage: make_demo_recording [DIR]\n"
    "Writes a synthetic 32 s, 72-channel body-surface recording to DIR/demo.dat\n"
    "(4,608,000 bytes, big-endian signed 16-bit, 1 sample per ms) and its true\n"
    "beat positions and kinds to DIR/demo_beats.csv. DIR defaults to data/map.\n"
    "The output is the same at every run.\n";

bool write_file(const std::filesystem::path& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return static_cast<bool>(out);
}

int make_recording(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "make_demo_recording: cannot create " << folder << ": " << error.message() << "\n";
    return 1;
  }
  const ba::demo::DemoModel model;
  const auto bytes = model.recording_bytes();
  const std::string csv = model.beats_csv();
  const auto recording = folder / "demo.dat";
  const auto beats = folder / "demo_beats.csv";
  if (!write_file(recording, bytes.data(), bytes.size()) ||
      !write_file(beats, csv.data(), csv.size())) {
    std::cerr << "make_demo_recording: cannot write into " << folder << "\n";
    return 1;
  }
  std::cout << "wrote " << recording.string() << " (" << bytes.size() << " bytes) and "
            << beats.string() << " (" << model.beats().size() << " beats)\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path folder = "data/map";
  if (argc > 2) {
    std::cerr << usage_text;
    return 1;
  }
  if (argc == 2) {
    const std::string_view arg = argv[1];
    if (arg == "--help" || arg == "-h") {
      std::cout << usage_text;
      return 0;
    }
    if (arg.starts_with("-")) {
      std::cerr << "make_demo_recording: unknown option " << arg << "\n" << usage_text;
      return 1;
    }
    folder = std::string(arg);
  }
  try {
    return make_recording(folder);
  } catch (const std::exception& e) {
    std::cerr << "make_demo_recording: " << e.what() << "\n";
    return 1;
  }
}

// Any bytes as an EDF or BDF file to import: a refusal with a reason or a
// recording, never a crash, a hang or a read outside the file's data.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "interchange/edf_file.h"
#include "interchange/recording_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // EDFlib opens files by name.
  static const std::string path = "/tmp/edf_import_fuzz_" + std::to_string(::getpid()) + ".edf";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  static ba::HostFileOps files;
  auto opened = ba::EdfFile::open(files, path);
  if (opened.index() == 0) {
    ba::EdfFile& edf = *std::get<0>(opened);
    // The default channels, then a list that mixes numbers, a range and a label.
    for (const char* list : {"", "2,1-3,ecg"}) {
      const auto chosen = ba::choose_signals(edf.signals(), list);
      if (chosen.index() == 0) ba::import_recording(edf, std::get<0>(chosen), {0, 1.0});
    }
  }
  std::remove(path.c_str());
  return 0;
}

// The recording loader: any bytes as the recording file. The bytes are read
// through the file layer as unit 10 (a short file must end in the
// end-of-file report), then repeated to the full 4,608,000 bytes as the
// recording, and the detections run over it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "detection/detection.h"
#include "dialogue/conditions.h"
#include "recording/recording.h"
#include "runtime/errors.h"
#include "runtime/io.h"
#include "support/null_platform.h"

namespace {

// The fuzz input as the only file there is.
class InputFile : public ba::FileOps {
 public:
  InputFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  std::optional<std::string> read_prefix(const std::filesystem::path&, std::size_t count,
                                         ba::Bytes& bytes) override {
    bytes.assign(data_, data_ + std::min(count, size_));
    return std::nullopt;
  }
  std::optional<std::string> replace_file(const std::filesystem::path&, std::string_view) override {
    return "read-only";
  }
  std::optional<std::string> create_file(const std::filesystem::path&, std::string_view) override {
    return "read-only";
  }
  std::optional<std::string> open_log(const std::filesystem::path&) override { return "no log"; }
  std::optional<std::string> append_log(std::string_view) override { return "no log"; }
  void close_log() override {}

 private:
  const uint8_t* data_;
  size_t size_;
};

// Kept from one input to the next: the matrix alone is 4.7 MB.
struct Work {
  ba::RecordingState recording;
  ba::DetectionState detection;
  std::vector<unsigned char> whole = std::vector<unsigned char>(ba::recording_bytes);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto work = std::make_unique<Work>();
  ba::test::NullPlatform platform;
  InputFile file(data, size);
  ba::Io io(platform, ba::DataFolder("/nowhere"), file);
  try {
    ba::load_recording(io, "d:\\data\\map\\fuzz.dat", work->recording);
    if (size < ba::recording_bytes) std::abort();  // a short file must not load
  } catch (const ba::IoFailure& failure) {
    if (failure.kind() != ba::IoFailure::Kind::end_of_file || size >= ba::recording_bytes)
      std::abort();
  }
  if (size == 0) return 0;
  // Unpacking and the whole-recording run take tens of milliseconds under
  // the coverage instrumentation: one input in eight, chosen by its first
  // byte, takes them; the others fill only the preview's samples, as the
  // loader would (big-endian, the channels of one position together).
  const bool whole_run = (data[0] & 7) == 5;
  const std::size_t preview_words = (ba::preview_span + 8) * std::size_t{ba::channel_count};
  const std::size_t needed = whole_run ? ba::recording_bytes : 2 * preview_words;
  // The input repeated: copied once, then the filled part doubled.
  std::vector<unsigned char>& bytes = work->whole;
  std::size_t filled = std::min(size, needed);
  std::memcpy(bytes.data(), data, filled);
  while (filled < needed) {
    const std::size_t more = std::min(filled, needed - filled);
    std::memcpy(bytes.data() + filled, bytes.data(), more);
    filled += more;
  }
  const ba::AnalysisConditions conditions;
  ba::SampleMatrix& samples = work->recording.sample_matrix;
  if (whole_run) {
    ba::unpack_recording(bytes, samples);
  } else {
    std::int16_t* words = samples.data();
    for (std::size_t j = 0; j < preview_words; ++j)
      words[j] = static_cast<std::int16_t>(
          static_cast<std::uint16_t>((bytes[2 * j] << 8) | bytes[2 * j + 1]));
  }
  ba::detect(samples, conditions, ba::preview_span, ba::preview_reference_end, true,
             work->detection);
  ba::sort_candidates(work->detection);
  ba::count_candidates(work->detection);
  if (!whole_run) return 0;
  ba::detect(samples, conditions, ba::max_span, ba::whole_reference_end, false, work->detection);
  ba::sort_candidates(work->detection);
  ba::count_candidates(work->detection);
  return 0;
}

#include "recording/recording.h"

#include <algorithm>
#include <stdexcept>

#include "recording/messages.h"
#include "runtime/io.h"

namespace ba {

namespace {

constexpr std::size_t word_count = recording_bytes / 2;

// Each sample is two bytes, most significant first, two's complement.
// Separate buffers and a fixed count let the compiler unpack many words per
// instruction.
void unpack_words(const unsigned char* __restrict file, std::int16_t* __restrict words,
                  std::size_t count) {
  for (std::size_t j = 0; j < count; ++j)
    words[j] =
        static_cast<std::int16_t>(static_cast<std::uint16_t>((file[2 * j] << 8) | file[2 * j + 1]));
}

}  // namespace

// The matrix keeps the 72 channels of a position together, exactly as a file
// frame does, so word j of the file is element j of the matrix storage and
// one pass unpacks the whole recording.
void unpack_recording(std::span<const unsigned char> bytes, SampleMatrix& sample_matrix) {
  if (bytes.size() < recording_bytes)
    throw std::invalid_argument("a recording needs " + std::to_string(recording_bytes) + " bytes");
  std::int16_t* words = sample_matrix.data();
  unpack_words(bytes.data(), words, word_count);
  // Positions 32,001..32,800 read as silence.
  std::fill(words + word_count, words + std::size_t{channel_count} * matrix_positions,
            std::int16_t{0});
}

void unpack_recording_start(std::span<const unsigned char> bytes, std::int32_t positions,
                            SampleMatrix& sample_matrix) {
  if (positions < 0 || positions > recorded_samples ||
      bytes.size() < frame_bytes * static_cast<std::size_t>(positions))
    throw std::invalid_argument("the start of a recording needs " +
                                std::to_string(frame_bytes * static_cast<std::size_t>(positions)) +
                                " bytes");
  unpack_words(bytes.data(), sample_matrix.data(),
               std::size_t{channel_count} * static_cast<std::size_t>(positions));
}

void load_recording(Io& io, const std::string& recording_path, RecordingState& recording) {
  io.write_line(console_unit, {recording_path, std::string(recording_text::reading)});
  const Bytes raw_recording = io.read_file(recording_unit, recording_path, recording_bytes);
  unpack_recording(raw_recording, recording.sample_matrix);
}

}  // namespace ba

#pragma once
// The recording: 32 s of 72 channels at 1000 samples per second, read once
// into the sample matrix.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "runtime/one_based.h"

namespace ba {

class Io;

inline constexpr int channel_count = 72;
inline constexpr int recorded_samples = 32000;  // positions 1..32,000 hold the recording
inline constexpr int matrix_positions = 32800;  // 32,001..32,800 read as 0
inline constexpr int lead_point_count = 64;     // lead n is channel n + 8
inline constexpr int lead_channel_offset = 8;
inline constexpr std::size_t frame_bytes = 2 * channel_count;                   // 144
inline constexpr std::size_t recording_bytes = frame_bytes * recorded_samples;  // 4,608,000

// sample_matrix(c, t): channel c (1..72) at sample position t (1..32,800),
// signed 16-bit recorder units; the 72 channels of one position lie together.
using SampleMatrix = Matrix1<std::int16_t, channel_count, matrix_positions>;

struct RecordingState {
  SampleMatrix sample_matrix;
};

// Fills the matrix from the file's bytes: 32,000 frames of 72 big-endian
// signed 16-bit samples in channel order, no header. Positions past 32,000
// become 0. `bytes` must hold at least recording_bytes.
void unpack_recording(std::span<const unsigned char> bytes, SampleMatrix& sample_matrix);
// Positions 1..`positions` alone, from the first frames of a recording, for
// a look at its start; later positions keep what they held. `bytes` must
// hold those frames.
void unpack_recording_start(std::span<const unsigned char> bytes, std::int32_t positions,
                            SampleMatrix& sample_matrix);

// Writes the console line, reads the file at `recording_path` as unit 10 and
// unpacks it. A missing, unreadable or short file ends the program with the
// error report; nothing is created.
void load_recording(Io& io, const std::string& recording_path, RecordingState& recording);

}  // namespace ba

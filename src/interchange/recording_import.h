#pragma once
// Turning the signals of a multichannel file into a recording the program
// reads: 32 s of 72 channels at 1000 samples per second, 16-bit integers.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "interchange/signal_source.h"
#include "recording/recording.h"
#include "runtime/one_based.h"

namespace ba {

// Which signal (1-based, 0 for none) fills each channel.
using ChannelSignals = Array1<int, channel_count>;

// Reads a --channels list: comma-separated signal numbers, labels (matched
// without regard to case) and ranges of either ("1-8,V1-V64"), in channel
// order. A range of labels that end in numbers after the same prefix names
// every label between; other label ranges run in file order. An empty list
// takes the first 72 signals. Returns the reason when the list does not fit
// the file.
std::variant<ChannelSignals, std::string> choose_signals(const std::vector<SignalInfo>& signals,
                                                         std::string_view list);

struct ImportSettings {
  std::int64_t start_ms = 0;  // first millisecond taken from the file
  double units_per_uv = 1.0;  // recorder units per microvolt
};

struct ImportedRecording {
  std::vector<unsigned char> bytes;       // the recording file, recording_bytes long
  Array1<long, channel_count> saturated;  // samples clipped to the 16-bit range
};

// Reads 32 s from the start onward, converts each signal to 1000 samples per
// second and to recorder units. Returns the reason when the file cannot give
// that (too short, a dimension that is no voltage, an unusable rate).
std::variant<ImportedRecording, std::string> import_recording(SignalSource& source,
                                                              const ChannelSignals& chosen,
                                                              const ImportSettings& settings);

}  // namespace ba

#include "interchange/recording_export.h"

#include <charconv>

#include "recording/recording.h"

namespace ba {

namespace {

constexpr int unused_channels = lead_channel_offset;  // channels 1..8

std::int16_t sample_at(std::span<const unsigned char> recording, std::size_t t, int channel) {
  const std::size_t at = t * frame_bytes + 2 * static_cast<std::size_t>(channel - 1);
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(recording[at] << 8 | recording[at + 1]));
}

// The shortest text that reads back as the same double.
std::string number_text(double value) {
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

}  // namespace

std::string channel_label(int channel) {
  return channel <= unused_channels ? "ch" + std::to_string(channel)
                                    : "lead" + std::to_string(channel - lead_channel_offset);
}

std::vector<EdfSignalOut> recording_signals(std::span<const unsigned char> recording,
                                            double units_per_uv) {
  std::vector<EdfSignalOut> signals(channel_count);
  for (int c = 1; c <= channel_count; ++c) {
    EdfSignalOut& signal = signals[static_cast<std::size_t>(c - 1)];
    signal.label = channel_label(c);
    signal.dimension = "uV";
    signal.units_per_physical = units_per_uv;
    signal.samples.resize(recorded_samples);
    for (std::size_t t = 0; t < signal.samples.size(); ++t)
      signal.samples[t] = sample_at(recording, t, c);
  }
  return signals;
}

std::variant<std::vector<EdfAnnotation>, std::string> beat_annotations(
    const std::vector<ResultBeat>& beats) {
  std::vector<EdfAnnotation> annotations;
  for (std::size_t b = 0; b < beats.size(); ++b) {
    const std::int32_t r = beats[b].r_ms;
    if (r < 1 || r > recorded_samples)
      return "beat " + std::to_string(b + 1) + " has its R time at " + std::to_string(r) +
             " ms, outside the recording (1 to 32000)";
    annotations.push_back({(r - 1) * ticks_per_ms, "R"});
  }
  return annotations;
}

std::string wfdb_header(std::string_view record_name, std::string_view file_name,
                        std::span<const unsigned char> recording, double units_per_uv) {
  std::string header = std::string(record_name) + ' ' + std::to_string(channel_count) + " 1000 " +
                       std::to_string(recorded_samples) + '\n';
  const std::string gain = number_text(units_per_uv) + "/uV";
  for (int c = 1; c <= channel_count; ++c) {
    // The checksum is the sum of the signal's samples kept to 16 bits.
    std::uint16_t checksum = 0;
    for (std::size_t t = 0; t < recorded_samples; ++t)
      checksum = static_cast<std::uint16_t>(checksum +
                                            static_cast<std::uint16_t>(sample_at(recording, t, c)));
    // File, format, gain/units, ADC resolution (bits), ADC zero, first value,
    // checksum, block size, description.
    header += std::string(file_name) + " 61 " + gain + " 16 0 " +
              std::to_string(sample_at(recording, 0, c)) + ' ' +
              std::to_string(static_cast<std::int16_t>(checksum)) + " 0 " + channel_label(c) + '\n';
  }
  return header;
}

}  // namespace ba

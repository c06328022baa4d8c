#include "interchange/resample.h"

#include <samplerate.h>

#include <cmath>

namespace ba {

std::optional<std::string> resample(std::span<const float> input, int channels, double ratio,
                                    std::vector<float>& output) {
  if (!src_is_valid_ratio(ratio)) return "a rate ratio of " + std::to_string(ratio);
  const auto width = static_cast<std::size_t>(channels);
  const std::size_t frames = input.size() / width;
  const auto room = static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio)) + 2;
  output.assign(room * width, 0.0f);
  SRC_DATA data{};
  data.data_in = input.data();
  data.input_frames = static_cast<long>(frames);
  data.data_out = output.data();
  data.output_frames = static_cast<long>(room);
  data.src_ratio = ratio;
  data.end_of_input = 1;
  if (const int error = src_simple(&data, SRC_SINC_FASTEST, channels); error != 0)
    return src_strerror(error);
  output.resize(static_cast<std::size_t>(data.output_frames_gen) * width);
  return std::nullopt;
}

}  // namespace ba

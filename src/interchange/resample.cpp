#include "interchange/resample.h"

#include <samplerate.h>

#include <cmath>

namespace ba {

std::optional<std::string> resample(std::span<const float> input, double ratio,
                                    std::vector<float>& output) {
  if (!src_is_valid_ratio(ratio)) return "a rate ratio of " + std::to_string(ratio);
  output.assign(static_cast<std::size_t>(std::ceil(static_cast<double>(input.size()) * ratio)) + 2,
                0.0f);
  SRC_DATA data{};
  data.data_in = input.data();
  data.input_frames = static_cast<long>(input.size());
  data.data_out = output.data();
  data.output_frames = static_cast<long>(output.size());
  data.src_ratio = ratio;
  data.end_of_input = 1;
  if (const int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1); error != 0)
    return src_strerror(error);
  output.resize(static_cast<std::size_t>(data.output_frames_gen));
  return std::nullopt;
}

}  // namespace ba

#pragma once
// Sample-rate conversion with libsamplerate at its best sinc quality.

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ba {

// Converts `input`, frames of `channels` interleaved samples, by `ratio`
// (output rate / input rate, 1/256 to 256). Output frame j stands for the
// instant of input frame j / ratio: the converter's filter delay is already
// taken out. The ends are filtered against silence, so a caller keeps a
// margin of input on both sides. Channels converted together share the
// filter's coefficient arithmetic, which is most of the work.
std::optional<std::string> resample(std::span<const float> input, int channels, double ratio,
                                    std::vector<float>& output);

}  // namespace ba

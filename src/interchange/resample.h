#pragma once
// Sample-rate conversion with libsamplerate's fastest sinc filter: its 97 dB
// signal-to-noise ratio matches 16-bit data, at a fraction of the time of
// the finer filters.

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

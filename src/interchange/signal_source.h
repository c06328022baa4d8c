#pragma once
// What an import needs from a multichannel file: its ordinary signals (1-based,
// annotation signals left out) and their physical samples.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ba {

struct SignalInfo {
  std::string label;      // trailing blanks removed
  std::string dimension;  // physical dimension as written ("uV", "mV", ...)
  // The rate as a fraction: samples_per_record samples every record_duration
  // (100 ns units, as EDF+ times are kept), so rates such as 1000/3 stay exact.
  std::int64_t samples_per_record = 0;
  std::int64_t record_duration = 0;
  std::int64_t sample_count = 0;  // samples of this signal in the file
};

class SignalSource {
 public:
  virtual ~SignalSource() = default;
  virtual const std::vector<SignalInfo>& signals() const = 0;
  // Length of the recording, 100 ns units.
  virtual std::int64_t duration() const = 0;
  // Reads `count` physical values of signal `signal` (1-based) from sample
  // `first` (0-based, in the signal's own rate). Returns an error text when
  // the file gives fewer. An import calls it from two threads at once.
  virtual std::optional<std::string> read(int signal, std::int64_t first, std::int64_t count,
                                          std::vector<double>& values) = 0;
};

// 100 ns units per second and per millisecond.
inline constexpr std::int64_t ticks_per_second = 10'000'000;
inline constexpr std::int64_t ticks_per_ms = 10'000;

}  // namespace ba

#include "interchange/recording_import.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <optional>
#include <thread>

#include "interchange/resample.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

std::optional<int> signal_by_label(const std::vector<SignalInfo>& signals, std::string_view label) {
  const std::string wanted = ascii_lower(label);
  for (std::size_t i = 0; i < signals.size(); ++i)
    if (ascii_lower(signals[i].label) == wanted) return static_cast<int>(i + 1);
  return std::nullopt;
}

std::optional<int> whole_number(std::string_view text) { return parse_int32(text); }

// A label split into a prefix and the number it ends in ("V12" -> "V", 12).
std::optional<std::pair<std::string, int>> numbered_label(std::string_view label) {
  std::size_t digits = label.size();
  while (digits > 0 && label[digits - 1] >= '0' && label[digits - 1] <= '9') --digits;
  const auto number = whole_number(label.substr(digits));
  if (digits == 0 || !number) return std::nullopt;
  return std::pair{ascii_lower(label.substr(0, digits)), *number};
}

// One end of a list item: a signal named by its label or its number, or a
// number that names no signal.
struct Endpoint {
  enum class Named { by_label, by_number, out_of_range };
  int signal;
  Named named;
};

class ListReader {
 public:
  explicit ListReader(const std::vector<SignalInfo>& signals) : signals_(signals) {}

  // Appends the signals of one list item, or gives the reason it names none.
  std::optional<std::string> add_item(std::string_view item, std::vector<int>& chosen) const {
    if (item.empty()) return "an empty item in the channel list";
    if (auto single = endpoint(item)) {
      if (single->named == Endpoint::Named::out_of_range) return range_error(item);
      chosen.push_back(single->signal);
      return std::nullopt;
    }
    std::string unknown = "'" + std::string(item) + "'";
    for (std::size_t dash = item.find('-'); dash != std::string_view::npos;
         dash = item.find('-', dash + 1)) {
      const std::string_view from = item.substr(0, dash);
      const std::string_view to = item.substr(dash + 1);
      const auto first = endpoint(from);
      const auto last = endpoint(to);
      if (first && last) return add_range(*first, *last, from, to, chosen);
      if (first && !last) unknown = "'" + std::string(to) + "'";
    }
    return "no signal is labelled " + unknown + " and it is no signal number" + known_labels();
  }

 private:
  // A label takes precedence over a number: a file may label a signal "3".
  std::optional<Endpoint> endpoint(std::string_view text) const {
    if (auto signal = signal_by_label(signals_, text))
      return Endpoint{*signal, Endpoint::Named::by_label};
    if (auto number = whole_number(text)) {
      const bool exists = *number >= 1 && *number <= static_cast<int>(signals_.size());
      return Endpoint{*number, exists ? Endpoint::Named::by_number : Endpoint::Named::out_of_range};
    }
    return std::nullopt;
  }

  std::string range_error(std::string_view item) const {
    return "there is no signal " + std::string(item) + " (the file has " +
           std::to_string(signals_.size()) + " signals, annotations not counted)";
  }

  std::optional<std::string> add_range(const Endpoint& first, const Endpoint& last,
                                       std::string_view from, std::string_view to,
                                       std::vector<int>& chosen) const {
    if (first.named == Endpoint::Named::out_of_range) return range_error(from);
    if (last.named == Endpoint::Named::out_of_range) return range_error(to);
    if (first.named == Endpoint::Named::by_label && last.named == Endpoint::Named::by_label) {
      const auto low = numbered_label(from);
      const auto high = numbered_label(to);
      if (low && high && low->first == high->first) {
        if (high->second < low->second) return backwards(from, to);
        const std::string prefix(from.substr(0, from.find_last_not_of("0123456789") + 1));
        for (int n = low->second; n <= high->second; ++n) {
          const std::string label = prefix + std::to_string(n);
          const auto signal = signal_by_label(signals_, label);
          if (!signal)
            return "no signal is labelled '" + label + "' (in the range " + std::string(from) +
                   "-" + std::string(to) + ")";
          chosen.push_back(*signal);
        }
        return std::nullopt;
      }
    }
    if (last.signal < first.signal) return backwards(from, to);
    for (int signal = first.signal; signal <= last.signal; ++signal) chosen.push_back(signal);
    return std::nullopt;
  }

  static std::string backwards(std::string_view from, std::string_view to) {
    return "the range " + std::string(from) + "-" + std::string(to) + " runs backwards";
  }

  std::string known_labels() const {
    constexpr std::size_t shown = 8;
    std::string text = " (the file's labels: ";
    for (std::size_t i = 0; i < std::min(shown, signals_.size()); ++i)
      text += (i ? ", " : "") + signals_[i].label;
    return text + (signals_.size() > shown ? ", ...)" : ")");
  }

  const std::vector<SignalInfo>& signals_;
};

// Microvolts per physical unit, or nothing for a dimension that is no voltage.
std::optional<double> microvolts_per_unit(const std::string& dimension) {
  if (dimension == "uV" || dimension == "\xc2\xb5V" || dimension == "\xb5V") return 1.0;
  if (dimension == "mV") return 1e3;
  if (dimension == "V") return 1e6;
  if (dimension == "nV") return 1e-3;
  return std::nullopt;
}

std::string rate_text(const SignalInfo& info) {
  char text[64];
  const double rate = static_cast<double>(info.samples_per_record) * ticks_per_second /
                      static_cast<double>(info.record_duration);
  return {text, std::to_chars(text, text + sizeof text, rate, std::chars_format::fixed).ptr};
}

std::string seconds_text(double seconds) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed).ptr;
  return std::string(text, end) + " s";
}

std::int64_t floor_divide(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Where a signal's samples lie in milliseconds: sample i is at
// i * record_duration / samples_per_record ticks, and ticks_per_ms ticks make
// a millisecond.
struct SignalClock {
  std::int64_t samples_per_record;
  std::int64_t record_duration;

  bool one_per_ms() const { return samples_per_record * ticks_per_ms == record_duration; }
  double ratio() const {  // 1000 per second over the signal's rate
    return static_cast<double>(record_duration) /
           static_cast<double>(samples_per_record * ticks_per_ms);
  }
  // The last sample at or before millisecond `ms` (negative before the start).
  std::int64_t sample_before(std::int64_t ms) const {
    return floor_divide(ms * samples_per_record * ticks_per_ms, record_duration);
  }
  // The first sample at or after millisecond `ms`.
  std::int64_t sample_at(std::int64_t ms) const { return -sample_before(-ms); }
  // The number of samples after which the samples fall on whole milliseconds
  // again.
  std::int64_t whole_ms_period() const {
    const std::int64_t per_ms = samples_per_record * ticks_per_ms;
    return per_ms / std::gcd(per_ms, record_duration);
  }
  std::int64_t ms_of(std::int64_t sample) const {
    return sample * record_duration / (samples_per_record * ticks_per_ms);
  }
};

// The sinc filters reach at most about 150 zero crossings each way (the
// fastest about 20), one per output sample (1 ms) when the rate goes down and
// one per input sample (ratio ms) when it goes up.
std::int64_t filter_margin_ms(const SignalClock& clock) {
  constexpr double zero_crossings = 160.0;
  return static_cast<std::int64_t>(std::ceil(zero_crossings * std::max(1.0, clock.ratio())));
}

// The 32,000 values of a signal at 1000 per second, copied, in its own unit.
std::optional<std::string> copy_at_1000(SignalSource& source, int signal, std::int64_t start_ms,
                                        std::vector<double>& values) {
  const std::int64_t count = source.signals()[static_cast<std::size_t>(signal - 1)].sample_count;
  const std::int64_t available = std::clamp<std::int64_t>(count - start_ms, 0, recorded_samples);
  if (auto error = source.read(signal, start_ms, available, values)) return error;
  values.resize(recorded_samples, 0.0);
  return std::nullopt;
}

// The input samples a conversion reads, counted in the signals' own samples.
struct InputSpan {
  std::int64_t begin;      // the first sample in the file the filter sees
  std::int64_t available;  // one past the last sample every signal has, up to the span's end
  std::size_t frames;      // samples the filter sees, the file's or not
  std::size_t before;      // of those, before the file's first sample
  std::size_t skip;        // converted samples (ms) before start_ms
};

// The span the filter needs for 32,000 ms from `start_ms` with its margin
// both sides, starting on a whole millisecond, so that output j is
// millisecond ms_of(first) + j.
InputSpan input_span(SignalSource& source, const std::vector<int>& signals,
                     const SignalClock& clock, std::int64_t start_ms) {
  const std::int64_t margin = filter_margin_ms(clock);
  const std::int64_t period = clock.whole_ms_period();
  const std::int64_t first = floor_divide(clock.sample_before(start_ms - margin), period) * period;
  const std::int64_t last = clock.sample_at(start_ms + recorded_samples + margin) + 1;
  std::int64_t available = last;
  for (int signal : signals)
    available =
        std::min(available, source.signals()[static_cast<std::size_t>(signal - 1)].sample_count);
  const std::int64_t begin = std::max<std::int64_t>(first, 0);
  return {begin, available, static_cast<std::size_t>(last - first),
          static_cast<std::size_t>(begin - first),
          static_cast<std::size_t>(start_ms - clock.ms_of(first))};
}

// Signals [from, to) of `signals` over the span, frame after frame as the
// filter takes them.
std::optional<std::string> read_interleaved(SignalSource& source, const std::vector<int>& signals,
                                            std::size_t from, std::size_t to, const InputSpan& span,
                                            std::vector<float>& interleaved) {
  const std::size_t width = to - from;
  interleaved.assign(span.frames * width, 0.0f);
  std::vector<double> values;
  for (std::size_t k = 0; k < width; ++k) {
    if (auto error = source.read(signals[from + k], span.begin,
                                 std::max<std::int64_t>(span.available - span.begin, 0), values))
      return error;
    // Input before the file's first sample and after its last holds the
    // nearest sample: against silence, a recording's standing offset would
    // ring at the ends like a step.
    const double head = values.empty() ? 0.0 : values.front();
    const double tail = values.empty() ? 0.0 : values.back();
    for (std::size_t f = 0; f < span.frames; ++f) {
      const double value = f < span.before                   ? head
                           : f - span.before < values.size() ? values[f - span.before]
                                                             : tail;
      interleaved[f * width + k] = static_cast<float>(value);
    }
  }
  return std::nullopt;
}

// Signals [from, to) of `signals` converted into outputs[from, to): 32,000
// values each from converted sample `span.skip` on, 0 past the converted end.
std::optional<std::string> convert_part(SignalSource& source, const std::vector<int>& signals,
                                        std::size_t from, std::size_t to, const SignalClock& clock,
                                        const InputSpan& span,
                                        std::vector<std::vector<double>>& outputs) {
  const std::size_t width = to - from;
  std::vector<float> interleaved;
  if (auto error = read_interleaved(source, signals, from, to, span, interleaved)) return error;
  std::vector<float> converted;
  if (auto error = resample(interleaved, static_cast<int>(width), clock.ratio(), converted))
    return "signal " + std::to_string(signals[from]) + " cannot be converted to 1000 per second (" +
           *error + ")";
  const std::size_t made = converted.size() / width;
  for (std::size_t k = 0; k < width; ++k) {
    std::vector<double>& out = outputs[from + k];
    out.assign(recorded_samples, 0.0);
    for (std::size_t t = 0; t < out.size() && span.skip + t < made; ++t)
      out[t] = converted[(span.skip + t) * width + k];
  }
  return std::nullopt;
}

// The 32,000 values at 1000 per second of signals that share one clock. Two
// threads each read and convert half of the signals: reading and conversion
// take most of an import's time.
std::optional<std::string> convert_at_1000(SignalSource& source, const std::vector<int>& signals,
                                           const SignalClock& clock, std::int64_t start_ms,
                                           std::vector<std::vector<double>>& outputs) {
  const InputSpan span = input_span(source, signals, clock, start_ms);
  outputs.resize(signals.size());
  const std::size_t half = (signals.size() + 1) / 2;
  std::optional<std::string> second_error;
  std::thread second;
  if (half < signals.size())
    second = std::thread([&] {
      second_error = convert_part(source, signals, half, signals.size(), clock, span, outputs);
    });
  auto error = convert_part(source, signals, 0, half, clock, span, outputs);
  if (second.joinable()) second.join();
  return error ? error : second_error;
}

// Stores one channel as big-endian 16-bit recorder units, counting the
// samples that had to be clipped: to -32767 below, as -32768 stands for "no
// sample" to WFDB readers.
long store_channel(const std::vector<double>& values, double units_per_value, int channel,
                   std::vector<unsigned char>& bytes) {
  long saturated = 0;
  for (std::size_t t = 0; t < values.size(); ++t) {
    double units = std::nearbyint(values[t] * units_per_value);
    if (!(units <= 32767.0 && units >= -32767.0)) {
      ++saturated;
      units = units < 0 ? -32767.0 : 32767.0;  // NaN counts as the top
    }
    const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(units));
    const std::size_t at = t * frame_bytes + 2 * static_cast<std::size_t>(channel - 1);
    bytes[at] = static_cast<unsigned char>(word >> 8);
    bytes[at + 1] = static_cast<unsigned char>(word & 0xFF);
  }
  return saturated;
}

}  // namespace

std::variant<ChannelSignals, std::string> choose_signals(const std::vector<SignalInfo>& signals,
                                                         std::string_view list) {
  ChannelSignals chosen;
  if (list.empty()) {
    for (int c = 1; c <= std::min<int>(channel_count, static_cast<int>(signals.size())); ++c)
      chosen(c) = c;
    return chosen;
  }
  const ListReader reader(signals);
  std::vector<int> picked;
  for (std::size_t begin = 0;;) {
    const std::size_t comma = list.find(',', begin);
    if (auto error = reader.add_item(list.substr(begin, comma - begin), picked)) return *error;
    if (comma == std::string_view::npos) break;
    begin = comma + 1;
  }
  if (picked.size() > static_cast<std::size_t>(channel_count))
    return "the list names " + std::to_string(picked.size()) +
           " signals, more than the 72 channels of a recording";
  for (std::size_t i = 0; i < picked.size(); ++i) chosen(static_cast<long>(i + 1)) = picked[i];
  return chosen;
}

namespace {

// One channel to fill: the signal behind it, the scale from the signal's
// values to recorder units and the signal's clock.
struct ChannelPlan {
  int channel;
  int signal;
  double units_per_value;
  SignalClock clock;
};

// Every chosen channel checked before any is read.
std::variant<std::vector<ChannelPlan>, std::string> plan_channels(SignalSource& source,
                                                                  const ChannelSignals& chosen,
                                                                  double units_per_uv) {
  std::vector<ChannelPlan> plans;
  for (int c = 1; c <= channel_count; ++c) {
    const int signal = chosen(c);
    if (signal == 0) continue;
    const SignalInfo& info = source.signals().at(static_cast<std::size_t>(signal - 1));
    const std::string named = "signal " + std::to_string(signal) + " '" + info.label + "'";
    const auto per_unit = microvolts_per_unit(info.dimension);
    if (!per_unit) return named + " is in '" + info.dimension + "', not a voltage (uV, mV or V)";
    if (info.samples_per_record < 1 || info.record_duration < 1)
      return named + " has no usable sampling rate";
    // The converter takes rates from 1/256 to 256 times 1000 per second.
    const SignalClock clock{info.samples_per_record, info.record_duration};
    if (clock.ratio() > 256.0 || clock.ratio() < 1.0 / 256.0)
      return named + " has " + rate_text(info) +
             " samples per second; 3.90625 to 256000 can be imported";
    plans.push_back({c, signal, *per_unit * units_per_uv, clock});
  }
  return plans;
}

// The channels already at 1000 per second, copied as they are; `done`
// marks them.
std::optional<std::string> copy_native(SignalSource& source, const std::vector<ChannelPlan>& plans,
                                       std::int64_t start_ms, std::vector<bool>& done,
                                       ImportedRecording& imported) {
  std::vector<double> values;
  for (std::size_t p = 0; p < plans.size(); ++p) {
    if (!plans[p].clock.one_per_ms()) continue;
    if (auto error = copy_at_1000(source, plans[p].signal, start_ms, values)) return error;
    imported.saturated(plans[p].channel) =
        store_channel(values, plans[p].units_per_value, plans[p].channel, imported.bytes);
    done[p] = true;
  }
  return std::nullopt;
}

// The channels not yet done, converted in groups of one clock each.
std::optional<std::string> convert_rest(SignalSource& source, const std::vector<ChannelPlan>& plans,
                                        std::int64_t start_ms, std::vector<bool>& done,
                                        ImportedRecording& imported) {
  for (std::size_t p = 0; p < plans.size(); ++p) {
    if (done[p]) continue;
    std::vector<std::size_t> group;
    std::vector<int> signals;
    for (std::size_t q = p; q < plans.size(); ++q)
      if (!done[q] && plans[q].clock.samples_per_record == plans[p].clock.samples_per_record &&
          plans[q].clock.record_duration == plans[p].clock.record_duration) {
        group.push_back(q);
        signals.push_back(plans[q].signal);
        done[q] = true;
      }
    std::vector<std::vector<double>> outputs;
    if (auto error = convert_at_1000(source, signals, plans[p].clock, start_ms, outputs))
      return error;
    for (std::size_t g = 0; g < group.size(); ++g) {
      const ChannelPlan& plan = plans[group[g]];
      imported.saturated(plan.channel) =
          store_channel(outputs[g], plan.units_per_value, plan.channel, imported.bytes);
    }
  }
  return std::nullopt;
}

}  // namespace

std::variant<ImportedRecording, std::string> import_recording(SignalSource& source,
                                                              const ChannelSignals& chosen,
                                                              const ImportSettings& settings) {
  // Whole milliseconds of the file, so that no start overflows the sum.
  const std::int64_t lasting_ms = source.duration() / ticks_per_ms;
  if (settings.start_ms < 0 || settings.start_ms > lasting_ms - recorded_samples)
    return "the recording lasts " +
           seconds_text(static_cast<double>(source.duration()) / ticks_per_second) +
           ", too short for 32 s from " +
           seconds_text(static_cast<double>(settings.start_ms) / 1000.0);
  const auto planned = plan_channels(source, chosen, settings.units_per_uv);
  if (const auto* fault = std::get_if<std::string>(&planned)) return *fault;
  const auto& plans = std::get<std::vector<ChannelPlan>>(planned);
  ImportedRecording imported;
  imported.bytes.assign(recording_bytes, 0);
  std::vector<bool> done(plans.size());
  if (auto error = copy_native(source, plans, settings.start_ms, done, imported)) return *error;
  if (auto error = convert_rest(source, plans, settings.start_ms, done, imported)) return *error;
  return imported;
}

}  // namespace ba

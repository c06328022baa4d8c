#include "interchange/recording_import.h"

#include <edflib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "interchange/edf_file.h"
#include "interchange/recording_export.h"
#include "support/edf_bytes.h"
#include "support/temp_folder.h"

namespace ba {
namespace {

// Channel c at position t (1-based) of a recording file's bytes.
std::int16_t sample_of(const std::vector<unsigned char>& bytes, long c, long t) {
  const std::size_t at =
      static_cast<std::size_t>(t - 1) * frame_bytes + 2 * static_cast<std::size_t>(c - 1);
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(bytes.at(at) << 8 | bytes.at(at + 1)));
}

std::unique_ptr<EdfFile> open_file(const std::filesystem::path& path) {
  static HostFileOps files;
  auto opened = EdfFile::open(files, path);
  if (auto* reason = std::get_if<std::string>(&opened)) ADD_FAILURE() << *reason;
  return opened.index() == 0 ? std::move(std::get<0>(opened)) : nullptr;
}

ImportedRecording imported_or_fail(std::variant<ImportedRecording, std::string> outcome) {
  if (auto* reason = std::get_if<std::string>(&outcome)) ADD_FAILURE() << *reason;
  return outcome.index() == 0 ? std::get<0>(std::move(outcome)) : ImportedRecording{};
}

ChannelSignals first_signals(int count) {
  ChannelSignals chosen;
  for (int c = 1; c <= count; ++c) chosen(c) = c;
  return chosen;
}

// A sine of 10 Hz (or another frequency) and 10,000 uV at any rate, given as samples per record and
// record duration, 40 s long.
class SineSource : public SignalSource {
 public:
  SineSource(std::int64_t samples_per_record, std::int64_t record_duration, int copies = 1) {
    const std::int64_t records = 40 * ticks_per_second / record_duration;
    for (int copy = 0; copy < copies; ++copy)
      signals_.push_back(
          {"sine", "uV", samples_per_record, record_duration, records * samples_per_record});
    duration_ = records * record_duration;
  }
  const std::vector<SignalInfo>& signals() const override { return signals_; }
  std::int64_t duration() const override { return duration_; }
  std::optional<std::string> read(int, std::int64_t first, std::int64_t count,
                                  std::vector<double>& values) override {
    const SignalInfo& info = signals_[0];
    values.resize(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
      const double seconds = static_cast<double>((first + i) * info.record_duration) /
                             static_cast<double>(info.samples_per_record * ticks_per_second);
      values[static_cast<std::size_t>(i)] =
          offset + amplitude * std::sin(2 * std::numbers::pi * frequency * seconds);
    }
    return std::nullopt;
  }
  double frequency = 10.0;     // Hz
  double amplitude = 10000.0;  // uV
  double offset = 0.0;         // uV

 private:
  std::vector<SignalInfo> signals_;
  std::int64_t duration_ = 0;
};

// Rates other than 1000 per second keep the sine's amplitude (0.05 %, finer
// than the 16-bit steps of an ECG) and phase (0.01 ms) at 10 and 40 Hz: the
// 32 s hold whole periods, so projecting on sine and cosine gives both.
TEST(ImportRate, ConvertedSineKeepsAmplitudeAndPhase) {
  struct Row {
    const char* label;
    std::int64_t samples_per_record, record_duration, start_ms;
    double frequency;
  } rows[] = {
      {"500 per second", 500, ticks_per_second, 0, 10},
      {"2048 per second", 2048, ticks_per_second, 0, 10},
      {"2048 per second at 40 Hz", 2048, ticks_per_second, 0, 40},
      {"2048 per second from 2.3 s, off the 125 ms grid", 2048, ticks_per_second, 2300, 10},
      {"500 per second from 1.5 s at 40 Hz", 500, ticks_per_second, 1500, 40},
      {"333 1/3 per second: records of 3 s", 1000, 3 * ticks_per_second, 700, 10},
      {"128 per second from 3.001 s: samples fall on whole ms every 125 ms", 128, ticks_per_second,
       3001, 40},
      {"1000 per second is copied", 1000, ticks_per_second, 250, 10},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SineSource source(row.samples_per_record, row.record_duration);
    source.frequency = row.frequency;
    const auto imported =
        imported_or_fail(import_recording(source, first_signals(1), {row.start_ms, 1.0}));
    if (imported.bytes.empty()) continue;
    double sine = 0, cosine = 0;
    for (long t = 1; t <= recorded_samples; ++t) {
      const double angle =
          2 * std::numbers::pi * row.frequency * static_cast<double>(row.start_ms + t - 1) / 1000.0;
      sine += sample_of(imported.bytes, 1, t) * std::sin(angle);
      cosine += sample_of(imported.bytes, 1, t) * std::cos(angle);
    }
    const double amplitude = 2 * std::hypot(sine, cosine) / recorded_samples;
    const double phase_ms =
        std::atan2(cosine, sine) / (2 * std::numbers::pi * row.frequency) * 1000.0;
    EXPECT_NEAR(amplitude / source.amplitude, 1.0, 0.0005);
    EXPECT_NEAR(phase_ms, 0.0, 0.01);
    EXPECT_EQ(imported.saturated(1), 0);
  }
}

// A standing offset of 5,000 uV comes through converted to the first and
// last millisecond of the file: the converter must not see silence beyond
// the file's ends, against which the offset would ring like a step.
TEST(ImportRate, OffsetHoldsUpToTheEndsOfTheFile) {
  struct Row {
    const char* label;
    std::int64_t samples_per_record, start_ms;
  } rows[] = {
      {"500 per second from the start", 500, 0},
      {"2048 per second from the start", 2048, 0},
      {"2048 per second to the end of the 40 s", 2048, 8000},
      {"500 per second to the end of the 40 s", 500, 8000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SineSource source(row.samples_per_record, ticks_per_second);
    source.amplitude = 0.0;
    source.offset = 5000.0;
    const auto imported =
        imported_or_fail(import_recording(source, first_signals(1), {row.start_ms, 1.0}));
    if (imported.bytes.empty()) continue;
    for (long t : {1L, 2L, 100L, 31999L, 32000L})
      EXPECT_EQ(sample_of(imported.bytes, 1, t), 5000) << t;
  }
}

// Signals of one rate are converted together, in two halves at once; each
// comes out as it would alone.
TEST(ImportRate, SignalsConvertedTogetherMatchOneConvertedAlone) {
  SineSource alone(2048, ticks_per_second);
  const auto single = imported_or_fail(import_recording(alone, first_signals(1), {300, 1.0}));
  SineSource three(2048, ticks_per_second, 3);
  const auto together = imported_or_fail(import_recording(three, first_signals(3), {300, 1.0}));
  ASSERT_FALSE(single.bytes.empty() || together.bytes.empty());
  for (long c = 1; c <= 3; ++c)
    for (long t : {1L, 2L, 16000L, 32000L})
      EXPECT_EQ(sample_of(together.bytes, c, t), sample_of(single.bytes, 1, t)) << c << " " << t;
}

// Three sines of 10 Hz at rates that share samples per record or record
// length but not both: 2048 every 1 s, 2048 every 2 s, 1024 every 1 s. Each
// is converted at its own rate, as it would be alone.
class MixedRateSource : public SignalSource {
 public:
  MixedRateSource() {
    for (const auto& [per_record, duration] :
         {std::pair{2048, 1}, std::pair{2048, 2}, std::pair{1024, 1}})
      signals_.push_back(
          {"sine", "uV", per_record, duration * ticks_per_second, 40 / duration * per_record});
  }
  const std::vector<SignalInfo>& signals() const override { return signals_; }
  std::int64_t duration() const override { return 40 * ticks_per_second; }
  std::optional<std::string> read(int signal, std::int64_t first, std::int64_t count,
                                  std::vector<double>& values) override {
    const SignalInfo& info = signals_.at(static_cast<std::size_t>(signal - 1));
    values.resize(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i)
      values[static_cast<std::size_t>(i)] =
          10000.0 * std::sin(2 * std::numbers::pi * 10.0 * static_cast<double>(first + i) *
                             static_cast<double>(info.record_duration) /
                             static_cast<double>(info.samples_per_record * ticks_per_second));
    return std::nullopt;
  }

 private:
  std::vector<SignalInfo> signals_;
};

TEST(ImportRate, SignalsOfDifferentRatesAreConvertedApart) {
  MixedRateSource source;
  const auto together = imported_or_fail(import_recording(source, first_signals(3), {500, 1.0}));
  ASSERT_FALSE(together.bytes.empty());
  for (long c = 1; c <= 3; ++c) {
    ChannelSignals alone;
    alone(1) = static_cast<int>(c);
    const auto single = imported_or_fail(import_recording(source, alone, {500, 1.0}));
    ASSERT_FALSE(single.bytes.empty());
    // 10 Hz from 0.5 s: position 26 is 0.525 s, the crest of a period.
    EXPECT_NEAR(sample_of(single.bytes, 1, 26), 10000, 2) << c;
    for (long t : {1L, 26L, 16000L, 32000L})
      EXPECT_EQ(sample_of(together.bytes, c, t), sample_of(single.bytes, 1, t)) << c << " " << t;
  }
}

// A BDF file written here with 24-bit values: 1 digital unit is 0.1 uV.
// Signal 1 cycles through five values, signal 2 holds 20,000 uV throughout.
TEST(ImportBdf, ScalesTwentyFourBitValuesAndCountsSaturation) {
  const std::int32_t cycle[] = {123456, 400000, -400000, -7, 0};
  test::EdfContents contents;
  contents.bdf = true;
  for (const char* label : {"A1", "A2"}) {
    test::EdfSignalContents signal;
    signal.label = label;
    signal.physical_min = "-100000";
    signal.physical_max = "100000";
    signal.digital_min = "-1000000";
    signal.digital_max = "1000000";
    contents.signals.push_back(signal);
  }
  contents.signals[0].value = [&](std::int64_t i) { return cycle[i % 5]; };
  contents.signals[1].value = [](std::int64_t) { return 200000; };
  test::TempFolder folder("import_bdf");
  test::write_host_file(folder / "known.bdf", test::edf_bytes(contents));
  struct Row {
    const char* label;
    double units_per_uv;
    std::int16_t first[5];  // channel 1 at positions 1..5
    std::int16_t second;    // channel 2 anywhere
    long saturated_first, saturated_second;
  } rows[] = {
      {"1 unit per uV: 12345.6 uV rounds up, +-40000 uV clip (below to -32767: -32768 is "
       "no sample to WFDB readers)",
       1.0,
       {12346, 32767, -32767, -1, 0},
       20000,
       12800,
       0},
      {"2 units per uV: 20000 uV clips as well",
       2.0,
       {24691, 32767, -32767, -1, 0},
       32767,
       12800,
       32000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    auto file = open_file(folder / "known.bdf");
    ASSERT_TRUE(file);
    const auto imported =
        imported_or_fail(import_recording(*file, first_signals(2), {0, row.units_per_uv}));
    ASSERT_EQ(imported.bytes.size(), recording_bytes);
    for (long t = 1; t <= 5; ++t) EXPECT_EQ(sample_of(imported.bytes, 1, t), row.first[t - 1]) << t;
    EXPECT_EQ(sample_of(imported.bytes, 1, 31996), row.first[0]);
    EXPECT_EQ(sample_of(imported.bytes, 2, 32000), row.second);
    EXPECT_EQ(sample_of(imported.bytes, 3, 1), 0);
    EXPECT_EQ(imported.saturated(1), row.saturated_first);
    EXPECT_EQ(imported.saturated(2), row.saturated_second);
  }
}

// The reader takes a signal's stretch of each record in one read; EDFlib,
// which reads a sample a byte at a time, gives every value it must give.
TEST(EdfRead, EveryStretchAsEdflibReadsIt) {
  auto signal = [](const char* label, int per_record, const char* physical_min,
                   const char* physical_max, const char* digital_min, const char* digital_max,
                   std::int32_t spread) {
    test::EdfSignalContents contents;
    contents.label = label;
    contents.samples_per_record = per_record;
    contents.physical_min = physical_min;
    contents.physical_max = physical_max;
    contents.digital_min = digital_min;
    contents.digital_max = digital_max;
    // Values beyond both digital limits come through clipped to them.
    contents.value = [spread](std::int64_t i) {
      return static_cast<std::int32_t>((i * 7919) % (2 * spread + 1)) - spread;
    };
    return contents;
  };
  test::EdfContents edf_plus;
  edf_plus.reserved = "EDF+C";
  edf_plus.records = 4;
  edf_plus.signals = {signal("V1", 7, "-3.2", "5.1", "-2000", "3000", 32768),
                      test::annotation_signal(), signal("  V2", 5, "0", "1", "0", "255", 300)};
  test::EdfContents bdf;
  bdf.bdf = true;
  bdf.records = 3;
  bdf.signals = {signal("A", 11, "-262144", "262143", "-8388608", "8388607", 8388608),
                 signal("B", 4, "-1", "1", "-100", "100", 1000)};
  const struct Row {
    const char* label;
    test::EdfContents contents;
  } rows[] = {{"EDF+: an annotation signal between signals of other lengths", edf_plus},
              {"BDF: 24-bit values, one limit at each end of the range", bdf}};
  test::TempFolder folder("edf_read");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const auto path = folder / "file.edf";
    test::write_host_file(path, test::edf_bytes(row.contents));
    std::vector<std::vector<double>> expected;
    {
      edf_hdr_struct header{};
      ASSERT_EQ(edfopen_file_readonly(path.c_str(), &header, EDFLIB_DO_NOT_READ_ANNOTATIONS), 0);
      for (int i = 0; i < header.edfsignals; ++i) {
        std::vector<double> all(static_cast<std::size_t>(header.signalparam[i].smp_in_file));
        EXPECT_EQ(
            edfread_physical_samples(header.handle, i, static_cast<int>(all.size()), all.data()),
            static_cast<int>(all.size()));
        expected.push_back(all);
      }
      edfclose_file(header.handle);
    }
    auto file = open_file(path);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->signals().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto total = static_cast<std::int64_t>(expected[i].size());
      const std::int64_t per_record = file->signals()[i].samples_per_record;
      // The whole signal, a stretch across two record borders, the last sample.
      for (const auto& [first, count] : {std::pair<std::int64_t, std::int64_t>{0, total},
                                         {per_record - 2, per_record + 4},
                                         {total - 1, 1}}) {
        std::vector<double> values;
        ASSERT_EQ(file->read(static_cast<int>(i + 1), first, count, values), std::nullopt);
        for (std::int64_t k = 0; k < count; ++k)
          EXPECT_EQ(values[static_cast<std::size_t>(k)],
                    expected[i][static_cast<std::size_t>(first + k)])
              << "signal " << i + 1 << " sample " << first + k;
      }
      std::vector<double> values;
      EXPECT_EQ(file->read(static_cast<int>(i + 1), total - 1, 2, values),
                "signal " + std::to_string(i + 1) + " cannot be read from sample " +
                    std::to_string(total));
    }
  }
}

// A recording of every value an import writes goes out as EDF+ and comes
// back with the same bytes at every factor the EDF header can hold; from
// 0.004 the physical limits (-8,192,000 uV) fill the 8-character fields, to
// 40,000 they need five decimals.
TEST(ImportRoundTrip, RecordingThroughEdfPlusComesBackIdentical) {
  std::vector<unsigned char> recording(recording_bytes);
  std::mt19937 random(12);
  for (auto& byte : recording) byte = static_cast<unsigned char>(random());
  for (std::size_t at = 0; at < recording.size(); at += 2)  // -32768 is never written
    if (recording[at] == 0x80 && recording[at + 1] == 0) recording[at + 1] = 1;
  for (std::size_t c = 0; c < 4; ++c) {  // the extremes in channels 1 and 2
    recording[c] = c % 2 == 0 ? 0x7F : 0xFF;
    recording[frame_bytes + c] = c % 2 == 0 ? 0x80 : 0x01;
  }
  test::TempFolder folder("import_round_trip");
  HostFileOps files;
  for (double units_per_uv : {1.0, 0.004, 0.37, 3.0, 1000.0, 40000.0}) {
    SCOPED_TRACE(units_per_uv);
    ASSERT_EQ(write_edf_plus(files, folder / "out.edf", recording_signals(recording, units_per_uv),
                             {{0, "R"}, {31999 * ticks_per_ms, "R"}}),
              std::nullopt);
    auto file = open_file(folder / "out.edf");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->signals().size(), 72u);
    EXPECT_EQ(file->signals()[8].label, "lead1");
    const auto imported =
        imported_or_fail(import_recording(*file, first_signals(72), {0, units_per_uv}));
    EXPECT_TRUE(imported.bytes == recording);
  }
}

TEST(ImportLength, TooShortSaysHowLongTheRecordingIs) {
  struct Row {
    const char* label;
    std::int64_t start_ms;
    const char* message;  // empty when the import goes through
  } rows[] = {
      {"40 s from 8 s: exactly enough", 8000, ""},
      {"40 s from 8.001 s", 8001, "the recording lasts 40 s, too short for 32 s from 8.001 s"},
      {"40 s from 39 s", 39000, "the recording lasts 40 s, too short for 32 s from 39 s"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SineSource source(1000, ticks_per_second);
    const auto outcome = import_recording(source, first_signals(1), {row.start_ms, 1.0});
    const auto* message = std::get_if<std::string>(&outcome);
    EXPECT_EQ(message ? *message : "", row.message);
  }
}

TEST(ImportRate, RatesTheConverterCannotTakeAreRefused) {
  struct Row {
    const char* label;
    std::int64_t samples_per_record, record_duration;
    const char* message;
  } rows[] = {
      {"3 per second", 3, ticks_per_second,
       "signal 1 'sine' has 3 samples per second; 3.90625 to 256000 can be imported"},
      {"1 sample in records of 0.25 s: 4 per second", 1, ticks_per_second / 4, ""},
      {"300,000 per second", 300000, ticks_per_second,
       "signal 1 'sine' has 300000 samples per second; 3.90625 to 256000 can be imported"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SineSource source(row.samples_per_record, row.record_duration);
    const auto outcome = import_recording(source, first_signals(1), {0, 1.0});
    const auto* message = std::get_if<std::string>(&outcome);
    EXPECT_EQ(message ? *message : "", row.message);
  }
}

TEST(ImportDimension, VoltagesAreScaledToMicrovoltsAndOtherUnitsRefused) {
  struct Row {
    const char* dimension;
    std::int16_t value;  // of digital 3
    const char* message;
  } rows[] = {
      {"uV", 3, ""},
      {"mV", 3000, ""},
      {"nV", 0, ""},
      {"V", 32767, ""},
      {"bpm", 0, "signal 1 'S' is in 'bpm', not a voltage (uV, mV or V)"},
      {"", 0, "signal 1 'S' is in '', not a voltage (uV, mV or V)"},
  };
  test::TempFolder folder("import_dimension");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dimension);
    test::EdfContents contents;
    test::EdfSignalContents signal;
    signal.label = "S";
    signal.dimension = row.dimension;
    signal.value = [](std::int64_t) { return 3; };
    contents.signals.push_back(signal);
    test::write_host_file(folder / "d.edf", test::edf_bytes(contents));
    auto file = open_file(folder / "d.edf");
    ASSERT_TRUE(file);
    const auto outcome = import_recording(*file, first_signals(1), {0, 1.0});
    if (const auto* message = std::get_if<std::string>(&outcome)) {
      EXPECT_EQ(*message, row.message);
    } else {
      EXPECT_EQ(std::string(), row.message);
      EXPECT_EQ(sample_of(std::get<ImportedRecording>(outcome).bytes, 1, 7), row.value);
    }
  }
}

std::vector<SignalInfo> labelled(std::initializer_list<const char*> labels) {
  std::vector<SignalInfo> signals;
  for (const char* label : labels) signals.push_back({label, "uV", 1000, ticks_per_second, 40000});
  return signals;
}

std::vector<SignalInfo> numbered(const std::string& prefix, int count) {
  std::vector<SignalInfo> signals;
  for (int n = 1; n <= count; ++n)
    signals.push_back({prefix + std::to_string(n), "uV", 1000, ticks_per_second, 40000});
  return signals;
}

// The signal of channels 1..n, then "|" and the rest's count when it is not
// all zeros, or the reason the list was refused.
std::string chosen_text(const std::vector<SignalInfo>& signals, std::string_view list) {
  const auto outcome = choose_signals(signals, list);
  if (const auto* reason = std::get_if<std::string>(&outcome)) return *reason;
  const auto& chosen = std::get<ChannelSignals>(outcome);
  int last = channel_count;
  while (last > 0 && chosen(last) == 0) --last;
  std::string text;
  for (int c = 1; c <= last; ++c) text += (c > 1 ? "," : "") + std::to_string(chosen(c));
  return text;
}

TEST(ChannelList, NumbersLabelsAndRangesInChannelOrder) {
  const auto few = labelled({"Fp1", "C3-A2", "ecg", "V2", "V1", "V3"});
  struct Row {
    const char* label;
    std::string_view list;
    std::string expected;
  } rows[] = {
      {"default: every signal of a short file", "", "1,2,3,4,5,6"},
      {"numbers and a number range", "6,1-3", "6,1,2,3"},
      {"labels without regard to case", "ECG,fp1", "3,1"},
      {"a label with a dash is a label", "C3-A2", "2"},
      {"a label range by the labels' numbers, not file order", "V1-V3", "5,4,6"},
      {"a label range across prefixes runs in file order", "C3-A2-V2", "2,3,4"},
      {"a signal twice", "1,1", "1,1"},
      {"empty item", "1,,2", "an empty item in the channel list"},
      {"number past the last signal", "7",
       "there is no signal 7 (the file has 6 signals, annotations not counted)"},
      {"signal 0", "0-2", "there is no signal 0 (the file has 6 signals, annotations not counted)"},
      {"backwards", "3-1", "the range 3-1 runs backwards"},
      {"backwards labels", "V3-V1", "the range V3-V1 runs backwards"},
      {"unknown label", "Cz",
       "no signal is labelled 'Cz' and it is no signal number (the file's labels: Fp1, C3-A2, "
       "ecg, V2, V1, V3)"},
      {"unknown end of a range", "V1-V9",
       "no signal is labelled 'V9' and it is no signal number (the file's labels: Fp1, C3-A2, "
       "ecg, V2, V1, V3)"},
  };
  for (const Row& row : rows) EXPECT_EQ(chosen_text(few, row.list), row.expected) << row.label;

  const auto many = numbered("V", 80);
  EXPECT_EQ(chosen_text(many, "").size(), chosen_text(many, "1-72").size()) << "default takes 72";
  EXPECT_EQ(chosen_text(many, "V79-V80,V1"), "79,80,1");
  EXPECT_EQ(chosen_text(many, "V1-V73"),
            "the list names 73 signals, more than the 72 channels of a recording");
  auto gap = numbered("V", 10);
  gap.erase(gap.begin() + 4);  // no V5
  EXPECT_EQ(chosen_text(gap, "V1-V9"), "no signal is labelled 'V5' (in the range V1-V9)");
  // Labels that are numbers alone have no prefix to share: a range of them
  // runs in file order, from the signal labelled 1 to the one labelled 3.
  EXPECT_EQ(chosen_text(labelled({"2", "1", "3"}), "1-3"), "2,3");
  // A label's number may end in 0, and a range runs by it, not by file order.
  EXPECT_EQ(chosen_text(labelled({"V10", "V9"}), "V9-V10"), "2,1");
}

}  // namespace
}  // namespace ba

#pragma once
// EDF and BDF files written byte by byte from the format's field table, so
// tests of the reader do not depend on the library that reads them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ba::test {

struct EdfSignalContents {
  std::string label;
  std::string dimension = "uV";
  std::string physical_min = "-32768";
  std::string physical_max = "32767";
  std::string digital_min = "-32768";
  std::string digital_max = "32767";
  int samples_per_record = 1000;
  // Digital value of sample i (0-based over the whole file).
  std::function<std::int32_t(std::int64_t)> value = [](std::int64_t) { return 0; };
};

struct EdfContents {
  bool bdf = false;
  std::string reserved;  // "EDF+C", "EDF+D" or blank for plain EDF
  int records = 33;
  std::string record_duration = "1";
  std::vector<EdfSignalContents> signals;
};

// An ASCII header field: the text, blank-padded to its width.
inline std::string edf_field(const std::string& text, std::size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, ' ');
  return field;
}

inline std::string edf_bytes(const EdfContents& contents) {
  const std::size_t ns = contents.signals.size();
  std::string bytes = contents.bdf ? std::string(
                                         "\xff"
                                         "BIOSEMI")
                                   : edf_field("0", 8);
  bytes += edf_field("X X X X", 80) + edf_field("Startdate X X X X", 80) + "01.01.85" + "00.00.00";
  bytes += edf_field(std::to_string(256 * (ns + 1)), 8);
  bytes += edf_field(contents.bdf ? "24BIT" : contents.reserved, 44);
  bytes += edf_field(std::to_string(contents.records), 8) + edf_field(contents.record_duration, 8);
  bytes += edf_field(std::to_string(ns), 4);
  auto each = [&](auto text_of, std::size_t width) {
    for (const EdfSignalContents& signal : contents.signals)
      bytes += edf_field(text_of(signal), width);
  };
  each([](const EdfSignalContents& s) { return s.label; }, 16);
  each([](const EdfSignalContents&) { return std::string(); }, 80);
  each([](const EdfSignalContents& s) { return s.dimension; }, 8);
  each([](const EdfSignalContents& s) { return s.physical_min; }, 8);
  each([](const EdfSignalContents& s) { return s.physical_max; }, 8);
  each([](const EdfSignalContents& s) { return s.digital_min; }, 8);
  each([](const EdfSignalContents& s) { return s.digital_max; }, 8);
  each([](const EdfSignalContents&) { return std::string(); }, 80);
  each([](const EdfSignalContents& s) { return std::to_string(s.samples_per_record); }, 8);
  each([](const EdfSignalContents&) { return std::string(); }, 32);
  // Records: each signal's samples in turn, little-endian two's complement
  // of 2 bytes (EDF) or 3 bytes (BDF).
  const int width = contents.bdf ? 3 : 2;
  for (int record = 0; record < contents.records; ++record)
    for (const EdfSignalContents& signal : contents.signals)
      for (int i = 0; i < signal.samples_per_record; ++i) {
        const auto value = static_cast<std::uint32_t>(
            signal.value(static_cast<std::int64_t>(record) * signal.samples_per_record + i));
        for (int b = 0; b < width; ++b) bytes += static_cast<char>((value >> (8 * b)) & 0xFF);
      }
  return bytes;
}

// An EDF+ annotation signal whose records hold only their time stamps (one
// record a second).
inline EdfSignalContents annotation_signal() {
  EdfSignalContents signal;
  signal.label = "EDF Annotations";
  signal.dimension = "";
  signal.samples_per_record = 30;
  signal.value = [](std::int64_t i) {
    const std::string stamp = "+" + std::to_string(i / 30) + "\x14\x14";
    const auto at = static_cast<std::size_t>(i % 30) * 2;
    auto byte = [&](std::size_t k) { return k < stamp.size() ? std::uint8_t(stamp[k]) : 0; };
    return static_cast<std::int32_t>(static_cast<std::int16_t>(byte(at) | byte(at + 1) << 8));
  };
  return signal;
}

}  // namespace ba::test

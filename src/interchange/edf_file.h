#pragma once
// EDF, EDF+, BDF and BDF+ files through EDFlib, wrapped once: EDFlib's
// 0-based signal index is our 1-based one, its negative codes our texts.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "interchange/signal_source.h"
#include "runtime/files.h"

struct edf_hdr_struct;

namespace ba {

// Checks the fixed header against the file's size before EDFlib sees it, so
// that a file that is no EDF or BDF, a truncated file and a header that lies
// about its sizes each get their own message. `head` holds at least the
// fixed header and the signal headers when the file has them.
std::optional<std::string> check_edf_layout(std::span<const unsigned char> head,
                                            std::uintmax_t file_size);

class EdfFile : public SignalSource {
 public:
  ~EdfFile() override;
  EdfFile(const EdfFile&) = delete;
  EdfFile& operator=(const EdfFile&) = delete;

  // Opens a continuous EDF(+) or BDF(+) file for reading through `files`,
  // which must outlive the object, or says why not.
  static std::variant<std::unique_ptr<EdfFile>, std::string> open(
      FileOps& files, const std::filesystem::path& path);

  const std::vector<SignalInfo>& signals() const override { return signals_; }
  std::int64_t duration() const override { return duration_; }
  // Safe to call from several threads at once: each call reads on its own.
  std::optional<std::string> read(int signal, std::int64_t first, std::int64_t count,
                                  std::vector<double>& values) override;

 private:
  EdfFile(FileOps& files, int handle) : files_(files), handle_(handle) {}

  // The signals EDFlib reports, each matched to its place among the file's
  // signal headers in `head`; why not when the headers contradict them.
  std::optional<std::string> place_signals(const Bytes& head, const edf_hdr_struct& header);

  // Where a signal's samples lie in each data record and how its digital
  // values become physical ones, as EDFlib computes them.
  struct Placement {
    std::uint64_t offset = 0;  // of its first sample in a record, bytes
    std::int64_t per_record = 0;
    std::int32_t digital_min = 0;
    std::int32_t digital_max = 0;
    double bit_value = 1.0;
    double offset_units = 0.0;
  };

  FileOps& files_;
  int handle_;
  std::filesystem::path path_;
  std::vector<SignalInfo> signals_;
  std::vector<Placement> placements_;
  std::uint64_t header_bytes_ = 0;
  std::uint64_t record_bytes_ = 0;
  int sample_bytes_ = 2;
  std::int64_t duration_ = 0;
};

// One annotation of an EDF+ file: onset in 100 ns units from the start.
struct EdfAnnotation {
  std::int64_t onset = 0;
  std::string text;
};

// A signal to write: 16-bit digital values at 1000 samples per second, whose
// physical value is the digital value divided by `units_per_physical`.
struct EdfSignalOut {
  std::string label;
  std::string dimension;
  double units_per_physical = 1.0;
  std::vector<std::int16_t> samples;  // whole seconds
};

// Why 16-bit values at `units_per_physical` would not come back from an EDF
// header: its physical limits, -32768 and 32767 divided by the factor, are
// 8-character fields, and a value read back through them must round to the
// digital value it was. Nothing when the factor is fine.
std::optional<std::string> edf_factor_fault(double units_per_physical);

// The most annotations an EDF+ file of `records` one-second records carries.
std::size_t edf_annotation_room(std::size_t records);

// Writes an EDF+ file of one-second records, whole or not at all, replacing
// `path`. Every signal must hold the same whole number of seconds; more
// annotations than there is room for are refused.
std::optional<std::string> write_edf_plus(FileOps& files, const std::filesystem::path& path,
                                          const std::vector<EdfSignalOut>& signals,
                                          const std::vector<EdfAnnotation>& annotations);

}  // namespace ba

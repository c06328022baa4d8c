#include "interchange/edf_file.h"

#include <edflib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "interchange/scratch_file.h"
#include "runtime/text_kit.h"

namespace ba {

namespace {

// Fixed header layout (bytes): version 0..7, header size 184..191, number of
// records 236..243, number of signals 252..255; then 256 bytes per signal, of
// which the samples per record of signal i lie at 256 + 216 * ns + 8 * i.
constexpr std::size_t fixed_header_bytes = 256;
constexpr std::size_t signal_header_bytes = 256;
constexpr std::size_t samples_per_record_offset = 216;

constexpr std::string_view edf_version = "0       ";
constexpr std::string_view bdf_version =
    "\xff"
    "BIOSEMI";

std::string_view field(std::span<const unsigned char> head, std::size_t offset, std::size_t width) {
  return {reinterpret_cast<const char*>(head.data()) + offset, width};
}

// A header number: ASCII digits with blanks around them and an optional sign.
std::optional<std::int64_t> header_number(std::string_view text) {
  return parse_int64(trimmed(text));
}

// Samples per record of the file's signal `index` (0-based, annotation
// signals counted), from a header check_edf_layout accepted.
std::int64_t file_samples_per_record(std::span<const unsigned char> head, std::size_t ns,
                                     std::size_t index) {
  return *header_number(
      field(head, fixed_header_bytes + samples_per_record_offset * ns + 8 * index, 8));
}

std::string without_trailing_blanks(const char* text) {
  std::string result(text);
  result.erase(result.find_last_not_of(' ') + 1);
  return result;
}

std::string edflib_open_error(int code) {
  switch (code) {
    case EDFLIB_MALLOC_ERROR:
      return "not enough memory to read it";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
      return "cannot be opened";
    case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
      return "its header breaks the EDF rules (a field holds a value EDF does not allow)";
    case EDFLIB_MAXFILES_REACHED:
      return "too many EDF files are open";
    case EDFLIB_FILE_READ_ERROR:
      return "cannot be read";
    case EDFLIB_FILE_ALREADY_OPENED:
      return "is already open";
    case EDFLIB_FILETYPE_ERROR:
      return "is not an EDF or BDF file";
    case EDFLIB_NUMBER_OF_SIGNALS_INVALID:
      return "has more signals than can be read (at most 640)";
    case EDFLIB_FILE_IS_DISCONTINUOUS:
      return "is a discontinuous recording (EDF+D or BDF+D); only continuous recordings "
             "can be imported";
    default:
      return "cannot be read as EDF (code " + std::to_string(code) + ")";
  }
}

}  // namespace

std::optional<std::string> check_edf_layout(std::span<const unsigned char> head,
                                            std::uintmax_t file_size) {
  const std::size_t version_bytes = edf_version.size();
  const bool edf = head.size() >= version_bytes && field(head, 0, version_bytes) == edf_version;
  const bool bdf = head.size() >= version_bytes && field(head, 0, version_bytes) == bdf_version;
  if (!edf && !bdf) return "is not an EDF or BDF file (it does not start as one)";
  if (file_size < fixed_header_bytes || head.size() < fixed_header_bytes)
    return "is truncated: it ends inside its header";
  const auto signal_count = header_number(field(head, 252, 4));
  const auto header_size = header_number(field(head, 184, 8));
  const auto records = header_number(field(head, 236, 8));
  if (!signal_count || !header_size || !records)
    return "its header is damaged: the header size, number of records or number of signals "
           "is not a whole number";
  if (*signal_count < 1 || *signal_count > EDFLIB_MAXSIGNALS)
    return "its header gives " + std::to_string(*signal_count) + " signals (1 to 640 can be read)";
  const auto ns = static_cast<std::size_t>(*signal_count);
  const std::size_t expected_header = fixed_header_bytes + ns * signal_header_bytes;
  if (*header_size != static_cast<long long>(expected_header))
    return "its header lies about its size: it says " + std::to_string(*header_size) +
           " bytes, but " + std::to_string(ns) + " signals need " + std::to_string(expected_header);
  if (file_size < expected_header || head.size() < expected_header)
    return "is truncated: it ends inside its header";
  if (*records < 1)
    return "its header gives " + std::to_string(*records) +
           " data records (a recording that was never closed?)";
  const std::uintmax_t bytes_per_sample = bdf ? 3 : 2;
  std::uintmax_t record_bytes = 0;
  for (std::size_t i = 0; i < ns; ++i) {
    const auto samples =
        header_number(field(head, fixed_header_bytes + samples_per_record_offset * ns + 8 * i, 8));
    if (!samples || *samples < 1)
      return "its header is damaged: signal " + std::to_string(i + 1) +
             " has no valid number of samples per record";
    record_bytes += static_cast<std::uintmax_t>(*samples) * bytes_per_sample;
  }
  // More than any file could hold, and more than the size arithmetic holds.
  const auto record_count = static_cast<std::uintmax_t>(*records);
  if (record_count > (UINTMAX_MAX - expected_header) / record_bytes)
    return "its header lies about its sizes: " + std::to_string(record_count) + " records of " +
           std::to_string(record_bytes) + " bytes";
  const std::uintmax_t expected = expected_header + record_count * record_bytes;
  if (file_size < expected)
    return "is truncated: it holds " + std::to_string(file_size) + " bytes, its header announces " +
           std::to_string(expected);
  if (file_size > expected)
    return "its header lies about its sizes: it announces " + std::to_string(expected) +
           " bytes, the file holds " + std::to_string(file_size);
  return std::nullopt;
}

namespace {

// The fixed header and every signal header a file may have, once the file
// is known to be a plain file whose layout holds together.
std::variant<Bytes, std::string> read_checked_head(FileOps& files,
                                                   const std::filesystem::path& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return std::string("is a folder");
  // A pipe or a device would make the read wait for ever.
  if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error))
    return std::string("is not a plain file");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return std::string("cannot be opened: ") + error.message();
  Bytes head;
  if (auto failure = files.read_prefix(
          path, fixed_header_bytes + EDFLIB_MAXSIGNALS * signal_header_bytes, head))
    return "cannot be opened: " + *failure;
  if (auto fault = check_edf_layout(head, size)) return *fault;
  return head;
}

}  // namespace

std::variant<std::unique_ptr<EdfFile>, std::string> EdfFile::open(
    FileOps& files, const std::filesystem::path& path) {
  auto checked = read_checked_head(files, path);
  if (const auto* fault = std::get_if<std::string>(&checked)) return *fault;
  const Bytes& head = std::get<Bytes>(checked);
  // The header is about 170 kB: too large for the stack.
  auto header = std::make_unique<edf_hdr_struct>();
  if (edfopen_file_readonly(path.c_str(), header.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) != 0)
    return edflib_open_error(header->filetype);
  std::unique_ptr<EdfFile> file(new EdfFile(files, header->handle));
  if (header->edfsignals < 1) return std::string("holds no signals, only annotations");
  file->duration_ = header->file_duration;
  file->path_ = path;
  file->sample_bytes_ = head.front() == 0xff ? 3 : 2;  // BDF or EDF
  if (auto fault = file->place_signals(head, *header)) return *fault;
  return file;
}

std::optional<std::string> EdfFile::place_signals(const Bytes& head, const edf_hdr_struct& header) {
  const auto ns = static_cast<std::size_t>(*header_number(field(head, 252, 4)));
  header_bytes_ = fixed_header_bytes + ns * signal_header_bytes;
  // EDFlib's signals are the file's signals without the annotation signals,
  // in file order: each is the next file signal with its label and length.
  std::size_t next = 0;
  std::uint64_t offset = 0;
  for (int i = 0; i < header.edfsignals; ++i) {
    const edf_param_struct& param = header.signalparam[i];
    SignalInfo info{without_trailing_blanks(param.label),
                    without_trailing_blanks(param.physdimension), param.smp_in_datarecord,
                    header.datarecord_duration, param.smp_in_file};
    for (;; ++next) {
      if (next == ns)
        return std::string("cannot be read: its signal headers contradict each other");
      const std::int64_t per_record = file_samples_per_record(head, ns, next);
      const std::string label(field(head, fixed_header_bytes + 16 * next, 16));
      const bool same = without_trailing_blanks(label.c_str()) == info.label &&
                        per_record == param.smp_in_datarecord;
      if (same) break;
      offset += static_cast<std::uint64_t>(per_record * sample_bytes_);
    }
    Placement placement;
    placement.offset = offset;
    placement.per_record = param.smp_in_datarecord;
    placement.digital_min = param.dig_min;
    placement.digital_max = param.dig_max;
    placement.bit_value =
        (param.phys_max - param.phys_min) / static_cast<double>(param.dig_max - param.dig_min);
    placement.offset_units =
        param.phys_max / placement.bit_value - static_cast<double>(param.dig_max);
    placements_.push_back(placement);
    signals_.push_back(std::move(info));
    offset += static_cast<std::uint64_t>(placement.per_record * sample_bytes_);
    ++next;
  }
  for (; next < ns; ++next)
    offset += static_cast<std::uint64_t>(file_samples_per_record(head, ns, next) * sample_bytes_);
  record_bytes_ = offset;
  return std::nullopt;
}

EdfFile::~EdfFile() { edfclose_file(handle_); }

// EDFlib reads a sample one byte at a time; a signal's stretch of a record
// comes here in one read, and its values are worked out as EDFlib does.
std::optional<std::string> EdfFile::read(int signal, std::int64_t first, std::int64_t count,
                                         std::vector<double>& values) {
  values.resize(static_cast<std::size_t>(count));
  if (count == 0) return std::nullopt;
  const auto index = static_cast<std::size_t>(signal - 1);
  const Placement& placement = placements_.at(index);
  if (first < 0 || count < 0 || first > signals_[index].sample_count - count)
    return "signal " + std::to_string(signal) + " cannot be read from sample " +
           std::to_string(first + 1);
  // Whole data records are read a block at a time (about 1 MiB, at least
  // one record): few reads however short the records are.
  const auto width = static_cast<std::size_t>(sample_bytes_);
  const std::int64_t last_record = (first + count - 1) / placement.per_record;
  const std::int64_t block_records = std::max<std::int64_t>(
      1, static_cast<std::int64_t>((std::uint64_t{1} << 20) / record_bytes_));
  Bytes block;
  for (std::int64_t done = 0; done < count;) {
    const std::int64_t record = (first + done) / placement.per_record;
    const std::int64_t records = std::min(block_records, last_record - record + 1);
    const std::size_t size = static_cast<std::size_t>(records) * record_bytes_;
    if (files_.read_at(path_, header_bytes_ + static_cast<std::uint64_t>(record) * record_bytes_,
                       size, block) ||
        block.size() != size)
      return "signal " + std::to_string(signal) + " gives " + std::to_string(done) + " of " +
             std::to_string(count) + " samples";
    for (std::int64_t r = 0; r < records && done < count; ++r) {
      const std::int64_t within = (first + done) % placement.per_record;
      const std::int64_t take = std::min(placement.per_record - within, count - done);
      const unsigned char* stretch = block.data() + static_cast<std::size_t>(r) * record_bytes_ +
                                     placement.offset + static_cast<std::size_t>(within) * width;
      for (std::size_t i = 0; i < static_cast<std::size_t>(take); ++i) {
        const unsigned char* b = stretch + i * width;
        // Little-endian two's complement, sign taken from the top byte.
        std::int32_t digital = width == 3
                                   ? b[0] + b[1] * 256 + static_cast<signed char>(b[2]) * 65536
                                   : b[0] + static_cast<signed char>(b[1]) * 256;
        digital = std::clamp(digital, placement.digital_min, placement.digital_max);
        values[static_cast<std::size_t>(done) + i] =
            placement.bit_value * (placement.offset_units + static_cast<double>(digital));
      }
      done += take;
    }
  }
  return std::nullopt;
}

namespace {

constexpr int written_rate = 1000;  // samples per second of every written signal
constexpr double digital_max = 32767.0;
constexpr double digital_min = -32768.0;
constexpr std::size_t most_annotation_signals = 64;  // EDFlib's limit
constexpr std::size_t header_field_width = 8;

// EDFlib keeps room for one annotation in each record's annotation signal;
// more annotation signals make room for more annotations than there are
// records.
int annotation_signals_for(std::size_t annotations, std::size_t records) {
  const std::size_t per_signal = std::max<std::size_t>(records, 1);
  const std::size_t needed = (annotations + per_signal - 1) / per_signal + 1;
  return static_cast<int>(std::clamp<std::size_t>(needed, 1, most_annotation_signals));
}

// The last place of `value` in an 8-character header field (EDFlib cuts the
// digits that do not fit), or nothing when not even its whole part fits.
std::optional<double> field_step(double value) {
  std::size_t whole = value < 0 ? 2 : 1;  // sign and first digit
  for (double power = 10.0; whole <= header_field_width && std::fabs(value) >= power; power *= 10.0)
    ++whole;
  if (whole > header_field_width) return std::nullopt;
  const std::size_t decimals = header_field_width - whole;  // the point takes one
  return decimals > 1 ? std::pow(10.0, -static_cast<double>(decimals - 1)) : 1.0;
}

std::optional<std::string> set_up_signal(int handle, int index, const EdfSignalOut& signal) {
  if (edf_set_samplefrequency(handle, index, written_rate) != 0 ||
      edf_set_digital_maximum(handle, index, 32767) != 0 ||
      edf_set_digital_minimum(handle, index, -32768) != 0 ||
      edf_set_physical_maximum(handle, index, digital_max / signal.units_per_physical) != 0 ||
      edf_set_physical_minimum(handle, index, digital_min / signal.units_per_physical) != 0 ||
      edf_set_label(handle, index, signal.label.c_str()) != 0 ||
      edf_set_physical_dimension(handle, index, signal.dimension.c_str()) != 0)
    return "EDFlib refused the settings of signal " + std::to_string(index + 1);
  return std::nullopt;
}

// The signals' samples of one record, signal after signal, as EDFlib's block
// write takes them.
std::optional<std::string> write_records(int handle, const std::vector<EdfSignalOut>& signals,
                                         std::size_t records) {
  std::vector<short> block(signals.size() * written_rate);
  for (std::size_t record = 0; record < records; ++record) {
    for (std::size_t s = 0; s < signals.size(); ++s)
      std::copy_n(signals[s].samples.begin() + static_cast<std::ptrdiff_t>(record * written_rate),
                  written_rate, block.begin() + static_cast<std::ptrdiff_t>(s * written_rate));
    if (edf_blockwrite_digital_short_samples(handle, block.data()) != 0)
      return "writing data record " + std::to_string(record + 1) + " failed";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> edf_factor_fault(double units_per_physical) {
  const auto low = field_step(digital_min / units_per_physical);
  const auto high = field_step(digital_max / units_per_physical);
  // A cut limit moves every value read back by less than one last place.
  if (low && high && std::max(*low, *high) * units_per_physical < 0.5) return std::nullopt;
  return "EDF's 8-character physical limits cannot hold -32768 and 32767 divided by this "
         "factor closely enough for every value to come back (about 0.0033 to 49999 can)";
}

std::size_t edf_annotation_room(std::size_t records) { return records * most_annotation_signals; }

namespace {

std::optional<std::string> write_edf_file(const std::filesystem::path& path,
                                          const std::vector<EdfSignalOut>& signals,
                                          const std::vector<EdfAnnotation>& annotations) {
  const std::size_t records = signals.empty() ? 0 : signals.front().samples.size() / written_rate;
  const int handle = edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS,
                                            static_cast<int>(signals.size()));
  if (handle < 0) return "cannot be created as EDF+ (EDFlib code " + std::to_string(handle) + ")";
  std::optional<std::string> error;
  // The recording file carries no date: the date EDF+ sets aside for an
  // unknown one keeps the output the same at every export.
  if (edf_set_startdatetime(handle, 1985, 1, 1, 0, 0, 0) != 0 ||
      edf_set_number_of_annotation_signals(
          handle, annotation_signals_for(annotations.size(), records)) != 0)
    error = "EDFlib refused the file settings";
  for (std::size_t s = 0; s < signals.size() && !error; ++s)
    error = set_up_signal(handle, static_cast<int>(s), signals[s]);
  if (!error) error = write_records(handle, signals, records);
  for (const EdfAnnotation& annotation : annotations) {
    if (error) break;
    // EDFlib takes onsets in units of 100 microseconds; no duration.
    if (edfwrite_annotation_utf8(handle, annotation.onset / 1000, -1, annotation.text.c_str()) != 0)
      error = "writing an annotation failed";
  }
  if (edfclose_file(handle) != 0 && !error) error = "closing the EDF+ file failed";
  return error;
}

}  // namespace

std::optional<std::string> write_edf_plus(FileOps& files, const std::filesystem::path& path,
                                          const std::vector<EdfSignalOut>& signals,
                                          const std::vector<EdfAnnotation>& annotations) {
  const std::size_t records = signals.empty() ? 0 : signals.front().samples.size() / written_rate;
  if (annotations.size() > edf_annotation_room(records))
    return std::to_string(annotations.size()) + " annotations are more than EDF+ carries in " +
           std::to_string(records) + " s (" + std::to_string(edf_annotation_room(records)) + ")";
  for (const EdfSignalOut& signal : signals)
    if (auto fault = edf_factor_fault(signal.units_per_physical)) return fault;
  return write_through_scratch(files, path, [&](const std::filesystem::path& scratch) {
    return write_edf_file(scratch, signals, annotations);
  });
}

}  // namespace ba

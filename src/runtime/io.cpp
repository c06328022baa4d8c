#include "runtime/io.h"

#include <stdexcept>

#include "runtime/errors.h"
#include "runtime/messages.h"
#include "runtime/quoting.h"

namespace ba {

namespace {

bool is_window_unit(int unit) { return unit == graphics_unit || unit >= first_print_unit; }

// A line to or from a unit the program never connects that way is a fault
// in the program itself, not something the person can cause.
[[noreturn]] void unusable_unit(int unit, const char* use) {
  throw std::logic_error("unit " + std::to_string(unit) + " cannot be used for " + use);
}

// A path as the error report shows it: without its padding blanks.
std::string shown(const std::string& program_path) {
  return program_path.substr(0, program_path.find_last_not_of(' ') + 1);
}

// The host file behind a path that `unit` opens; a path outside the data
// folder ends the program with the open report.
std::filesystem::path host_file(const DataFolder& folder, int unit,
                                const std::string& program_path) {
  const auto host = folder.host_path(program_path);
  if (!host)
    throw IoFailure(IoFailure::Kind::open, unit,
                    shown(program_path) + ": " + std::string(runtime_text::outside_data_folder));
  return *host;
}

}  // namespace

Io::Io(Platform& platform, DataFolder folder, FileOps& files)
    : platform_(platform), folder_(std::move(folder)), files_(files) {}

void Io::write_line(int unit, std::initializer_list<Item> items) {
  write_line(unit, std::span<const Item>(items.begin(), items.size()));
}

// Console lines leave the active window alone; a line to a window makes it
// the active window first, even a line with no items. The log takes each
// line in Shift-JIS with CRLF, flushed at once.
void Io::write_line(int unit, std::span<const Item> items) {
  if (unit == log_unit) {
    // Writing before the display set-up opened the log is a fault in the
    // program's order of steps; it is never silently dropped.
    if (!log_open_) throw std::logic_error(std::string(runtime_text::log_not_open));
    if (auto error = files_.append_log(file_bytes(items)))
      throw IoFailure(IoFailure::Kind::write, log_unit,
                      std::string(runtime_text::cannot_write_log) + *error);
    return;
  }
  if (unit != console_unit && !is_window_unit(unit)) unusable_unit(unit, "line output");
  if (unit != console_unit) platform_.activate_window(unit);
  for (const std::string& line : format_statement(items)) platform_.put_line(unit, line);
}

std::string Io::read_typed_line(int unit) {
  if (unit != console_unit && !is_window_unit(unit)) unusable_unit(unit, "typed input");
  if (unit != console_unit) platform_.activate_window(unit);
  std::string typed = platform_.get_line(unit);
  if (typed.size() > typed_line_limit) typed.resize(typed_line_limit);
  return typed;
}

std::int32_t Io::read_field_whole(int unit, int width) {
  const std::string typed = read_typed_line(unit);
  std::int32_t value = 0;
  if (!parse_whole_field(typed, width, value))
    throw IoFailure(IoFailure::Kind::conversion, unit,
                    quote(text_field(typed, width)) + std::string(runtime_text::not_whole_number));
  return value;
}

float Io::read_field_real(int unit, int width, int implied_decimals) {
  const std::string typed = read_typed_line(unit);
  float value = 0.0f;
  if (!parse_real_field(typed, width, implied_decimals, value))
    throw IoFailure(IoFailure::Kind::conversion, unit,
                    quote(text_field(typed, width)) + std::string(runtime_text::not_real_number));
  return value;
}

std::string Io::read_field_text(int unit, int width) {
  return text_field(read_typed_line(unit), width);
}

std::string Io::read_free_text(int unit, int length) {
  return first_word(read_typed_line(unit), length);
}

// A number is looked for on the next line that holds anything: an empty
// line does not answer a question that wants a number.
float Io::read_free_real(int unit) {
  std::string typed;
  do {
    typed = read_typed_line(unit);
  } while (typed.find_first_not_of(" \t") == std::string::npos);
  float value = 0.0f;
  if (!parse_free_real(typed, value))
    throw IoFailure(IoFailure::Kind::conversion, unit,
                    quote(typed) + std::string(runtime_text::not_real_number));
  return value;
}

void Io::open_window(int unit) { platform_.open_window(unit); }

void Io::close_window(int unit) { platform_.close_window(unit); }

void Io::clear_window() { platform_.clear_window(); }

void Io::open_log(const std::string& program_path) {
  const std::filesystem::path host = host_file(folder_, log_unit, program_path);
  if (auto error = files_.open_log(host))
    throw IoFailure(IoFailure::Kind::open, log_unit, shown(program_path) + ": " + *error, host);
  log_open_ = true;
}

void Io::close_log() {
  if (log_open_) files_.close_log();
  log_open_ = false;
}

Bytes Io::read_file(int unit, const std::string& program_path, std::size_t count) {
  Bytes bytes;
  const std::filesystem::path host = host_file(folder_, unit, program_path);
  if (auto error = files_.read_prefix(host, count, bytes))
    throw IoFailure(IoFailure::Kind::open, unit, shown(program_path) + ": " + *error, host);
  if (bytes.size() < count)
    throw IoFailure(IoFailure::Kind::end_of_file, unit,
                    shown(program_path) + ": " + std::string(runtime_text::short_file) +
                        std::to_string(bytes.size()) + std::string(runtime_text::short_file_of) +
                        std::to_string(count) + std::string(runtime_text::short_file_bytes),
                    host);
  return bytes;
}

std::optional<std::string> Io::write_text_file(const std::string& program_path,
                                               const std::vector<std::vector<Item>>& statements) {
  const auto host = folder_.host_path(program_path);
  if (!host) return shown(program_path) + ": " + std::string(runtime_text::outside_data_folder);
  std::string image;
  for (const auto& statement : statements) image += file_bytes(statement);
  if (auto error = files_.replace_file(*host, image)) return shown(program_path) + ": " + *error;
  return std::nullopt;
}

std::optional<std::string> Io::save_image(const std::string& program_path, int x1, int y1, int x2,
                                          int y2) {
  const auto host = folder_.host_path(program_path);
  if (!host) return shown(program_path) + ": " + std::string(runtime_text::outside_data_folder);
  const std::optional<std::string> image = platform_.bmp_image(x1, y1, x2, y2);
  if (!image) return shown(program_path) + ": " + std::string(runtime_text::empty_image);
  if (auto error = files_.replace_file(*host, *image)) return shown(program_path) + ": " + *error;
  return std::nullopt;
}

void Io::close_all_files() { close_log(); }

std::string file_bytes(std::span<const Item> items) {
  std::string bytes;
  for (const std::string& line : format_statement(items)) bytes += to_sjis(line) + "\r\n";
  return bytes;
}

}  // namespace ba

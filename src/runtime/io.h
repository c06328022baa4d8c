#pragma once
// Units: where a written line goes and where a typed answer comes from.
// The console and the windows go to the platform; unit 6 is the log file,
// unit 7 the result file and unit 10 the recording file, which go through
// the file layer. Any line read from or written to a window makes it the
// active window; console and log lines never change the active window.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "runtime/files.h"
#include "runtime/platform.h"
#include "runtime/textform.h"

namespace ba {

inline constexpr int log_unit = 6;
inline constexpr int result_unit = 7;
inline constexpr int recording_unit = 10;
inline constexpr int graphics_unit = 12;
inline constexpr int first_print_unit = 14;

// Only the first characters of a typed answer matter: a longer line is cut
// to this many bytes before it is taken apart, so a huge line costs neither
// time nor memory.
inline constexpr std::size_t typed_line_limit = 64 * 1024;

class Io {
 public:
  Io(Platform& platform, DataFolder folder, FileOps& files);

  Platform& platform() { return platform_; }
  const DataFolder& folder() const { return folder_; }
  FileOps& files() { return files_; }

  // One output statement to the console, a window or the log file.
  void write_line(int unit, std::initializer_list<Item> items);
  void write_line(int unit, std::span<const Item> items);

  // Typed answers. A field that is not a number of its kind ends the program
  // with the conversion report (IoFailure) naming the unit.
  std::int32_t read_field_whole(int unit, int width);
  float read_field_real(int unit, int width, int implied_decimals);
  std::string read_field_text(int unit, int width);
  std::string read_free_text(int unit, int length);
  float read_free_real(int unit);

  void open_window(int unit);
  void close_window(int unit);
  void clear_window();  // the active window

  // The log file (unit 6), replaced at every run.
  void open_log(const std::string& program_path);
  void close_log();
  bool log_open() const { return log_open_; }

  // Reads `count` bytes from the start of a file as `unit`; a path outside
  // the data folder or a file that cannot be opened ends the program with the
  // open report, a shorter file with the end-of-file report.
  Bytes read_file(int unit, const std::string& program_path, std::size_t count);
  // Writes a whole text file (the statements' lines in Shift-JIS, CRLF line
  // ends) so that it is either complete or untouched. Returns an error text
  // on failure.
  std::optional<std::string> write_text_file(const std::string& program_path,
                                             const std::vector<std::vector<Item>>& statements);
  // Saves a rectangle of the active window as a BMP image, whole or not at
  // all, as write_text_file does. Returns an error text (the path and the
  // system's reason) on failure.
  std::optional<std::string> save_image(const std::string& program_path, int x1, int y1, int x2,
                                        int y2);

  // Closes every open file; called before any report and at every stop.
  void close_all_files();

 private:
  std::string read_typed_line(int unit);

  Platform& platform_;
  DataFolder folder_;
  FileOps& files_;
  bool log_open_ = false;
};

// Bytes of one statement as file lines: Shift-JIS, each line ended by CRLF.
std::string file_bytes(std::span<const Item> items);

}  // namespace ba

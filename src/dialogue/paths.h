#pragma once
// The recording name and every file path built from it, once per run.

#include <array>
#include <string>

namespace ba {

class DataFolder;
class Io;

inline constexpr int recording_name_width = 6;
inline constexpr int recording_path_width = 30;
inline constexpr int file_path_width = 32;
inline constexpr int named_image_count = 5;

struct RecordingPaths {
  std::string recording_name = std::string(recording_name_width, ' ');
  int name_length = 0;  // characters before the first blank, 0..5 (6 when none)
  // Blank-padded to their widths; file operations drop the trailing blanks.
  std::string recording_path = std::string(recording_path_width, ' ');
  std::string st_txt_path = std::string(file_path_width, ' ');
  std::string stlog_path = std::string(file_path_width, ' ');
  std::array<std::string, named_image_count> image_paths;  // st1.bmp .. st5.bmp
};

// Builds every path from a 6-character blank-padded name.
void build_paths(const std::string& recording_name, RecordingPaths& paths);
// The path of print page `image_no` (1-based): image_paths for 1..5, then
// st6.bmp, st7.bmp, ... built the same way.
std::string image_path(const RecordingPaths& paths, int image_no);
// True when every path of the name stays a plain file name in the data folder.
bool paths_usable(const DataFolder& folder, const RecordingPaths& paths);
// Asks for the recording name on the console until it is a safe file name.
void ask_recording_name(Io& io, RecordingPaths& paths);

}  // namespace ba

#include "dialogue/paths.h"

#include <stdexcept>
#include <string_view>

#include "dialogue/messages.h"
#include "runtime/io.h"

namespace ba {

namespace {

constexpr std::string_view recording_suffix = ".dat";

// Pads with blanks to `width` Shift-JIS bytes. A longer text is kept whole:
// a path cut short would name a different file.
std::string padded(std::string text, int width) {
  const auto used = static_cast<int>(sjis_width(text));
  if (used < width) text.append(static_cast<std::size_t>(width - used), ' ');
  return text;
}

// The part of the file names that comes from the name: the characters before
// the first blank or, when the six characters hold no blank, all six with one
// trailing ".dat" removed (a name typed with its extension).
std::string file_stem(const RecordingPaths& paths) {
  const std::string& name = paths.recording_name;
  const std::size_t blank = name.find(' ');
  if (blank != std::string::npos) return name.substr(0, blank);
  if (name.ends_with(recording_suffix))
    return name.substr(0, name.size() - recording_suffix.size());
  return name;
}

std::string image_path_of(const std::string& stem, int image_no) {
  return padded(std::string(data_folder) + stem + "st" + std::to_string(image_no) + ".bmp",
                file_path_width);
}

}  // namespace

bool paths_usable(const DataFolder& folder, const RecordingPaths& paths) {
  for (const std::string* path : {&paths.recording_path, &paths.st_txt_path, &paths.stlog_path})
    if (!folder.host_path(*path)) return false;
  for (const std::string& path : paths.image_paths)
    if (!folder.host_path(path)) return false;
  return true;
}

void build_paths(const std::string& recording_name, RecordingPaths& paths) {
  paths.recording_name = text_field(recording_name, recording_name_width);
  const std::string& name = paths.recording_name;
  const std::size_t blank = name.find(' ');
  const std::string folder(data_folder);
  paths.recording_path = padded(folder + name, recording_path_width);
  if (blank == std::string::npos) {
    paths.name_length = recording_name_width;
  } else {
    paths.name_length = static_cast<int>(sjis_width(name.substr(0, blank)));
    paths.recording_path = padded(folder + name.substr(0, blank) + std::string(recording_suffix),
                                  recording_path_width);
  }
  const std::string stem = file_stem(paths);
  paths.st_txt_path = padded(folder + stem + "st.txt", file_path_width);
  paths.stlog_path = padded(folder + stem + "stlog.txt", file_path_width);
  for (int image_no = 1; image_no <= named_image_count; ++image_no)
    paths.image_paths[static_cast<std::size_t>(image_no - 1)] = image_path_of(stem, image_no);
}

std::string image_path(const RecordingPaths& paths, int image_no) {
  if (image_no < 1) throw std::out_of_range("print page " + std::to_string(image_no));
  if (image_no <= named_image_count)
    return paths.image_paths[static_cast<std::size_t>(image_no - 1)];
  return image_path_of(file_stem(paths), image_no);
}

// A name whose paths would leave the data folder (folder separators, a drive,
// "..", control characters) is refused and the prompt shown again.
void ask_recording_name(Io& io, RecordingPaths& paths) {
  for (;;) {
    io.write_line(console_unit, {std::string(dialogue_text::enter_recording_name)});
    RecordingPaths candidate;
    build_paths(io.read_field_text(console_unit, recording_name_width), candidate);
    if (paths_usable(io.folder(), candidate)) {
      paths = candidate;
      return;
    }
    io.write_line(console_unit, {std::string(dialogue_text::bad_recording_name)});
  }
}

}  // namespace ba

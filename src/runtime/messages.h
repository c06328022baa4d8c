#pragma once
// Texts of the runtime floor that a person can see: the details that the
// error report adds after the unit and the kind of failure.

#include <string_view>

namespace ba::runtime_text {

inline constexpr std::string_view is_a_folder = "is a folder, not a file";
inline constexpr std::string_view not_a_plain_file = "is not a plain file";
// No output is written through a link: it could lead out of the data folder.
inline constexpr std::string_view is_a_link =
    "is a symbolic link; nothing is written through a link";
inline constexpr std::string_view outside_data_folder = "not a file name inside the data folder";
inline constexpr std::string_view short_file = "the file ends after ";
inline constexpr std::string_view short_file_of = " of ";
inline constexpr std::string_view short_file_bytes = " bytes";
inline constexpr std::string_view not_whole_number = " is not a whole number";
inline constexpr std::string_view not_real_number = " is not a real number";
inline constexpr std::string_view empty_image = "the image rectangle holds no pixel";
inline constexpr std::string_view larger_than = "is larger than ";
inline constexpr std::string_view locked = "is in use by another run";
inline constexpr std::string_view log_not_open = "the log file is not open";
inline constexpr std::string_view cannot_write_log = "cannot write the log file: ";

}  // namespace ba::runtime_text

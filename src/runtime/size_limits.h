#pragma once
// The most a verb reads whole into memory from one file, each with its
// reason. A file over its limit is refused after no more than limit + 1
// bytes of it were read (FileOps::read_whole), so a huge or endless input
// costs neither memory nor time.

#include <cstddef>

namespace ba {

// An analysis record is a page of JSON: one number per beat and a few
// names; one far larger is not one.
inline constexpr std::size_t largest_record = std::size_t{16} << 20;

// Result files, logs, layouts and group files: a result file of 10 000
// beats takes under 4 MB and a log of a session under 1 MB.
inline constexpr std::size_t largest_study_input = std::size_t{64} << 20;

// A batch manifest is a table of paths and numbers: this holds millions of
// rows.
inline constexpr std::size_t largest_manifest = std::size_t{64} << 20;

// A result file for a map: one of a million beats is far smaller; anything
// larger is not one.
inline constexpr std::size_t largest_map_input = std::size_t{256} << 20;

}  // namespace ba

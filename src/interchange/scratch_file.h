#pragma once
// Libraries that write only by file name (EDFlib, matio) write into a
// private folder; the bytes are then read back and committed through the
// file seam, so their outputs appear whole or not at all like every other.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "runtime/files.h"

namespace ba {

// Writes through `write`, which is given a path inside a fresh private
// folder, then replaces `destination` with what it wrote. The private folder
// is gone afterwards, whatever happened. Returns the first failure.
std::optional<std::string> write_through_scratch(
    FileOps& files, const std::filesystem::path& destination,
    const std::function<std::optional<std::string>(const std::filesystem::path&)>& write);

}  // namespace ba

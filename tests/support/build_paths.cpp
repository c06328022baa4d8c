#include "support/build_paths.h"

namespace ba::test {

std::filesystem::path source_dir() { return BEAT_SOURCE_DIR; }
std::filesystem::path binary_dir() { return BEAT_BINARY_DIR; }

}  // namespace ba::test

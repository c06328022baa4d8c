#pragma once
// Where the sources and the build are: known to one unit only, so that the
// other test units compile alike in every checkout.

#include <filesystem>

namespace ba::test {

std::filesystem::path source_dir();
std::filesystem::path binary_dir();

}  // namespace ba::test

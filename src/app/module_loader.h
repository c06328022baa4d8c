#pragma once
// Finds and loads the module with the program's Qt and matio parts
// (platform/module_entries.h) the first time a run needs it: beside the
// program in a build folder, or in the installed library folder.

#include <string>
#include <variant>

#include "platform/module_entries.h"

namespace ba {

// The module's file name.
inline constexpr const char* module_file_name = "beat_analyser_module.so";

// The module's table, or why it cannot be loaded (the places looked in and
// the loader's reason). Loaded once; later calls give the same answer.
std::variant<const ModuleEntries*, std::string> module_entries();

}  // namespace ba

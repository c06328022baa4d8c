#include "app/module_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace ba {

namespace {

namespace fs = std::filesystem;

std::variant<const ModuleEntries*, std::string> load_module() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return "cannot find where the program lies: " + error.message();
  // A build folder holds the module beside the program; an installation
  // keeps it in the library folder, as far from the program as
  // BEAT_MODULE_FROM_PROGRAM says.
  const std::vector<fs::path> places = {
      program.parent_path() / module_file_name,
      program.parent_path() / BEAT_MODULE_FROM_PROGRAM / module_file_name};
  std::string tried;
  for (const fs::path& place : places) {
    if (!fs::exists(place, error)) {
      tried += (tried.empty() ? "" : ", ") + place.lexically_normal().string();
      continue;
    }
    void* handle = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return "cannot load " + place.string() + ": " + ::dlerror();
    const void* table = ::dlsym(handle, module_entries_symbol);
    if (!table) return place.string() + " is not this program's module: " + ::dlerror();
    const auto* entries = static_cast<const ModuleEntries*>(table);
    if (std::string_view(entries->version) != BEAT_VERSION)
      return place.string() + " belongs to version " + entries->version + ", the program is " +
             BEAT_VERSION;
    return entries;
  }
  return std::string("its drawing and file module is missing (looked for ") + tried + ")";
}

}  // namespace

std::variant<const ModuleEntries*, std::string> module_entries() {
  static const auto loaded = load_module();
  return loaded;
}

}  // namespace ba

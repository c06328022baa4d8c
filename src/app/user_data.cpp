#include "app/user_data.h"

#include <system_error>

#include "runtime/quoting.h"

namespace ba {

UserDataFolder user_data_folder(const std::string& documents) {
  namespace fs = std::filesystem;
  if (documents.empty()) return {{}, "no documents folder is known for this user"};
  const fs::path folder = fs::path(documents) / "beat-analyser";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    return {{}, "cannot make the data folder " + quote(folder.string()) + ": " + error.message()};
  return {folder, {}};
}

}  // namespace ba

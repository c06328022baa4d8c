#include "app/user_data.h"

#include <QStandardPaths>
#include <system_error>

#include "runtime/quoting.h"

namespace ba {

UserDataFolder user_data_folder() {
  namespace fs = std::filesystem;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) return {{}, "no documents folder is known for this user"};
  const fs::path folder = fs::path(documents.toStdString()) / "beat-analyser";
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    return {{}, "cannot make the data folder " + quote(folder.string()) + ": " + error.message()};
  // create_directories reports no fault when a file already has the name.
  if (!fs::is_directory(folder, error))
    return {{}, "the data folder " + quote(folder.string()) + " is not a folder"};
  return {folder, {}};
}

}  // namespace ba

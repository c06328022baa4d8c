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
  return {folder, {}};
}

}  // namespace ba

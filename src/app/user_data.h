#pragma once
// The data folder of a program started from the desktop menu, where no
// working folder of its own is given: the folder "beat-analyser" in the
// person's documents folder (XDG_DOCUMENTS_DIR, usually ~/Documents).

#include <filesystem>
#include <string>

namespace ba {

struct UserDataFolder {
  std::filesystem::path folder;  // set when `fault` is empty
  std::string fault;             // why there is no such folder
};

// The folder in `documents` (the person's documents folder, empty when none
// is known), made (with the documents folder) when missing.
UserDataFolder user_data_folder(const std::string& documents);

}  // namespace ba

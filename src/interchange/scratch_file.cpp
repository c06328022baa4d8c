#include "interchange/scratch_file.h"

#include <memory>
#include <string_view>
#include <system_error>
#include <variant>

namespace ba {

std::optional<std::string> write_through_scratch(
    FileOps& files, const std::filesystem::path& destination,
    const std::function<std::optional<std::string>(const std::filesystem::path&)>& write) {
  auto made = files.private_folder("beat_analyser.");
  if (const auto* error = std::get_if<std::string>(&made))
    return "no private folder for the output: " + *error;
  const std::filesystem::path scratch =
      std::get<std::unique_ptr<PrivateFolder>>(made)->path() / "output";
  if (auto error = write(scratch)) return error;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(scratch, error);
  if (error) return error.message();
  Bytes bytes;
  if (auto failure = files.read_prefix(scratch, static_cast<std::size_t>(size), bytes))
    return failure;
  if (bytes.size() != size) return "the output changed while it was read back";
  return files.replace_file(
      destination, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace ba

// Folder operands of pack. Paths are UTF-8 on every system; std::filesystem takes them through
// u8path, so that on Windows the wide calls see every character.
#include "tools/input_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "runtime/exception.h"

namespace vornix::tools {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FolderFiles(const std::string& folder, const fs::path& path) {
  std::vector<std::pair<std::string, std::string>> files;  // name, path
  std::error_code error;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().u8string();
    const std::string file = (path / it->path().filename()).u8string();
    const fs::file_status status = it->status(error);
    if (error) break;
    if (fs::is_directory(status)) {
      throw Exception(folder + ": holds the folder \"" + name + "\"; a package holds no folders");
    }
    if (!fs::is_regular_file(status)) throw Exception(file + ": not a plain file");
    files.emplace_back(name, file);
  }
  if (error) throw Exception(folder + ": cannot read the folder");
  if (files.empty()) throw Exception(folder + ": the folder holds no file");
  std::sort(files.begin(), files.end());
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(file.second);
  return paths;
}

}  // namespace

std::vector<std::string> PackInputs(const std::vector<std::string>& Operands) {
  std::vector<std::string> inputs;
  for (const std::string& operand : Operands) {
    const fs::path path = fs::u8path(operand);
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      inputs.push_back(operand);
      continue;
    }
    const std::vector<std::string> files = FolderFiles(operand, path);
    inputs.insert(inputs.end(), files.begin(), files.end());
  }
  return inputs;
}

}  // namespace vornix::tools

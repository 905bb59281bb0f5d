// The operands of pack as a tree. Paths are UTF-8 on every system; std::filesystem takes them
// through u8path, so that on Windows the wide calls see every character.
#include "tools/input_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "package/entry_name.h"
#include "runtime/exception.h"
#include "tools/commands.h"

namespace vornix::tools {
namespace {

namespace fs = std::filesystem;

// A name of this system's that holds a backslash (POSIX allows one) is no path of the package.
const std::string& HostName(const std::string& path, const std::string& name) {
  if (name.find('\\') != std::string::npos) {
    throw Exception(path + ": the stub cannot unpack the name \"" + name + "\": " + EntryNameProblem(name));
  }
  return name;
}

// Adds what folder holds to tree, its paths in the package starting with prefix.
void AddFolder(const fs::path& folder, const std::string& prefix, PackTree& tree) {
  std::vector<std::pair<std::string, fs::path>> children;  // name, path
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    children.emplace_back(it->path().filename().u8string(), it->path());
  }
  if (error) throw Exception(folder.u8string() + ": cannot read the folder");
  std::sort(children.begin(), children.end());
  for (const auto& child : children) {
    const std::string name = prefix + HostName(child.second.u8string(), child.first);
    const fs::file_status status = fs::symlink_status(child.second, error);
    if (error) throw Exception(child.second.u8string() + ": cannot read it");
    if (fs::is_symlink(status)) throw Exception(child.second.u8string() + ": a symbolic link; a package holds none");
    if (fs::is_directory(status)) {
      tree.Folders.push_back(name);
      AddFolder(child.second, name + "\\", tree);
    } else if (fs::is_regular_file(status)) {
      tree.Files.push_back({child.second.u8string(), name});
    } else {
      throw Exception(child.second.u8string() + ": not a plain file");
    }
  }
}

// The file's name without its folder.
std::string BaseName(const std::string& path) {
#ifdef _WIN32
  const size_t slash = path.find_last_of("/\\:");
#else
  const size_t slash = path.find_last_of('/');
#endif
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

PackTree PackInputs(const std::vector<std::string>& Operands) {
  PackTree tree;
  for (const std::string& operand : Operands) {
    const fs::path path = fs::u8path(operand);
    std::error_code error;
    if (!fs::is_directory(path, error)) {
      tree.Files.push_back({operand, HostName(operand, BaseName(operand))});
      continue;
    }
    const size_t files_before = tree.Files.size();
    AddFolder(path, "", tree);
    if (tree.Files.size() == files_before) throw Exception(operand + ": the folder holds no file");
  }
  return tree;
}

TInputFile::TInputFile(std::string path) : path_(std::move(path)) {
  size_ = OpenInput(path_)->Size();
  if (size_ < 0) throw Exception(path_ + ": cannot read the file");
}

int32_t TInputFile::Read(void* buffer, int32_t count) {
  if (!file_) {
    file_ = OpenInput(path_);
    if (file_->Seek(position_, SeekOrigin::Beginning) != position_) return -1;
  }
  const int32_t got = file_->Read(buffer, count);
  if (got > 0) position_ += got;
  if (got == 0 || position_ >= size_) file_.reset();
  return got;
}

int64_t TInputFile::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : size_;
  if (base + offset < 0) return -1;
  position_ = base + offset;
  if (file_ && file_->Seek(position_, SeekOrigin::Beginning) != position_) return -1;
  return position_;
}

}  // namespace vornix::tools

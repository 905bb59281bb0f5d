// The unpack folder: "vornix_" and the lowest free number, inside the temporary directory.
#include <string>

#include "process/hprocess.h"
#include "runtime/ansi_path_win32.h"
#include "runtime/application.h"
#include "unpack/unpack.h"

namespace vornix {

char TempFolder[MAX_PATH + 1] = {};

namespace {

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RefuseTempFolder() {
  ShowWarning(package_messages::kNoTempPath);
  Application.Terminate();
  return false;
}

}  // namespace

bool CreateTempFolder() {
  const std::string base = TempPathAnsi();
  if (base.empty()) return RefuseTempFolder();
  for (unsigned n = 1;; ++n) {
    const std::string candidate = base + "vornix_" + std::to_string(n) + "\\";
    if (IsDirectory(candidate)) continue;
    // TempFolder holds 260 characters, and a file inside needs room for its name too.
    if (candidate.size() > MAX_PATH) return RefuseTempFolder();
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      candidate.copy(TempFolder, candidate.size());
      TempFolder[candidate.size()] = '\0';
      return true;
    }
    // Another copy of the stub took this number between the check and the creation: try the next.
    // A plain file of that name is not skipped.
    if (GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(candidate)) continue;
    return RefuseTempFolder();
  }
}

}  // namespace vornix

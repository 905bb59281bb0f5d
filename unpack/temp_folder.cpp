// The unpack folder: "vornix_" and the lowest free number, inside the temporary directory, and its
// removal with everything in it.
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

// The name to reach a found file by: its long name, or its short one where the long name holds a
// character the ANSI code page cannot hold (shown as '?').
std::string FoundName(const WIN32_FIND_DATAA& found) {
  const std::string name = found.cFileName;
  return name.find('?') != std::string::npos && found.cAlternateFileName[0] != '\0' ? found.cAlternateFileName : name;
}

using FinalPathProc = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The full path Windows gives for what path names, links not followed; "" where it cannot tell
// (before Windows Vista, which has no links to files anyway).
std::string FinalPath(const std::string& path) {
  const auto final_path = reinterpret_cast<FinalPathProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
  if (final_path == nullptr) return std::string();
  const HANDLE handle =
      CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::string();
  char buffer[1024];
  const DWORD length = final_path(handle, buffer, sizeof buffer, 0);
  CloseHandle(handle);
  return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

// Whether what was found in a folder leads out of it: a link that the system follows even when asked
// not to. Wine shows a link to a file as a plain file and one to a folder as a folder, and deletes
// what either leads to; the path Windows gives for it then lies elsewhere. (Windows itself flags
// links as reparse points and removes them as themselves.)
bool LeadsElsewhere(const std::string& folder_final, const std::string& path) {
  if (folder_final.empty()) return false;
  const std::string own = FinalPath(path);
  const size_t slash = own.rfind('\\');
  return !own.empty() &&
         (slash == std::string::npos || lstrcmpiA(own.substr(0, slash).c_str(), folder_final.c_str()) != 0);
}

// Removes what folder (ending in a backslash) holds, deepest first, then the folder. A reparse
// point (a junction, a symbolic link) is removed as itself and never entered; a link that cannot be
// removed as itself is left alone.
bool RemoveTree(const std::string& folder) {
  const std::string folder_final = FinalPath(folder.substr(0, folder.size() - 1));
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = FoundName(found);
      if (name == "." || name == "..") continue;
      const std::string path = folder + name;
      const DWORD attributes = found.dwFileAttributes;
      if (LeadsElsewhere(folder_final, path)) continue;
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveDirectoryA(path.c_str());
      } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(path + "\\");
      } else {
        // A program may leave a file read-only; it is ours to remove all the same. (A file's
        // symbolic link is removed as itself by DeleteFile.)
        if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_READONLY) {
          SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(folder.c_str()) != 0;
}

}  // namespace

bool RemoveUnpacked() { return RemoveTree(TempFolder); }

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

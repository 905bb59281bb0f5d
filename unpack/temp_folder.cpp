// The unpack folder: "vornix_" and the lowest free number, inside the temporary directory, marked
// as this run's for as long as the run lasts, and its removal with everything in it.
#include <string>

#include "process/hprocess.h"
#include "runtime/ansi_path_win32.h"
#include "runtime/application.h"
#include "unpack/unpack.h"

namespace vornix {

char TempFolder[MAX_PATH + 1] = {};

namespace {

// The run's mark, held open until the folder is removed or the process ends.
HANDLE RunMark = INVALID_HANDLE_VALUE;

// Makes the mark and holds it open. Others may read it (an installer may read every file in its
// folder), but no one can open it without sharing, as the sweep of a later run tries to.
HANDLE CreateMark(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
}

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

}  // namespace

bool RemoveContents(const std::string& Folder, const char* Keep) {
  const std::string folder_final = FinalPath(Folder.substr(0, Folder.size() - 1));
  bool emptied = true;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((Folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = FoundName(found);
      if (name == "." || name == ".." || (Keep != nullptr && lstrcmpiA(name.c_str(), Keep) == 0)) continue;
      const std::string path = Folder + name;
      const DWORD attributes = found.dwFileAttributes;
      if (LeadsElsewhere(folder_final, path)) {
        emptied = false;
        continue;
      }
      bool removed = false;
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        removed = RemoveDirectoryA(path.c_str()) != 0;
      } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        removed = RemoveContents(path + "\\", nullptr) && RemoveDirectoryA(path.c_str()) != 0;
      } else {
        // A program may leave a file read-only; it is ours to remove all the same. (A file's
        // symbolic link is removed as itself by DeleteFile.)
        if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_READONLY) {
          SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
        removed = DeleteFileA(path.c_str()) != 0;
      }
      emptied = emptied && removed;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return emptied;
}

bool RemoveRunFolder(const std::string& Folder, HANDLE& Mark) {
  // The mark goes last: a folder that cannot be emptied stays marked, for the next run to try again.
  if (!RemoveContents(Folder, kRunMarkName)) return false;
  if (Mark != INVALID_HANDLE_VALUE) CloseHandle(Mark);
  Mark = INVALID_HANDLE_VALUE;
  const std::string mark = Folder + kRunMarkName;
  DeleteFileA(mark.c_str());
  if (RemoveDirectoryA(Folder.c_str())) return true;
  // Something holds the folder itself (a process's working directory): it stays marked.
  Mark = CreateMark(mark);
  return false;
}

bool RemoveUnpacked() { return RemoveRunFolder(TempFolder, RunMark); }

bool CreateTempFolder() {
  const std::string base = TempPathAnsi();
  if (base.empty()) return RefuseTempFolder();
  SweepDeadRuns(base);
  for (unsigned n = 1;; ++n) {
    const std::string candidate = base + "vornix_" + std::to_string(n) + "\\";
    if (IsDirectory(candidate)) continue;
    // TempFolder holds 260 characters, and a file inside needs room for its name too.
    if (candidate.size() > MAX_PATH) return RefuseTempFolder();
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      candidate.copy(TempFolder, candidate.size());
      TempFolder[candidate.size()] = '\0';
      // Without its mark (a file that cannot be made) the folder is simply not swept by later runs.
      RunMark = CreateMark(candidate + kRunMarkName);
      return true;
    }
    // Another copy of the stub took this number between the check and the creation: try the next.
    // A plain file of that name is not skipped.
    if (GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(candidate)) continue;
    return RefuseTempFolder();
  }
}

}  // namespace vornix

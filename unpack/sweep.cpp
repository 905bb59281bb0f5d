// What dead runs left in the temporary directory: a run's folder whose stub was killed, crashed or
// ended before its program did. The next run removes it once nothing runs from it.
#include <string>

#include "process/hprocess.h"
#include "runtime/platform_win32.h"
#include "unpack/unpack.h"

namespace vornix {

bool AnyRunsFrom(const TStringList& Processes, const std::string& Prefix, const TStringList* Before) {
  if (Prefix.empty()) return false;  // the folder's short form is unknown: nothing can be matched
  for (int i = 0; i < Processes.Count(); ++i) {
    if (Processes[i].compare(0, Prefix.size(), Prefix) == 0 &&
        (Before == nullptr || Before->IndexOf(Processes[i]) < 0)) {
      return true;
    }
  }
  return false;
}

std::string ProcessPathPrefix(const std::string& Folder) {
  char short_path[MAX_PATH + 1] = {};
  const DWORD length = GetShortPathNameA(Folder.c_str(), short_path, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::string();
  std::string prefix(short_path, length);
  for (char& c : prefix) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return prefix;
}

void SweepDeadRuns(const std::string& Temp) {
  // Only NT's listing gives the executables' paths, which tell what runs from a folder.
  if (!PlatformIsNT()) return;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((Temp + "vornix_*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  TStringList processes;
  bool listed = false;
  bool asked = false;
  do {
    // A link named like a run's folder is nobody's run: it is not entered.
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
        FILE_ATTRIBUTE_DIRECTORY) {
      continue;
    }
    const std::string folder = Temp + found.cFileName + "\\";
    // Fails with a sharing violation while the run's stub lives, and for want of a mark in a folder
    // that is no run's. Held without sharing from here on, so that no other copy sweeps it too.
    HANDLE mark = CreateFileA((folder + kRunMarkName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE) continue;
    // The processes are listed once, and only when there is a dead run's folder to look at.
    if (!asked) listed = ListProcesses(processes);
    asked = true;
    const std::string prefix = ProcessPathPrefix(folder);
    if (!listed || prefix.empty() || AnyRunsFrom(processes, prefix) || !RemoveRunFolder(folder, mark)) {
      if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace vornix

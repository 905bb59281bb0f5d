// The program the damage sweep packs as the run entry: when the stub runs it, it writes one line
// "name hash" for itself and for every other file in its own folder (XXH32, seed 0, as 8 hex
// digits) to the file that DAMAGE_PROBE_OUT names, after a first line "<folder> PATH" (no file name
// holds "<"), and exits 0. The sweep compares those hashes
// with the ones of the files it packed: a stub that ran it with a wrong byte shows up there.
// Windows subsystem and no window, so that it runs unseen and needs nothing answered.
// Build: i686-w64-mingw32-g++-posix -O2 -s -static -mwindows -Wl,--no-insert-timestamp -I DIR damage_probe.cpp
//   (DIR holding a copy of xxhash.h; no time stamp, so that the same seed damages the same bytes)
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// Reads the whole file through a fixed buffer; false when it cannot be opened or read to its end.
bool HashFile(const std::string& path, unsigned& hash) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  XXH32_state_t state;
  XXH32_reset(&state, 0);
  std::vector<char> buffer(1 << 16);
  bool good = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      good = false;
      break;
    }
    if (got == 0) break;
    XXH32_update(&state, buffer.data(), got);
  }
  CloseHandle(file);
  hash = XXH32_digest(&state);
  return good;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char out_path[MAX_PATH + 1] = {};
  const DWORD out_length = GetEnvironmentVariableA("DAMAGE_PROBE_OUT", out_path, sizeof out_path);
  // Without a place to report to there is nothing to prove; 3 tells the sweep so.
  if (out_length == 0 || out_length >= sizeof out_path) return 3;

  char self[MAX_PATH + 1] = {};
  const DWORD self_length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  if (self_length == 0 || self_length >= MAX_PATH) return 4;
  std::string folder(self, self_length);
  folder.erase(folder.rfind('\\') + 1);

  // The folder tells the sweep that the stub unpacked under the TEMP it was given.
  std::string report = "<folder> " + folder + "\n";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      unsigned hash = 0;
      char line[32];
      // An unreadable file is reported as such, never left out: a missing line would hide it.
      if (HashFile(folder + found.cFileName, hash)) {
        std::snprintf(line, sizeof line, " %08x\n", hash);
      } else {
        std::snprintf(line, sizeof line, " unreadable\n");
      }
      report += found.cFileName;
      report += line;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  // Written beside the target and moved into place, so a half-written report never reads as one.
  const std::string partial = std::string(out_path) + ".part";
  HANDLE out = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 5;
  DWORD written = 0;
  const BOOL wrote = WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  CloseHandle(out);
  if (!wrote || written != report.size()) return 6;
  if (!MoveFileExA(partial.c_str(), out_path, MOVEFILE_REPLACE_EXISTING)) return 7;
  return 0;
}

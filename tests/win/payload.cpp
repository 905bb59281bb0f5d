// The stand-in for a package's installer in the stub tests. What it does depends on the name it was
// unpacked under:
// - marker.exe writes its path, its command line and its working directory, one per line, to the
//   file named by VORNIX_TEST_MARKER, and ends with the exit code VORNIX_TEST_EXIT names (0
//   without it);
// - launcher.exe starts second.exe from its own folder (or the program named by VORNIX_TEST_LAUNCH)
//   and ends at once;
// - second.exe waits (at most a minute) until the event named by VORNIX_TEST_RELEASE is set, then
//   writes the same lines to VORNIX_TEST_MARKER with ".second" appended, and ends;
// - temp.exe (a decoy: it runs only if a path with blanks is started unquoted) writes "decoy" to
//   VORNIX_TEST_MARKER with ".decoy" appended;
// - linker.exe makes two symbolic links in its working directory that lead out of it, folder-link to
//   the folder ..\link-target and file-link to the file ..\link-target\keep.txt, and writes the
//   attributes Windows shows for each, in hexadecimal, one per line, to VORNIX_TEST_MARKER. Wine
//   makes no link through the Windows calls, so Linux's ln makes them, started through Wine's Z:.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[1024] = {};
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length < sizeof value ? std::string(value, length) : std::string();
}

std::string OwnPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

void WriteMarker(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// Runs a Linux program under Wine, in the working directory, and waits until what it makes is
// there: Wine does not wait for a Linux program.
void RunUnixProgram(const char* program, const char* arguments, const char* makes) {
  std::string command_line = arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  WIN32_FIND_DATAA found;
  for (int waited = 0; waited < 10000; waited += 20) {
    const HANDLE search = FindFirstFileA(makes, &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      return;
    }
    Sleep(20);
  }
}

std::string WhatISee() {
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  return OwnPath() + "\n" + GetCommandLineA() + "\n" + directory + "\n";
}

}  // namespace

int main() {
  const std::string path = OwnPath();
  const std::string name = path.substr(path.find_last_of('\\') + 1);
  const std::string marker = Variable("VORNIX_TEST_MARKER");
  if (lstrcmpiA(name.c_str(), "launcher.exe") == 0) {
    // Its own folder through the wide call, which names it whatever characters it holds.
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring second(own);
    second = second.substr(0, second.find_last_of(L'\\') + 1) + L"second.exe";
    const std::string launch = Variable("VORNIX_TEST_LAUNCH");
    if (!launch.empty()) second.assign(launch.begin(), launch.end());
    std::wstring command_line = L"\"" + second + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(second.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else if (lstrcmpiA(name.c_str(), "second.exe") == 0) {
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, Variable("VORNIX_TEST_RELEASE").c_str());
    if (release != nullptr) WaitForSingleObject(release, 60000);
    WriteMarker(marker + ".second", WhatISee());
  } else if (lstrcmpiA(name.c_str(), "linker.exe") == 0) {
    RunUnixProgram("Z:\\bin\\ln", "ln -s ../link-target folder-link", "folder-link");
    RunUnixProgram("Z:\\bin\\ln", "ln -s ../link-target/keep.txt file-link", "file-link");
    char seen[64];
    wsprintfA(seen, "%lx\n%lx\n", GetFileAttributesA("folder-link"), GetFileAttributesA("file-link"));
    WriteMarker(marker, seen);
  } else if (lstrcmpiA(name.c_str(), "temp.exe") == 0) {
    WriteMarker(marker + ".decoy", "decoy\n");
  } else {
    WriteMarker(marker, WhatISee());
    return static_cast<int>(std::strtoul(Variable("VORNIX_TEST_EXIT").c_str(), nullptr, 10));
  }
  return 0;
}

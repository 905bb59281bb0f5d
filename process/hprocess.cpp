// The process unit's start-up and shutdown, the restricted DLL search and the warning box.
//
// Libraries are loaded by their full path in the system directory: a bare name would be searched
// for in the executable's own folder first, where anyone who can put a file beside a downloaded
// package could plant a PSAPI.DLL of their own.
#include <string>

#include "process/hprocess.h"
#include "process/process_api.h"
#include "runtime/platform_win32.h"

namespace vornix {

HMODULE ProcessApiLibrary = nullptr;
ProcessApi ProcessEntries;

namespace {

// Looked up at run time: SetDefaultDllDirectories exists from Windows 7 with KB2533623 on,
// SetDllDirectoryA from XP SP1 on.
using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryProc = BOOL(WINAPI*)(LPCSTR);
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

HMODULE LoadSystemLibrary(const char* name) {
  char directory[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(directory, length);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryA(path.c_str());
}

template <typename Proc>
Proc Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

void RestrictDllSearch() {
  HMODULE kernel32 = GetModuleHandleA("kernel32.dll");  // always mapped: nothing is loaded here
  if (kernel32 == nullptr) return;
  if (auto set_default = Lookup<SetDefaultDllDirectoriesProc>(kernel32, "SetDefaultDllDirectories")) {
    set_default(kLoadLibrarySearchSystem32);
  }
  // Takes the current directory out of the search where SetDefaultDllDirectories is missing.
  if (auto set_directory = Lookup<SetDllDirectoryProc>(kernel32, "SetDllDirectoryA")) set_directory("");
}

void LoadProcessApi() {
  ProcessEntries = ProcessApi();
  ProcessApiLibrary = LoadSystemLibrary("kernel32.dll");
  if (ProcessApiLibrary == nullptr) {
    ShowWarning(process_messages::kKernel32Missing);
    return;
  }
  if (PlatformIsNT()) {
    // Absent before Vista; it reads 64-bit processes, which PSAPI cannot from a 32-bit process.
    ProcessEntries.QueryFullProcessImageName =
        Lookup<QueryFullProcessImageNameProc>(ProcessApiLibrary, "QueryFullProcessImageNameW");
    FreeLibrary(ProcessApiLibrary);  // kernel32 itself stays mapped: the pointer above stays valid
    ProcessApiLibrary = LoadSystemLibrary("PSAPI.DLL");
    if (ProcessApiLibrary == nullptr) {
      ShowWarning(process_messages::kPsapiMissing);
      return;
    }
    ProcessEntries.EnumProcesses = Lookup<EnumProcessesProc>(ProcessApiLibrary, "EnumProcesses");
    ProcessEntries.EnumProcessModules = Lookup<EnumProcessModulesProc>(ProcessApiLibrary, "EnumProcessModules");
    ProcessEntries.GetModuleFileNameEx = Lookup<GetModuleFileNameExProc>(ProcessApiLibrary, "GetModuleFileNameExW");
  } else {
    ProcessEntries.CreateToolhelp32Snapshot =
        Lookup<CreateToolhelp32SnapshotProc>(ProcessApiLibrary, "CreateToolhelp32Snapshot");
    ProcessEntries.Process32First = Lookup<Process32Proc>(ProcessApiLibrary, "Process32First");
    ProcessEntries.Process32Next = Lookup<Process32Proc>(ProcessApiLibrary, "Process32Next");
  }
}

void FinalizeHProcess() {
  if (ProcessApiLibrary != nullptr) FreeLibrary(ProcessApiLibrary);
  ProcessApiLibrary = nullptr;
  ProcessEntries = ProcessApi();
}

int ShowWarning(const char* text) {
  return MessageBoxA(nullptr, text, process_messages::kWarningCaption, MB_SYSTEMMODAL | MB_ICONEXCLAMATION);
}

}  // namespace vornix

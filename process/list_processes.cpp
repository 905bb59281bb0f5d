// ListProcesses on both platforms.
//
// NT: every process identifier from EnumProcesses; a process's executable is its first module, read
// with PSAPI through a handle with PROCESS_QUERY_INFORMATION | PROCESS_VM_READ. A 32-bit process
// cannot read the modules of a 64-bit one (nor open some protected processes with that access), so
// when that fails the image name is asked for with QueryFullProcessImageNameW through a handle with
// PROCESS_QUERY_LIMITED_INFORMATION instead, where the platform has it (Vista on). Either name is
// listed in its short form, upper case, so that it compares with the unpack folder's short form.
#include <cstring>
#include <string>
#include <vector>

#include "process/hprocess.h"
#include "process/process_api.h"
#include "runtime/platform_win32.h"

namespace vornix {
namespace {

constexpr DWORD kMaxProcesses = 65536;
constexpr DWORD kQueryAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410
constexpr DWORD kLimitedQueryAccess = 0x1000;                                // PROCESS_QUERY_LIMITED_INFORMATION

// Owns a process or snapshot handle.
class HandleOwner {
 public:
  explicit HandleOwner(HANDLE handle) : handle_(handle) {}
  HandleOwner(const HandleOwner&) = delete;
  HandleOwner& operator=(const HandleOwner&) = delete;
  ~HandleOwner() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The executable of process id through PSAPI, or "" when it cannot be read that way.
// A process's executable as the wide calls give it: a zero-ended path in a MAX_PATH buffer, empty
// when it cannot be read. (No std::wstring: the stub carries no instantiation of it.)
struct WidePath {
  wchar_t text[MAX_PATH] = {};
};

WidePath ModuleFileName(DWORD id) {
  WidePath path;
  HandleOwner process(OpenProcess(kQueryAccess, FALSE, id));
  if (process.Get() == nullptr) return path;
  HMODULE first_module = nullptr;
  DWORD needed = 0;
  if (!ProcessEntries.EnumProcessModules(process.Get(), &first_module, sizeof first_module, &needed)) return path;
  if (ProcessEntries.GetModuleFileNameEx(process.Get(), first_module, path.text, MAX_PATH - 1) == 0) path.text[0] = 0;
  return path;
}

// The executable of process id by its image name, or "" when the platform cannot say.
WidePath ImageFileName(DWORD id) {
  WidePath path;
  if (ProcessEntries.QueryFullProcessImageName == nullptr) return path;
  HandleOwner process(OpenProcess(kLimitedQueryAccess, FALSE, id));
  if (process.Get() == nullptr) return path;
  DWORD size = MAX_PATH - 1;
  if (!ProcessEntries.QueryFullProcessImageName(process.Get(), 0, path.text, &size)) path.text[0] = 0;
  return path;
}

// The short (8.3) form in the ANSI code page (ASCII where the volume keeps short names), ASCII
// letters in upper case; "" when there is no short form or it does not fit.
std::string ShortUpperCase(const WidePath& path) {
  wchar_t short_path[MAX_PATH] = {};
  const DWORD length = GetShortPathNameW(path.text, short_path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  char ansi[2 * MAX_PATH] = {};
  const int size =
      WideCharToMultiByte(CP_ACP, 0, short_path, static_cast<int>(length), ansi, sizeof ansi, nullptr, nullptr);
  if (size <= 0) return "";
  std::string result(ansi, static_cast<size_t>(size));
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

bool ListNT(TStringList& list) {
  if (ProcessEntries.EnumProcesses == nullptr || ProcessEntries.EnumProcessModules == nullptr ||
      ProcessEntries.GetModuleFileNameEx == nullptr) {
    return false;
  }
  std::vector<DWORD> ids(kMaxProcesses, 0);
  DWORD bytes = 0;
  if (!ProcessEntries.EnumProcesses(ids.data(), kMaxProcesses * sizeof(DWORD), &bytes)) return true;
  // From the first slot even if it is 0 (the idle process), to the next 0.
  for (DWORD i = 0; i < kMaxProcesses; ++i) {
    if (i > 0 && ids[i] == 0) break;
    WidePath name = ModuleFileName(ids[i]);
    if (name.text[0] == 0) name = ImageFileName(ids[i]);
    if (name.text[0] != 0) list.Add(ShortUpperCase(name));
  }
  return true;
}

bool ListToolHelp(TStringList& list) {
  if (ProcessEntries.CreateToolhelp32Snapshot == nullptr || ProcessEntries.Process32First == nullptr ||
      ProcessEntries.Process32Next == nullptr) {
    return false;
  }
  PROCESSENTRY32 entry;
  std::memset(&entry, 0, sizeof entry);
  entry.dwSize = sizeof entry;  // 296
  HandleOwner snapshot(ProcessEntries.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (reinterpret_cast<intptr_t>(snapshot.Get()) < 0 || snapshot.Get() == nullptr) {
    ShowWarning(process_messages::kNoSnapshot);
    return false;
  }
  for (BOOL more = ProcessEntries.Process32First(snapshot.Get(), &entry); more;
       more = ProcessEntries.Process32Next(snapshot.Get(), &entry)) {
    list.Add(std::string(entry.szExeFile, strnlen(entry.szExeFile, MAX_PATH)));
  }
  return list.Count() > 0;
}

}  // namespace

bool ListProcesses(TStringList& list) {
  if (ProcessApiLibrary == nullptr) return false;
  list.Clear();
  return PlatformIsNT() ? ListNT(list) : ListToolHelp(list);
}

}  // namespace vornix

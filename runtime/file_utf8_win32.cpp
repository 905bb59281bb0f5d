// UTF-8 file names on Win32: each name is turned into UTF-16 for the wide calls.
#include <vector>

#include "runtime/file.h"
#include "runtime/file_names_win32.h"

namespace vornix {
namespace {

// The UTF-8 name as UTF-16, ending in a zero; empty (a name no call accepts) when it is not valid
// UTF-8.
std::vector<wchar_t> Wide(const std::string& name) {
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), wide.data(), length);
  }
  return wide;
}

HANDLE Create(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(Wide(name).data(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
BOOL Delete(const std::string& name) { return DeleteFileW(Wide(name).data()); }
BOOL Move(const std::string& from, const std::string& to, DWORD flags) {
  return MoveFileExW(Wide(from).data(), Wide(to).data(), flags);
}
DWORD Attributes(const std::string& name) { return GetFileAttributesW(Wide(name).data()); }
BOOL MakeDirectory(const std::string& name) { return CreateDirectoryW(Wide(name).data(), nullptr); }

const TFileNameCalls kWideCalls = {Create, Delete, Move, Attributes, MakeDirectory};

}  // namespace

void UseUtf8FileNames() { FileNameCalls = &kWideCalls; }

}  // namespace vornix

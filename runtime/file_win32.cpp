// The file layer on Win32 file handles. A handle is the Win32 HANDLE value itself: kernel handles
// are small positive multiples of 4, and INVALID_HANDLE_VALUE reads as -1.
//
// Files are opened as the system opens them: a file read is shared with other readers only, a
// file created is not shared at all, so an output can never be the open input.
//
// Names are in the ANSI code page (the stub's own paths come from the ANSI calls) unless the
// program has switched the layer to UTF-8, which goes through the wide calls.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/file.h"

namespace vornix {
namespace {

FileHandle FromWin32(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return kInvalidFile;
  auto value = reinterpret_cast<intptr_t>(handle);
  return value > 0 && value <= INT32_MAX ? static_cast<FileHandle>(value) : kInvalidFile;
}

HANDLE ToWin32(FileHandle handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }

bool utf8_names = false;

// The UTF-8 name as UTF-16, ending in a zero; empty (a name no call accepts) when it is not valid
// UTF-8. A vector rather than std::wstring keeps the library's wide strings out of the stub.
std::vector<wchar_t> WideName(const std::string& name) {
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()), wide.data(), length);
  }
  return wide;
}

FileHandle Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  HANDLE handle =
      utf8_names
          ? CreateFileW(WideName(name).data(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)
          : CreateFileA(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  FileHandle result = FromWin32(handle);
  if (result <= 0 && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return result;
}

}  // namespace

FileHandle FileOpenRead(const std::string& name) { return Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING); }

FileHandle FileOpenReadShared(const std::string& name) {
  return Open(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

FileHandle FileCreate(const std::string& name) { return Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS); }

FileHandle FileCreateNew(const std::string& name) { return Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW); }

int32_t FileRead(FileHandle handle, void* buffer, int32_t count) {
  if (handle <= 0 || count < 0) return -1;
  DWORD done = 0;
  if (!ReadFile(ToWin32(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<int32_t>(done);
}

int32_t FileWrite(FileHandle handle, const void* buffer, int32_t count) {
  if (handle <= 0 || count < 0) return -1;
  DWORD done = 0;
  if (!WriteFile(ToWin32(handle), buffer, static_cast<DWORD>(count), &done, nullptr)) {
    return done > 0 ? static_cast<int32_t>(done) : -1;
  }
  return static_cast<int32_t>(done);
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
  if (handle <= 0) return -1;
  DWORD method = origin == SeekOrigin::Beginning ? FILE_BEGIN : origin == SeekOrigin::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(ToWin32(handle), distance, &position, method)) return -1;
  return position.QuadPart;
}

void FileClose(FileHandle handle) {
  if (handle > 0) CloseHandle(ToWin32(handle));
}

bool FileDelete(const std::string& name) {
  return (utf8_names ? DeleteFileW(WideName(name).data()) : DeleteFileA(name.c_str())) != 0;
}

bool FileRename(const std::string& from, const std::string& to) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return (utf8_names ? MoveFileExW(WideName(from).data(), WideName(to).data(), flags)
                     : MoveFileExA(from.c_str(), to.c_str(), flags)) != 0;
}

bool PathExists(const std::string& name) {
  return (utf8_names ? GetFileAttributesW(WideName(name).data()) : GetFileAttributesA(name.c_str())) !=
         INVALID_FILE_ATTRIBUTES;
}

bool MakeFolder(const std::string& name) {
  if ((utf8_names ? CreateDirectoryW(WideName(name).data(), nullptr) : CreateDirectoryA(name.c_str(), nullptr)) != 0) {
    return true;
  }
  const DWORD attributes = utf8_names ? GetFileAttributesW(WideName(name).data()) : GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void UseUtf8FileNames() { utf8_names = true; }

}  // namespace vornix

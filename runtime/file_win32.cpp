// The file layer on Win32 file handles. A handle is the Win32 HANDLE value itself: kernel handles
// are small positive multiples of 4, and INVALID_HANDLE_VALUE reads as -1.
//
// Files are opened as the system opens them: a file read is shared with other readers only, a
// file created is not shared at all, so an output can never be the open input.
//
// Names are in the ANSI code page (the stub's own paths come from the ANSI calls) unless the
// program has switched the layer to UTF-8 (file_utf8_win32.cpp).
#include <windows.h>

#include <cstdint>
#include <string>

#include "runtime/file.h"
#include "runtime/file_names_win32.h"

namespace vornix {
namespace {

FileHandle FromWin32(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) return kInvalidFile;
  auto value = reinterpret_cast<intptr_t>(handle);
  return value > 0 && value <= INT32_MAX ? static_cast<FileHandle>(value) : kInvalidFile;
}

HANDLE ToWin32(FileHandle handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }

HANDLE Create(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
BOOL Delete(const std::string& name) { return DeleteFileA(name.c_str()); }
BOOL Move(const std::string& from, const std::string& to, DWORD flags) {
  return MoveFileExA(from.c_str(), to.c_str(), flags);
}
DWORD Attributes(const std::string& name) { return GetFileAttributesA(name.c_str()); }
BOOL MakeDirectory(const std::string& name) { return CreateDirectoryA(name.c_str(), nullptr); }

const TFileNameCalls kAnsiCalls = {Create, Delete, Move, Attributes, MakeDirectory};

FileHandle Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  HANDLE handle = FileNameCalls->Create(name, access, share, disposition);
  FileHandle result = FromWin32(handle);
  if (result <= 0 && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return result;
}

}  // namespace

const TFileNameCalls* FileNameCalls = &kAnsiCalls;

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

bool FileDelete(const std::string& name) { return FileNameCalls->Delete(name) != 0; }

bool FileRename(const std::string& from, const std::string& to) {
  return FileNameCalls->Move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool PathExists(const std::string& name) { return FileNameCalls->Attributes(name) != INVALID_FILE_ATTRIBUTES; }

bool MakeFolder(const std::string& name) {
  if (FileNameCalls->MakeDirectory(name) != 0) return true;
  const DWORD attributes = FileNameCalls->Attributes(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace vornix

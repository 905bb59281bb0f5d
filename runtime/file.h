// The platform file layer: numbered handles for the container's file mode, and everything the file
// stream needs. One implementation per platform (file_posix.cpp, file_win32.cpp), chosen by CMake.
// A handle is a signed 32-bit number: greater than 0 when open, negative after a failed open, and 0
// stands for "not open", so callers can keep it in a plain field and close it only when positive.
#pragma once

#include <cstdint>
#include <string>

namespace vornix {

enum class SeekOrigin { Beginning, Current, End };

using FileHandle = int32_t;
constexpr FileHandle kInvalidFile = -1;

// Opens an existing file for reading only, denying other writers where the platform can.
FileHandle FileOpenRead(const std::string& name);
// Opens an existing file for reading only, letting others read and write it meanwhile (the stub's
// own executable, which the loader and other programs may hold open).
FileHandle FileOpenReadShared(const std::string& name);
// Creates a file for reading and writing; an existing file is truncated.
FileHandle FileCreate(const std::string& name);
// Creates a file for reading and writing that must not exist yet: fails on any existing entry,
// a link included, so that nothing is ever written through a link planted at the name.
FileHandle FileCreateNew(const std::string& name);
// Both return the number of bytes moved, or a negative number on failure.
int32_t FileRead(FileHandle handle, void* buffer, int32_t count);
int32_t FileWrite(FileHandle handle, const void* buffer, int32_t count);
// Returns the new position, or a negative number on failure.
int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin);
void FileClose(FileHandle handle);
bool FileDelete(const std::string& name);
// Gives a file another name, replacing a file of that name in one step.
bool FileRename(const std::string& from, const std::string& to);
// Whether anything (a file, a folder, a link, even a dangling one) has this name.
bool PathExists(const std::string& name);
// Creates one folder; true also when a folder of that name is there already.
bool MakeFolder(const std::string& name);
// From this call on, the names given to this layer are UTF-8 (Win32; POSIX names are bytes in any
// case). Without it, Win32 takes them in the ANSI code page, as the stub does.
void UseUtf8FileNames();

// Owns an open handle and closes it when it goes out of scope.
class FileOwner {
 public:
  explicit FileOwner(FileHandle handle = 0) : handle_(handle) {}
  FileOwner(FileOwner&& other) noexcept : handle_(other.Release()) {}
  FileOwner& operator=(FileOwner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  FileOwner(const FileOwner&) = delete;
  FileOwner& operator=(const FileOwner&) = delete;
  ~FileOwner() { Reset(); }

  FileHandle Get() const { return handle_; }
  bool IsOpen() const { return handle_ > 0; }
  FileHandle Release() {
    FileHandle handle = handle_;
    handle_ = 0;
    return handle;
  }
  void Reset(FileHandle handle = 0) {
    if (handle_ > 0) FileClose(handle_);
    handle_ = handle;
  }

 private:
  FileHandle handle_;
};

}  // namespace vornix

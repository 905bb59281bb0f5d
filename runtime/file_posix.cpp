// The file layer on POSIX descriptors. A handle is the descriptor plus one, so that descriptor 0
// (a closed standard input reused by open) still reads as an open handle.
//
// Files are opened without sharing, as on Windows: while this process holds a file open through
// this layer, opening or creating the same file again fails. Without that, creating an output
// that is the open input (the same name, or another link to it) would truncate the input.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

#include "runtime/file.h"

namespace vornix {
namespace {

FileHandle FromDescriptor(int fd) { return fd < 0 || fd == INT_MAX ? kInvalidFile : fd + 1; }
int ToDescriptor(FileHandle handle) { return handle - 1; }

using FileKey = std::pair<dev_t, ino_t>;

// The files open through this layer, by descriptor.
std::mutex open_files_lock;
std::map<int, FileKey> open_files;

bool IsOpenHere(const FileKey& key) {
  for (const auto& entry : open_files) {
    if (entry.second == key) return true;
  }
  return false;
}

FileHandle OpenFile(const std::string& name, int flags) {
  std::lock_guard<std::mutex> hold(open_files_lock);
  struct stat info;
  if (::stat(name.c_str(), &info) == 0 && IsOpenHere({info.st_dev, info.st_ino})) return kInvalidFile;
  int fd;
  do {
    fd = ::open(name.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return kInvalidFile;
  // Only regular files: a directory opens for reading on POSIX but is not a file to code.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || IsOpenHere({info.st_dev, info.st_ino})) {
    ::close(fd);
    return kInvalidFile;
  }
  open_files[fd] = {info.st_dev, info.st_ino};
  return FromDescriptor(fd);
}

}  // namespace

FileHandle FileOpenRead(const std::string& name) { return OpenFile(name, O_RDONLY); }

// POSIX has no share modes to relax.
FileHandle FileOpenReadShared(const std::string& name) { return OpenFile(name, O_RDONLY); }

FileHandle FileCreate(const std::string& name) { return OpenFile(name, O_RDWR | O_CREAT | O_TRUNC); }

// O_EXCL also refuses a symbolic link at the name, dangling or not.
FileHandle FileCreateNew(const std::string& name) { return OpenFile(name, O_RDWR | O_CREAT | O_EXCL); }

int32_t FileRead(FileHandle handle, void* buffer, int32_t count) {
  if (handle <= 0 || count < 0) return -1;
  char* out = static_cast<char*>(buffer);
  int32_t done = 0;
  // read() may return less than asked before the end of a file (signals, pipes): go on until the
  // count is met or the end is reached, so a short count always means the end of the input.
  while (done < count) {
    ssize_t n = ::read(ToDescriptor(handle), out + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t FileWrite(FileHandle handle, const void* buffer, int32_t count) {
  if (handle <= 0 || count < 0) return -1;
  const char* in = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(ToDescriptor(handle), in + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
  if (handle <= 0) return -1;
  int whence = origin == SeekOrigin::Beginning ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(ToDescriptor(handle), static_cast<off_t>(offset), whence));
}

void FileClose(FileHandle handle) {
  if (handle <= 0) return;
  std::lock_guard<std::mutex> hold(open_files_lock);
  open_files.erase(ToDescriptor(handle));
  ::close(ToDescriptor(handle));
}

bool FileDelete(const std::string& name) { return ::unlink(name.c_str()) == 0; }

bool FileRename(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool PathExists(const std::string& name) {
  struct stat info;
  return ::lstat(name.c_str(), &info) == 0;
}

bool MakeFolder(const std::string& name) {
  if (::mkdir(name.c_str(), 0777) == 0) return true;
  struct stat info;
  return errno == EEXIST && ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void UseUtf8FileNames() {}

}  // namespace vornix

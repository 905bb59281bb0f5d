// Stand-ins for the nothrow allocation operators and for open, read and write, for the failure
// tests only: they fail where fault_injection.h says and otherwise pass to the real ones. Only
// descriptors above 2 are affected, so the test framework's own output goes on.
#include "tests/compression/fault_injection.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <new>

namespace vornix::fault {

size_t failing_allocation_size = 0;
bool fail_file_reads = false;
bool fail_file_writes = false;
int opens_before_failure = -1;

}  // namespace vornix::fault

using namespace vornix;

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (size == fault::failing_allocation_size) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (size == fault::failing_allocation_size) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

extern "C" {

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (fault::opens_before_failure == 0) {
    fault::opens_before_failure = -1;
    errno = EACCES;
    return -1;
  }
  if (fault::opens_before_failure > 0) --fault::opens_before_failure;
  using Open = int (*)(const char*, int, ...);
  static const Open real_open = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
  return real_open(path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t count) {
  if (fault::fail_file_reads && fd > 2) {
    errno = EIO;
    return -1;
  }
  using Read = ssize_t (*)(int, void*, size_t);
  static const Read real_read = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  return real_read(fd, buffer, count);
}

ssize_t write(int fd, const void* buffer, size_t count) {
  if (fault::fail_file_writes && fd > 2) {
    errno = ENOSPC;
    return -1;
  }
  using Write = ssize_t (*)(int, const void*, size_t);
  static const Write real_write = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
  return real_write(fd, buffer, count);
}

}  // extern "C"

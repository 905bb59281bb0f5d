// The platform test, asked afresh on every call as the callers expect.
#include "runtime/platform_win32.h"

#include <windows.h>

namespace vornix {

bool PlatformIsNT() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 148
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

}  // namespace vornix

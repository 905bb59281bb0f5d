// The platform test of the Win32 units (threads, processes).
#pragma once

namespace vornix {

// True on the Windows NT platform: GetVersionExA reports VER_PLATFORM_WIN32_NT (2) in an
// OSVERSIONINFOA whose size field is 148. Any other value means a ToolHelp platform (Windows 9x).
bool PlatformIsNT();

}  // namespace vornix

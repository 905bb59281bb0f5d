// Which platform a test program was built to see: a program named *_win98_tests is told by Wine
// that it runs on Windows 98 (see tests/win/CMakeLists.txt), every other one sees NT. And whether
// the host under Wine can run a 32-bit program at all.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include <string>

namespace vornix {

inline bool NamedForWin98() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path).find("_win98_tests") != std::string::npos;
}

// The test scripts name the lanes the host runs in VORNIX_WINE_LANES ("x86 x64", or "x64" where
// the kernel runs no 32-bit program, cmake/wine-env.sh); run by hand, without it, a host is taken
// to run both.
inline bool HostRuns32BitPrograms() {
  const char* lanes = std::getenv("VORNIX_WINE_LANES");
  return lanes == nullptr || std::strstr(lanes, "x86") != nullptr;
}

}  // namespace vornix

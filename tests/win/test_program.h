// Which platform a test program was built to see: a program named *_win98_tests is told by Wine
// that it runs on Windows 98 (see tests/win/CMakeLists.txt), every other one sees NT.
#pragma once

#include <windows.h>

#include <string>

namespace vornix {

inline bool NamedForWin98() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path).find("_win98_tests") != std::string::npos;
}

}  // namespace vornix

// The Win32 calls of the file layer that take a file name, in one table: the ANSI calls unless the
// program has switched to UTF-8 names, which go through the wide calls. The wide table lives in
// file_utf8_win32.cpp, so that a program that never switches (the stub) carries none of it.
#pragma once

#include <windows.h>

#include <string>

namespace vornix {

struct TFileNameCalls {
  HANDLE (*Create)(const std::string& name, DWORD access, DWORD share, DWORD disposition);
  BOOL (*Delete)(const std::string& name);
  BOOL (*Move)(const std::string& from, const std::string& to, DWORD flags);
  DWORD (*Attributes)(const std::string& name);
  BOOL (*MakeDirectory)(const std::string& name);
};

// The table in use; UseUtf8FileNames replaces it.
extern const TFileNameCalls* FileNameCalls;

}  // namespace vornix

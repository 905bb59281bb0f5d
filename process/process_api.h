// The process library's entry points, looked up by LoadProcessApi and read by ListProcesses. An
// entry that was not found stays null. Private to the process unit.
#pragma once

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

namespace vornix {

using EnumProcessesProc = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesProc = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
// The wide forms: an ANSI path turns what the code page cannot hold into "?", which names nothing.
using GetModuleFileNameExProc = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using QueryFullProcessImageNameProc = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD*);
using CreateToolhelp32SnapshotProc = HANDLE(WINAPI*)(DWORD, DWORD);
using Process32Proc = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);

struct ProcessApi {
  // NT: PSAPI.DLL, and kernel32's QueryFullProcessImageNameW where it exists.
  EnumProcessesProc EnumProcesses = nullptr;
  EnumProcessModulesProc EnumProcessModules = nullptr;
  GetModuleFileNameExProc GetModuleFileNameEx = nullptr;
  QueryFullProcessImageNameProc QueryFullProcessImageName = nullptr;
  // Other platforms: kernel32.dll's ToolHelp functions.
  CreateToolhelp32SnapshotProc CreateToolhelp32Snapshot = nullptr;
  Process32Proc Process32First = nullptr;
  Process32Proc Process32Next = nullptr;
};

extern ProcessApi ProcessEntries;

}  // namespace vornix

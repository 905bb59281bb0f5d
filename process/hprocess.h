// Lists the executables of the running processes, so that the stub's worker can tell which were
// started from the unpack folder. On Windows NT through PSAPI.DLL, elsewhere through the ToolHelp
// functions of kernel32.dll; the entry points are looked up once by the unit start-up. Also the
// warning box that this unit and the unpacking use.
#pragma once

#include <windows.h>

#include "runtime/string_list.h"

namespace vornix {

namespace process_messages {
constexpr const char* kWarningCaption = "Quorrin Vornix";
constexpr const char* kKernel32Missing = "Kernel32.DLL is missing or corrupt";
constexpr const char* kPsapiMissing = "PSAPI.DLL is missing or corrupt";
constexpr const char* kNoSnapshot = "Could not create snapshot";
}  // namespace process_messages

// kernel32.dll (ToolHelp platforms) or PSAPI.DLL (NT); 0 when loading failed or after shutdown.
extern HMODULE ProcessApiLibrary;

// Limits the DLL search of the whole process to the system directory where the platform allows,
// so that a DLL planted beside the executable (a Downloads folder) or in the current directory is
// never loaded in place of a system one. Runs first in the program's start-up.
void RestrictDllSearch();

// The unit start-up: loads the process library of the platform from the system directory and
// looks up its entry points; a library that cannot be loaded is reported with ShowWarning.
void LoadProcessApi();
// The unit shutdown: releases ProcessApiLibrary.
void FinalizeHProcess();

// Fills list (cleared first) with one entry per running process that could be examined: on NT the
// full path of its executable in short (8.3) form and ASCII upper case, or "" when the short form
// cannot be had; on ToolHelp platforms the executable's name as the platform reports it. Returns
// false, with the list untouched, when no process library was loaded; false, with the list empty,
// when an entry point is missing or the ToolHelp snapshot fails; true otherwise (on ToolHelp
// platforms only when something was listed).
bool ListProcesses(TStringList& list);

// A system-modal warning box with the caption "Quorrin Vornix"; returns when it was closed.
int ShowWarning(const char* text);

}  // namespace vornix

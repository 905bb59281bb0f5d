// A stand-in for a system DLL (PSAPI.DLL, MSIMG32.DLL) that an attacker would plant beside a
// downloaded package. The tests put it beside their own program and check that it is never loaded.
#include <windows.h>

extern "C" __declspec(dllexport) int VornixPlanted() { return 1; }
extern "C" __declspec(dllexport) BOOL WINAPI EnumProcesses(DWORD*, DWORD, DWORD*) { return FALSE; }

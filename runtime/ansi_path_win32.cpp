// Wide paths to ANSI ones: the path itself where the code page holds it (exactly what the ANSI call
// gives), else its short form where that is ASCII.
#include "runtime/ansi_path_win32.h"

#include <windows.h>

namespace vornix {
namespace {

// path in the ANSI code page, when it holds every character without a replacement or a best fit.
bool InCodePage(const wchar_t* path, int length, std::string* ansi) {
  BOOL replaced = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, length, nullptr, 0, nullptr, &replaced);
  if (size <= 0 || replaced) return false;
  ansi->assign(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, length, &(*ansi)[0], size, nullptr, &replaced);
  return !replaced;
}

// wide ends in a zero after its length characters (no std::wstring, whose instantiations the stub
// does not carry).
std::string AnsiForm(const std::string& from_ansi_call, const wchar_t* wide, int length) {
  std::string ansi;
  if (length <= 0 || InCodePage(wide, length, &ansi)) return from_ansi_call;
  wchar_t short_path[MAX_PATH + 1] = {};
  const DWORD short_length = GetShortPathNameW(wide, short_path, MAX_PATH + 1);
  if (short_length == 0 || short_length > MAX_PATH) return from_ansi_call;
  if (!InCodePage(short_path, static_cast<int>(short_length), &ansi)) return from_ansi_call;
  return ansi;
}

}  // namespace

std::string ModuleFileNameAnsi() {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  wchar_t wide[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, wide, MAX_PATH);
  return AnsiForm(path, wide, length < MAX_PATH ? static_cast<int>(length) : 0);
}

std::string TempPathAnsi() {
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  // 0 is a failure; a larger number is the size the path would need.
  const std::string from_ansi_call = length == 0 || length >= MAX_PATH ? std::string() : std::string(temp, length);
  wchar_t wide[MAX_PATH + 1] = {};
  const DWORD wide_length = GetTempPathW(MAX_PATH, wide);
  std::string path = AnsiForm(from_ansi_call, wide, wide_length < MAX_PATH ? static_cast<int>(wide_length) : 0);
  if (path.size() >= MAX_PATH) return std::string();
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

}  // namespace vornix

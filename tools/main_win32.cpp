// vornix on Windows: the arguments come as UTF-16 and are handed on as UTF-8; file names go
// through the file layer's UTF-8 path, and the console is told that the output is UTF-8 too.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/file.h"
#include "tools/commands.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string utf8(static_cast<size_t>(length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], length, nullptr, nullptr);
  return utf8;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  vornix::UseUtf8FileNames();
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8(argv[i]));
  return vornix::tools::VornixMain(args);
}

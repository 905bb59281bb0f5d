// vornix: the command-line program around the compression library. Dispatches to a subcommand.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace {

const char kUsage[] =
    "usage: vornix COMMAND [OPTIONS] ARGS\n"
    "\n"
    "commands:\n"
    "  compress [--method lzh|lzrw|auto] IN OUT   write the compressed stream of file IN to OUT\n"
    "  decompress IN OUT                          restore the file that compressed stream IN holds\n"
    "\n"
    "'vornix COMMAND --help' explains a command. Exit codes: 0 done, 1 failed, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace vornix::tools;
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (std::strcmp(argv[1], "compress") == 0) return CompressCommand(args);
  if (std::strcmp(argv[1], "decompress") == 0) return DecompressCommand(args);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::fprintf(stderr, "vornix: unknown command '%s' (try 'vornix --help')\n", argv[1]);
  return kExitUsage;
}

// vornix compress and vornix decompress: raw container streams, in the container's file mode.
#include <cstdio>

#include "compression/lzrw1.h"
#include "tools/commands.h"

namespace vornix::tools {
namespace {

const char kCompressHelp[] =
    "usage: vornix compress [--method lzh|lzrw|auto] IN OUT\n"
    "\n"
    "Writes the compressed stream of file IN to file OUT: an 8-byte header (method and original\n"
    "size) and the coded data. Methods: lzh (the default; smaller), lzrw (LZRW1/KH; much faster),\n"
    "auto (samples IN and takes lzrw where it compresses well, lzh elsewhere).\n"
    "On failure OUT is not left behind and the reason goes to stderr; the exit code is 1.\n";

const char kDecompressHelp[] =
    "usage: vornix decompress IN OUT\n"
    "\n"
    "Restores into file OUT the original bytes of the compressed stream in file IN, and checks\n"
    "them against the size its header states. On failure OUT is not left behind and the reason\n"
    "goes to stderr; the exit code is 1.\n";

}  // namespace

uint8_t MethodOption(const TArguments& arguments, const std::string& fallback) {
  const std::string name = arguments.Value("method", fallback);
  if (name == "lzh") return 0;
  if (name == "lzrw") return 1;
  if (name == "auto") return 2;
  throw UsageError("unknown method '" + name + "'");
}

int CompressCommand(const std::vector<std::string>& args) {
  return RunCommand("compress", kCompressHelp, args, {{"method", 0, true}}, [](const TArguments& arguments) {
    const uint8_t method = MethodOption(arguments, "lzh");
    if (arguments.Operands().size() != 2) throw UsageError("expected IN and OUT");
    Tlzrw1 container;
    container.InputFile = arguments.Operands()[0];
    container.OutputFile = arguments.Operands()[1];
    container.CompressionMethod = method;
    TLZHProgress progress;
    container.Compress(progress);
    return kExitOk;
  });
}

int DecompressCommand(const std::vector<std::string>& args) {
  return RunCommand("decompress", kDecompressHelp, args, {}, [](const TArguments& arguments) {
    if (arguments.Operands().size() != 2) throw UsageError("expected IN and OUT");
    Tlzrw1 container;
    container.InputFile = arguments.Operands()[0];
    container.OutputFile = arguments.Operands()[1];
    container.Decompress();
    return kExitOk;
  });
}

}  // namespace vornix::tools

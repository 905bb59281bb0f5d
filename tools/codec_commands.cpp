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

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int Usage(const char* command, const std::string& problem) {
  std::fprintf(stderr, "vornix %s: %s (try 'vornix %s --help')\n", command, problem.c_str(), command);
  return kExitUsage;
}

// Runs one container operation and reports its failure on one line.
template <typename Operation>
int Run(Operation operation) {
  try {
    operation();
    return kExitOk;
  } catch (const Exception& failure) {
    std::fprintf(stderr, "vornix: %s\n", failure.Message().c_str());
    return kExitFailed;
  }
}

}  // namespace

int CompressCommand(const std::vector<std::string>& args) {
  uint8_t method = 0;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (IsHelp(args[i])) {
      std::fputs(kCompressHelp, stdout);
      return kExitOk;
    }
    if (args[i] == "--method") {
      if (i + 1 == args.size()) return Usage("compress", "--method needs a value");
      const std::string& name = args[++i];
      if (name == "lzh") {
        method = 0;
      } else if (name == "lzrw") {
        method = 1;
      } else if (name == "auto") {
        method = 2;
      } else {
        return Usage("compress", "unknown method '" + name + "'");
      }
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      return Usage("compress", "unknown option '" + args[i] + "'");
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return Usage("compress", "expected IN and OUT");
  return Run([&] {
    Tlzrw1 container;
    container.InputFile = files[0];
    container.OutputFile = files[1];
    container.CompressionMethod = method;
    TLZHProgress progress;
    container.Compress(progress);
  });
}

int DecompressCommand(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (IsHelp(arg)) {
      std::fputs(kDecompressHelp, stdout);
      return kExitOk;
    }
    if (arg.size() > 1 && arg[0] == '-') return Usage("decompress", "unknown option '" + arg + "'");
    files.push_back(arg);
  }
  if (files.size() != 2) return Usage("decompress", "expected IN and OUT");
  return Run([&] {
    Tlzrw1 container;
    container.InputFile = files[0];
    container.OutputFile = files[1];
    container.Decompress();
  });
}

}  // namespace vornix::tools

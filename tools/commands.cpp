// What the subcommands share: the dispatch, the failure reporting and the common options.
#include "tools/commands.h"

#include <cstdio>
#include <memory>

#include "tools/codepage.h"

namespace vornix::tools {
namespace {

const char kUsage[] =
    "usage: vornix COMMAND [OPTIONS] ARGS\n"
    "\n"
    "commands:\n"
    "  pack -o OUT --title T --publisher P (--note T | --note-file F) [--run NAME] FILE...\n"
    "                    build a self-extracting package for Windows from FILEs\n"
    "  list PACKAGE      show a package's header and entries\n"
    "  verify PACKAGE    decode every entry of a package, writing nothing\n"
    "  extract PACKAGE   write a package's files into a folder, running nothing\n"
    "  compress IN OUT   write the compressed stream of file IN to OUT\n"
    "  decompress IN OUT\n"
    "                    restore the file that compressed stream IN holds\n"
    "\n"
    "'vornix COMMAND --help' explains a command; 'vornix --version' names the program and its\n"
    "version. Exit codes: 0 done, 1 bad input or a failed check, 2 usage error. Texts, names and\n"
    "paths are UTF-8.\n";

// The program's name and version, as the stub's own version information gives them.
const char kVersion[] = "vornix (Quorrin Vornix) 1.0\n";

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {{"pack", PackCommand},         {"list", ListCommand},
                             {"verify", VerifyCommand},     {"extract", ExtractCommand},
                             {"compress", CompressCommand}, {"decompress", DecompressCommand}};

}  // namespace

int VornixMain(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  for (const Command& command : kCommands) {
    if (args[0] == command.name) return command.run(rest);
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::fputs(kVersion, stdout);
    return kExitOk;
  }
  std::fprintf(stderr, "vornix: unknown command '%s' (try 'vornix --help')\n", args[0].c_str());
  return kExitUsage;
}

int RunCommand(const char* name, const char* help, const std::vector<std::string>& args,
               std::initializer_list<OptionSpec> options, const std::function<int(const TArguments&)>& body) {
  try {
    const TArguments arguments(args, options);
    if (arguments.HelpWanted()) {
      std::fputs(help, stdout);
      return kExitOk;
    }
    return body(arguments);
  } catch (const UsageError& problem) {
    std::fprintf(stderr, "vornix %s: %s (try 'vornix %s --help')\n", name, problem.what(), name);
    return kExitUsage;
  } catch (const Exception& failure) {
    std::fprintf(stderr, "vornix: %s\n", failure.what());
    return kExitFailed;
  }
}

void ReportError(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "vornix: %s: %s\n", subject.c_str(), reason.c_str());
}

int CodePageOption(const TArguments& arguments) {
  const int code_page = arguments.Number("codepage", kDefaultCodePage, 0, 65535);
  if (!CodePageSupported(code_page)) {
    throw UsageError("code page " + std::to_string(code_page) +
                     " is not supported; supported: " + SupportedCodePages());
  }
  return code_page;
}

std::unique_ptr<TFileStream> OpenInput(const std::string& path, const char* what) {
  try {
    return std::make_unique<TFileStream>(path, TFileStream::Mode::OpenRead);
  } catch (const Exception&) {
    throw Exception(path + ": cannot open " + what);
  }
}

std::vector<uint8_t> ReadSmallInput(const std::string& path, const char* what, int64_t limit,
                                    const std::function<std::string(int64_t)>& too_long) {
  const std::unique_ptr<TFileStream> file = OpenInput(path, what);
  const int64_t size = file->Size();
  if (size < 0) throw Exception(path + ": cannot read " + what);
  if (size > limit) throw Exception(path + ": " + too_long(size));
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (file->Read(bytes.data(), static_cast<int32_t>(size)) != size) throw Exception(path + ": cannot read " + what);
  return bytes;
}

OpenPackage OpenPackageFile(const std::string& path) {
  OpenPackage package;
  package.file = OpenInput(path);
  try {
    package.index = ReadPackageIndex(*package.file);
  } catch (const Exception& failure) {
    throw Exception(path + ": not a package (" + failure.Message() + ")");
  }
  return package;
}

std::string PackageOperand(const TArguments& arguments) {
  if (arguments.Operands().size() != 1) throw UsageError("expected one PACKAGE");
  return arguments.Operands()[0];
}

}  // namespace vornix::tools

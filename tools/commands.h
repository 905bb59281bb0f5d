// The subcommands of the vornix program. Each takes its own arguments (after the subcommand's
// name) and returns the process exit code: 0 done, 1 bad input or a failed check, 2 usage. Errors
// go to stderr, one line each, naming the file and the reason.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "package/package_reader.h"
#include "tools/arguments.h"

namespace vornix::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The whole program: the subcommand's name and its arguments, UTF-8.
int VornixMain(const std::vector<std::string>& args);

int CompressCommand(const std::vector<std::string>& args);
int DecompressCommand(const std::vector<std::string>& args);
int PackCommand(const std::vector<std::string>& args);
int ListCommand(const std::vector<std::string>& args);
int VerifyCommand(const std::vector<std::string>& args);
int ExtractCommand(const std::vector<std::string>& args);

// Parses args for the subcommand name, prints help when asked, runs body and turns its failures
// into the exit code: a UsageError gives the usage hint and 2, any other Exception "vornix: " and
// its message, and 1.
int RunCommand(const char* name, const char* help, const std::vector<std::string>& args,
               std::initializer_list<OptionSpec> options, const std::function<int(const TArguments&)>& body);

// Prints "vornix: SUBJECT: REASON" to stderr.
void ReportError(const std::string& subject, const std::string& reason);

// The --codepage option: kDefaultCodePage when absent; a UsageError names the supported ones.
int CodePageOption(const TArguments& arguments);

// A file opened for reading; raises "PATH: cannot open WHAT" when it cannot be.
std::unique_ptr<TFileStream> OpenInput(const std::string& path, const char* what = "the file");

// The whole of a small input file, opened as OpenInput does. A file of more than limit bytes is not
// read: "PATH: " and too_long(its size) are raised instead; one that cannot be read raises "PATH:
// cannot read WHAT".
std::vector<uint8_t> ReadSmallInput(const std::string& path, const char* what, int64_t limit,
                                    const std::function<std::string(int64_t)>& too_long);

// A package opened and indexed; raises Exception naming the file when it is none.
struct OpenPackage {
  std::unique_ptr<TFileStream> file;
  PackageIndex index;
};
OpenPackage OpenPackageFile(const std::string& path);
// The single PACKAGE operand of list, verify and extract.
std::string PackageOperand(const TArguments& arguments);

// The --method option (lzh, lzrw or auto) as the container's CompressionMethod.
uint8_t MethodOption(const TArguments& arguments, const std::string& fallback);

}  // namespace vornix::tools

// The subcommands of the vornix program. Each takes its own arguments (after the subcommand's
// name) and returns the process exit code: 0 done, 1 bad input or a failed operation, 2 usage.
#pragma once

#include <string>
#include <vector>

namespace vornix::tools {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int CompressCommand(const std::vector<std::string>& args);
int DecompressCommand(const std::vector<std::string>& args);

}  // namespace vornix::tools

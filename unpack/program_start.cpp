// The arguments passed on, the program's command line and the road of a refused start.
#include "unpack/program_start.h"

namespace vornix {

std::string ArgumentsAfterProgramName(const std::string& command_line) {
  size_t at = 0;
  if (!command_line.empty() && command_line[0] == '"') {
    const size_t closing = command_line.find('"', 1);
    at = closing == std::string::npos ? command_line.size() : closing + 1;
  } else {
    at = command_line.find_first_of(" \t");
    if (at == std::string::npos) at = command_line.size();
  }
  at = command_line.find_first_not_of(" \t", at);
  return at == std::string::npos ? std::string() : command_line.substr(at);
}

std::string ProgramCommandLine(const std::string& program, const std::string& arguments) {
  std::string line = "\"" + program + "\"";
  if (!arguments.empty()) line += " " + arguments;
  return line;
}

StartRoad RoadAfterCreateProcess(uint32_t error) {
  switch (error) {
    case kErrorElevationRequired:
      return StartRoad::Elevate;
    case kErrorBadExeFormat:
      return StartRoad::ShellOpen;
    default:
      return StartRoad::NotStarted;
  }
}

}  // namespace vornix

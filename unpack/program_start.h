// How the stub starts the package's program, in the parts that need no Windows: the arguments the
// stub passes on (the text of its own command line behind its own name), the program's command
// line, and which road a start takes when CreateProcess refuses the program.
#pragma once

#include <cstdint>
#include <string>

namespace vornix {

// The text of a command line behind the program's own name, as Windows' parsing of argv[0] ends
// that name: a quoted name at its closing quote, an unquoted one at the first blank or tab. The
// blanks and tabs between the name and the first argument are left out; the rest is unchanged,
// with the quoting the caller used.
std::string ArgumentsAfterProgramName(const std::string& command_line);

// The program's command line: its path in quotes, then the arguments behind one blank, if any.
std::string ProgramCommandLine(const std::string& program, const std::string& arguments);

// The Windows errors that decide the road (winerror.h).
constexpr uint32_t kErrorBadExeFormat = 193;       // ERROR_BAD_EXE_FORMAT: not a program (a .msi)
constexpr uint32_t kErrorElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED: asks for administrator rights

enum class StartRoad {
  Elevate,     // through the shell with the verb "runas"
  ShellOpen,   // through the shell with the file's default verb (a .msi runs through msiexec)
  NotStarted,  // the could-not-execute box
};

// The road after CreateProcess failed with error. A shell start that fails (the user refused the
// elevation prompt: ERROR_CANCELLED) or gives no process to wait for is a program not started.
StartRoad RoadAfterCreateProcess(uint32_t error);

}  // namespace vornix

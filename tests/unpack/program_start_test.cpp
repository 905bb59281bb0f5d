// How the stub starts its program: the arguments it passes on, the program's command line, and the
// road it takes when CreateProcess refuses the program.
#include "unpack/program_start.h"

#include <gtest/gtest.h>

namespace vornix {
namespace {

TEST(ProgramStart, ArgumentsAreWhatFollowsTheStubsOwnName) {
  struct Case {
    const char* command_line;
    const char* arguments;
  };
  const Case cases[] = {
      {"setup.exe", ""},
      {"\"C:\\Downloads\\my setup.exe\"", ""},
      {"\"C:\\Downloads\\my setup.exe\"   ", ""},
      {"setup.exe /S", "/S"},
      {"setup.exe \t /S  /D=C:\\x ", "/S  /D=C:\\x "},
      {"\"C:\\a b\\setup.exe\" /qn \"C:\\temp dir\\log.txt\"", "/qn \"C:\\temp dir\\log.txt\""},
      {"\"C:\\a b\\setup.exe\"/S", "/S"},  // the closing quote ends the name
      {"\"C:\\a b\\setup.exe", ""},        // a quote never closed takes the whole line
      {"C:\\x\\setup.exe \"a \\\"b\\\" c\" \\\\server\\share\\", "\"a \\\"b\\\" c\" \\\\server\\share\\"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.arguments, ArgumentsAfterProgramName(c.command_line)) << c.command_line;
  }
  EXPECT_EQ("\"C:\\t\\vornix_1\\setup.exe\"", ProgramCommandLine("C:\\t\\vornix_1\\setup.exe", ""));
  EXPECT_EQ("\"C:\\t\\vornix_1\\setup.exe\" /S", ProgramCommandLine("C:\\t\\vornix_1\\setup.exe", "/S"));
}

TEST(ProgramStart, RefusedStartsTakeTheShellOnlyForElevationAndNonPrograms) {
  struct Case {
    uint32_t error;
    StartRoad road;
  };
  const Case cases[] = {
      {740, StartRoad::Elevate},      // ERROR_ELEVATION_REQUIRED
      {193, StartRoad::ShellOpen},    // ERROR_BAD_EXE_FORMAT: a .msi
      {2, StartRoad::NotStarted},     // ERROR_FILE_NOT_FOUND
      {5, StartRoad::NotStarted},     // ERROR_ACCESS_DENIED
      {216, StartRoad::NotStarted},   // ERROR_EXE_MACHINE_TYPE_MISMATCH
      {1223, StartRoad::NotStarted},  // ERROR_CANCELLED
      {0, StartRoad::NotStarted},
  };
  for (const Case& c : cases) EXPECT_EQ(c.road, RoadAfterCreateProcess(c.error)) << c.error;
}

}  // namespace
}  // namespace vornix

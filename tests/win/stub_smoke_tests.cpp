// The stub's good run, end to end: unpack, run the program, clean up, exit 0.
#include <gtest/gtest.h>

#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

TEST(StubRun, RunsTheProgramInTheUnpackFolderAndRemovesEverything) {
  StubCase stub("good run");
  stub.WritePackage(BuildPackage("Title", "Publisher", "Note", 1, 1,
                                 {{"readme.txt", {'h', 'i'}, 0}, {"marker.exe", PayloadProgram(), 1}}));
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  const std::vector<uint8_t> seen = ReadWholeFile(stub.marker);
  const std::string program = stub.UnpackFolder(1) + "marker.exe";
  EXPECT_EQ(
      program + "\n\"" + program + "\"\n" + stub.UnpackFolder(1).substr(0, stub.UnpackFolder(1).size() - 1) + "\n",
      std::string(seen.begin(), seen.end()));
  EXPECT_FALSE(DirectoryExists(stub.UnpackFolder(1)));
}

}  // namespace
}  // namespace vornix

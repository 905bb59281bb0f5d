// The stub's good run, end to end: unpack, run the program, clean up, exit 0.
#include <gtest/gtest.h>

#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

TEST(StubRun, RunsTheProgramInTheUnpackFolderAndRemovesEverything) {
  StubCase stub("good run");
  stub.WritePackage(BuildPackage("Title", "Publisher", "Note", 1, 1, {{"readme.txt", {'h', 'i'}, 0}, MarkerProgram()}));
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(PayloadSaw(stub.UnpackFolder(1) + "marker.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker)));
  EXPECT_FALSE(DirectoryExists(stub.UnpackFolder(1)));
}

}  // namespace
}  // namespace vornix

// What runs leave in TEMP and what the next run removes: the folder of a run that was killed goes
// once nothing runs from it, and never a live copy's folder, a folder that is no run's, or anything
// a link in a dead run's folder leads to.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// launcher.exe starts second.exe from the unpack folder, which runs until the case's release event.
std::vector<uint8_t> LongRunningPackage() {
  return BuildPackage("Long run", "Vornix tests", "", 0, kRunAfterUnpack,
                      {{"launcher.exe", PayloadProgram(), 1}, {"second.exe", PayloadProgram(), 0}}, true);
}

std::vector<uint8_t> QuickPackage() {
  return BuildPackage("Quick run", "Vornix tests", "", 0, kRunAfterUnpack, {{"marker.exe", PayloadProgram(), 1}}, true);
}

// Runs the case's package, which must end well: exit code 0 and no box.
void ExpectCleanRun(const StubCase& stub) {
  const StubRun run = stub.Run(40000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
}

bool SecondRunsFrom(const std::string& folder) {
  const std::vector<RunningProgram> seconds = RunningPrograms("second.exe");
  return seconds.size() == 1 && seconds[0].path == folder + "second.exe";
}

// A run is killed while its program runs (as Task Manager, a log-off or a power cut would): its
// folder stays while the program runs, and the next run after the program's end removes it.
TEST(StubSweep, KilledRunIsRemovedByTheNextRunOnceNothingRunsFromIt) {
  StubCase stub("sweep killed");
  stub.WritePackage(LongRunningPackage());
  const PROCESS_INFORMATION killed = stub.Start();
  ASSERT_TRUE(Eventually([&] { return SecondRunsFrom(stub.UnpackFolder(1)); }, 30000));
  TerminateProcess(killed.hProcess, 1);
  WaitForSingleObject(killed.hProcess, 10000);
  CloseHandle(killed.hThread);
  CloseHandle(killed.hProcess);

  stub.WritePackage(QuickPackage());
  ExpectCleanRun(stub);
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder)) << "its program still runs";
  EXPECT_EQ(Sorted({"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));

  SetEvent(stub.release);
  ASSERT_TRUE(Eventually([] { return !ProgramRunning("second.exe"); }, 30000));
  ExpectCleanRun(stub);
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

// Two copies at once: the second neither sweeps nor touches the first's folder, and both end well.
TEST(StubSweep, LiveCopysFolderStaysUntilItsProgramEnds) {
  StubCase stub("sweep live");
  StubCase quick("sweep live quick");
  stub.WritePackage(LongRunningPackage());
  quick.WritePackage(QuickPackage());
  RunningStub live(stub);
  ASSERT_TRUE(Eventually([&] { return SecondRunsFrom(stub.UnpackFolder(1)); }, 30000));

  const StubRun beside = quick.Watch(StartWithFolders(quick, stub.temp_folder, quick.marker), 40000);
  ASSERT_TRUE(beside.exited);
  EXPECT_EQ(0u, beside.exit_code);
  EXPECT_TRUE(FileExists(quick.marker)) << "the second copy's program did not run";
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  EXPECT_EQ(Sorted({"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
  EXPECT_TRUE(FileExists(stub.UnpackFolder(1) + kRunMark));

  SetEvent(stub.release);
  const StubRun run = live.Watch(40000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

// A folder named like a run's but without the mark is not the stub's to remove; a dead run's folder
// is emptied, but a link in it that leads out is never followed.
TEST(StubSweep, LeavesUnmarkedFoldersAndWhatLinksLeadTo) {
  StubCase stub("sweep others");
  const std::string unmarked = stub.temp_folder + "vornix_1\\";
  const std::string dead = stub.temp_folder + "vornix_2\\";
  const std::string target = stub.temp_folder + "link-target\\";
  for (const std::string& folder : {unmarked, dead, target}) CreateDirectoryA(folder.c_str(), nullptr);
  WriteWholeFile(unmarked + "keep.txt", Bytes("not a run's"));
  WriteWholeFile(target + "keep.txt", Bytes("keep"));
  WriteWholeFile(dead + kRunMark, {});
  WriteWholeFile(dead + "left.txt", Bytes("left by a dead run"));
  // Wine makes no link through the Windows calls: Linux's ln makes one to the folder and one to
  // the file.
  ASSERT_TRUE(StartLinuxProgram("Z:\\bin\\ln", "ln -s ../link-target folder-link", dead));
  ASSERT_TRUE(StartLinuxProgram("Z:\\bin\\ln", "ln -s ../link-target/keep.txt file-link", dead));
  ASSERT_TRUE(Eventually([&] { return FolderNames(dead).size() == 3; }, 10000));

  stub.WritePackage(QuickPackage());
  ExpectCleanRun(stub);
  EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(unmarked));
  EXPECT_EQ("keep", Text(ReadWholeFile(target + "keep.txt")));
  // Wine cannot remove a link as itself (Windows can): the links stay there, and so the folder,
  // still marked for the next run; what they lead to is untouched.
  EXPECT_FALSE(FileExists(dead + "left.txt"));
  EXPECT_TRUE(FileExists(dead + kRunMark));
  EXPECT_EQ(Sorted({"link-target", "vornix_1", "vornix_2"}), FolderNames(stub.temp_folder));
  DeleteTree(stub.temp_folder);
}

}  // namespace
}  // namespace vornix

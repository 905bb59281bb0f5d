// The stub's running of the package's program, end to end: how the program is started, the wait for
// everything it started from the unpack folder (and nothing else), the clean-up, the program that
// cannot be started, and the exit codes when something went wrong before.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win/package_bytes.h"
#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// Sets an environment variable that Start passes on to the stub and its programs, for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
};

// Releases second.exe, which the stub is waiting for: the stub ends with 0 and no box, second.exe
// ended (and wrote its marker, in the unpack folder as its working directory) before the clean-up
// began, and nothing is left in TEMP.
void ExpectReleasedSecondThenCleanUp(const StubCase& stub, const PROCESS_INFORMATION& stub_process,
                                     const std::string& second) {
  SetEvent(stub.release);
  const StubRun run = stub.Watch(stub_process);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(PayloadSaw(second, stub.temp_folder + "vornix_1"), Text(ReadWholeFile(stub.marker + ".second")));
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

TEST(StubRun, StartsTheProgramQuotedInTheUnpackFolderAndRemovesEverything) {
  StubCase stub("run good");
  // Started unquoted, "...\case\temp dir\vornix_1\marker.exe" would run "...\case\temp.exe".
  WriteWholeFile(stub.folder + "temp.exe", PayloadProgram());
  stub.WritePackage(BuildPackage("Good run", "Vornix tests", "Runs marker.exe", 1, 1,
                                 {{"readme.txt", Bytes("read me"), 0},
                                  {"marker.exe", PayloadProgram(), 2},
                                  {"data.bin", std::vector<uint8_t>(100000, 0x5A), 1}}));
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(PayloadSaw(stub.temp_folder + "vornix_1\\marker.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker)));
  EXPECT_FALSE(FileExists(stub.marker + ".decoy"));
  EXPECT_FALSE(DirectoryExists(stub.UnpackFolder(1)));
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  EXPECT_EQ(Sorted({"marker.txt", "setup.exe", "temp dir", "temp.exe"}), FolderNames(stub.folder));
}

// The stub passes its own arguments on, as the caller quoted them, and ends with the program's exit
// code: 3010 and 1641 are the reboot codes a deployment tool reads.
TEST(StubRun, ArgumentsReachTheProgramAndItsExitCodeIsTheStubs) {
  struct Case {
    const char* what;
    std::string arguments;
    const char* exit_code;
  };
  const Case cases[] = {
      {"none", "", "0"},
      {"silent", "/S", "1"},
      {"blanks, quotes and backslashes",
       "/D=\"C:\\Program Files\\My Tool\\\" \"a \\\"b\\\" c\" \\\\server\\share\\ x\ty", "3010"},
      {"reboot started", "--log \"C:\\temp dir\\log.txt\"", "1641"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StubCase stub(std::string("arguments ") + c.exit_code);
    stub.WritePackage(BuildPackage("Arguments", "Vornix tests", "", 0, kRunAfterUnpack, {MarkerProgram()}));
    stub.arguments = c.arguments;
    ScopedVariable exit_code("VORNIX_TEST_EXIT", c.exit_code);
    const StubRun run = stub.Run();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(std::strtoul(c.exit_code, nullptr, 10), run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
    const std::string program = stub.UnpackFolder(1) + "marker.exe";
    const std::string command_line = "\"" + program + "\"" + (c.arguments.empty() ? "" : " " + c.arguments);
    EXPECT_EQ(program + "\n" + command_line + "\n" + stub.temp_folder + "vornix_1\n", Text(ReadWholeFile(stub.marker)));
    EXPECT_EQ(std::vector<std::string>{}, FolderNames(stub.temp_folder));
    EXPECT_EQ(std::vector<std::string>{}, FolderNames(stub.UnpackFolder(1)));
  }
}

// Windows Installer packages as the program: CreateProcess refuses them, the shell hands them to
// msiexec with the stub's arguments (/qn: no window), and the stub waits until msiexec has
// installed the product and ends with msiexec's exit code. Where the files land is the package's
// own choice, whatever the bitness of the stub (and so of the msiexec that the shell starts): a
// 32-bit package's Program Files folder is the 32-bit one, Program Files (x86) on 64-bit Windows,
// and a 64-bit package's is Program Files itself.
TEST(StubRun, WindowsInstallerPackagesRunThroughMsiexec) {
  const struct {
    const char* package;
    const char* program_files;
  } cases[] = {{"product.msi", "%ProgramFiles(x86)%"}, {"product64.msi", "%ProgramW6432%"}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.package);
    char program_files[MAX_PATH] = {};
    ExpandEnvironmentStringsA(test.program_files, program_files, MAX_PATH);
    ASSERT_NE(program_files[0], '%') << "the tests run on 64-bit Windows";
    const std::string installed = std::string(program_files) + "\\Vornix Test Product\\product-readme.txt";
    DeleteFileA(installed.c_str());
    const std::vector<uint8_t> product = ReadWholeFile(TestProgramFolder() + test.package);
    ASSERT_FALSE(product.empty());
    StubCase stub("msi");
    stub.WritePackage(BuildPackage("Installer", "Vornix tests", "", 0, kRunAfterUnpack, {{test.package, product, 0}}));
    stub.arguments = "/qn";
    const StubRun run = stub.Run(120000);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(Bytes("Installed by the Vornix stub tests through msiexec.\r\n"), ReadWholeFile(installed));
    EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  }
}

TEST(StubRun, ProgramStartedFromTheUnpackFolderHoldsUpTheCleanUp) {
  StubCase stub("run launcher");
  stub.WritePackage(BuildPackage(
      "Launcher", "Vornix tests", "", 0, 1,
      {{"launcher.exe", PayloadProgram(), 1}, {"second.exe", PayloadProgram(), 0}, {"notes.txt", Bytes("notes"), 1}}));
  const PROCESS_INFORMATION stub_process = stub.Start();
  const std::string second = stub.temp_folder + "vornix_1\\second.exe";
  const bool only_second = Eventually(
      [&] {
        const std::vector<RunningProgram> seconds = RunningPrograms("second.exe");
        return RunningPrograms("launcher.exe").empty() && seconds.size() == 1 && seconds[0].path == second;
      },
      30000);
  EXPECT_TRUE(only_second) << "launcher.exe did not end, or second.exe did not start";
  Sleep(2500);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(stub_process.hProcess, 0));
  EXPECT_EQ(Sorted({"launcher.exe", "notes.txt", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
  EXPECT_FALSE(FileExists(stub.marker + ".second"));

  ExpectReleasedSecondThenCleanUp(stub, stub_process, second);
}

// A tree: the program runs from a subfolder in the unpack folder, the wait covers what it started
// deeper in the tree, and the clean-up removes every file and folder.
TEST(StubRun, TreeRunsFromASubfolderWaitsForTheTreeAndRemovesIt) {
  StubCase stub("run tree");
  const std::string second = stub.UnpackFolder(1) + "lib\\deep\\second.exe";
  const ScopedVariable launch("VORNIX_TEST_LAUNCH", second);
  stub.WritePackage(BuildPackage("Tree", "Vornix tests", "", 1, kRunAfterUnpack,
                                 {{"data\\readme.txt", Bytes("read me"), 1},
                                  {"bin\\launcher.exe", PayloadProgram(), 1},
                                  {"lib\\deep\\second.exe", PayloadProgram(), 0}},
                                 true, {"empty\\one"}));
  const PROCESS_INFORMATION stub_process = stub.Start();
  ASSERT_TRUE(Eventually([] { return ProgramRunning("second.exe") && !ProgramRunning("launcher.exe"); }, 30000));
  EXPECT_EQ(Sorted({"bin", "data", "empty", "lib"}), FolderNames(stub.UnpackFolder(1)));
  EXPECT_EQ(std::vector<std::string>{"one"}, FolderNames(stub.UnpackFolder(1) + "empty"));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(stub_process.hProcess, 1000));

  ExpectReleasedSecondThenCleanUp(stub, stub_process, second);
}

TEST(StubRun, LinksThatLeadOutOfTheFolderAreNotFollowedByTheCleanUp) {
  StubCase stub("run links");
  const std::string target = stub.temp_folder + "link-target\\";
  CreateDirectoryA(target.c_str(), nullptr);
  WriteWholeFile(target + "keep.txt", Bytes("keep"));
  stub.WritePackage(BuildPackage("Links", "Vornix tests", "", 0, kRunAfterUnpack,
                                 {{"linker.exe", PayloadProgram(), 1}, {"data\\readme.txt", Bytes("read me"), 1}},
                                 true));
  const StubRun run = stub.Run(40000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  // Both links were there, the one to the folder seen as a folder and a reparse point.
  char attributes[32];
  wsprintfA(attributes, "%lx\n", static_cast<unsigned long>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_EQ(0u, Text(ReadWholeFile(stub.marker)).rfind(attributes, 0)) << Text(ReadWholeFile(stub.marker));
  EXPECT_EQ(Sorted({"keep.txt"}), FolderNames(target));
  EXPECT_EQ("keep", Text(ReadWholeFile(target + "keep.txt")));
  // Everything else is gone. Windows flags links as reparse points and removes them as themselves;
  // Wine shows a link to a file as a plain file, and removing either link there removes what it
  // leads to instead: the links stay, and with them the unpack folder.
  EXPECT_EQ(Sorted({"file-link", "folder-link"}), FolderNames(stub.UnpackFolder(1)));
  DeleteTree(stub.temp_folder);
}

TEST(StubRun, ProgramRunningFromAnotherUnpackFolderDoesNotHoldUpTheCleanUp) {
  StubCase stub("run other folder");
  const std::string other = stub.temp_folder + "vornix_10\\";
  CreateDirectoryA(other.c_str(), nullptr);
  WriteWholeFile(other + "second.exe", PayloadProgram());
  stub.WritePackage(BuildPackage("Other folder", "Vornix tests", "", 0, 1,
                                 {{"launcher.exe", PayloadProgram(), 1}, {"notes.txt", Bytes("notes"), 0}}));
  StubRun run;
  {
    ScopedVariable launch("VORNIX_TEST_LAUNCH", other + "second.exe");
    run = stub.Run(40000);
  }
  ASSERT_TRUE(run.exited) << "the stub waited for a program of vornix_10";
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  // second.exe still waits.
  const std::vector<RunningProgram> seconds = RunningPrograms("second.exe");
  ASSERT_EQ(1u, seconds.size());
  EXPECT_EQ(other + "second.exe", seconds[0].path);
  EXPECT_FALSE(FileExists(stub.marker + ".second"));
  // The unpacked files are gone. The folder itself may stay: it is second.exe's working directory,
  // inherited from the launcher, and Windows keeps a process's working directory from removal.
  EXPECT_TRUE(FolderNames(stub.UnpackFolder(1)).empty());
  EXPECT_EQ(std::vector<std::string>{"second.exe"}, FolderNames(other));

  HANDLE waiting = OpenProcess(SYNCHRONIZE, FALSE, seconds[0].pid);
  SetEvent(stub.release);
  ASSERT_NE(nullptr, waiting);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(waiting, 30000));
  CloseHandle(waiting);
  EXPECT_EQ(PayloadSaw(other + "second.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker + ".second")));
}

struct NotAProgram {
  const char* label;
  std::vector<uint8_t> bytes;
};

TEST(StubRun, ProgramThatCannotStartLeavesTheFilesInPlace) {
  const NotAProgram cases[] = {
      {"empty", {}},
      {"garbage", {0x13, 0x37, 0xC0, 0xDE, 0x00, 0xFF, 0x42}},
  };
  for (const NotAProgram& program : cases) {
    SCOPED_TRACE(program.label);
    StubCase stub(std::string("run cannot start ") + program.label);
    stub.WritePackage(BuildPackage("Cannot start", "Vornix tests", "", 1, 1,
                                   {{"readme.txt", Bytes("read me"), 1}, {"setup.exe", program.bytes, 0}}));
    MessageBoxLooks looks;
    std::vector<std::string> while_box;
    const StubRun run = stub.Run(30000, [&](const MessageBoxSeen& box) {
      looks = LookAtMessageBox(box.window);
      while_box = FolderNames(stub.UnpackFolder(1));
    });
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(4u, run.exit_code);
    ASSERT_EQ(1u, run.boxes.size());
    ExpectErrorBox(run.boxes[0], looks, ExecuteText(stub.temp_folder + "vornix_1\\setup.exe"));
    EXPECT_EQ(Sorted({"readme.txt", "setup.exe"}), while_box);
    EXPECT_EQ(Sorted({"readme.txt", "setup.exe"}), FolderNames(stub.UnpackFolder(1)));
    EXPECT_EQ(Bytes("read me"), ReadWholeFile(stub.UnpackFolder(1) + "readme.txt"));
    EXPECT_EQ(program.bytes, ReadWholeFile(stub.UnpackFolder(1) + "setup.exe"));
  }
}

TEST(StubRun, EntryFailureStillRunsTheProgramAndTheCleanUpStaysInTheFolder) {
  StubCase stub("run after refused entry");
  // Files of the name the refused entry points at, outside the unpack folder: they must stay.
  WriteWholeFile(stub.temp_folder + "keep.txt", Bytes("keep me"));
  WriteWholeFile(stub.folder + "keep.txt", Bytes("keep me too"));
  PackageBytes package(
      BuildPackage("Refused", "Vornix tests", "", 2, 1,
                   {{"readme.txt", Bytes("read me"), 1}, {"placeholder", Bytes("outside"), 0}, MarkerProgram()}));
  ASSERT_EQ("placeholder", package.Name(1));
  package.Rename(1, "..\\keep.txt");
  ASSERT_EQ("..\\keep.txt", package.Name(1));
  stub.WritePackage(package.bytes);

  MessageBoxLooks looks;
  const StubRun run = stub.Run(30000, [&](const MessageBoxSeen& box) { looks = LookAtMessageBox(box.window); });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  ASSERT_EQ(1u, run.boxes.size());
  ExpectErrorBox(run.boxes[0], looks, CreateFileText(stub.temp_folder + "vornix_1\\..\\keep.~~c"));
  EXPECT_EQ(PayloadSaw(stub.temp_folder + "vornix_1\\marker.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker)));
  EXPECT_FALSE(DirectoryExists(stub.UnpackFolder(1)));
  EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(stub.temp_folder));
  EXPECT_EQ(Bytes("keep me"), ReadWholeFile(stub.temp_folder + "keep.txt"));
  EXPECT_EQ(Bytes("keep me too"), ReadWholeFile(stub.folder + "keep.txt"));
}

TEST(StubRun, EntryFailureDecidesTheExitCodeBeforeAProgramThatCannotStart) {
  StubCase stub("run damaged and cannot start");
  PackageBytes package(BuildPackage("Both", "Vornix tests", "", 1, 1,
                                    {{"data.bin", Bytes("some data"), 1}, {"setup.exe", Bytes("garbage"), 0}}));
  ASSERT_EQ("data.bin", package.Name(0));
  DamageId(package, 0);
  stub.WritePackage(package.bytes);

  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  ASSERT_EQ(2u, run.boxes.size());
  EXPECT_EQ(CreateFileText(stub.temp_folder + "vornix_1\\data.~~c"), run.boxes[0].text);
  EXPECT_EQ(ExecuteText(stub.temp_folder + "vornix_1\\setup.exe"), run.boxes[1].text);
  EXPECT_EQ(Sorted({"data.bin", "setup.exe"}), FolderNames(stub.UnpackFolder(1)));
}

TEST(StubRun, ARefusedRunEntryNameStartsNothingOutsideTheFolder) {
  StubCase stub("refused run entry");
  // A program where the refused name points: it must never run.
  WriteWholeFile(stub.temp_folder + "marker.exe", PayloadProgram());
  PackageBytes package(BuildPackage("Refused run", "Vornix tests", "", 0, 1, {{"placeholder13", PayloadProgram(), 1}}));
  ASSERT_EQ("placeholder13", package.Name(0));
  package.Rename(0, "..\\marker.exe");
  ASSERT_EQ("..\\marker.exe", package.Name(0));
  stub.WritePackage(package.bytes);

  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  ASSERT_EQ(2u, run.boxes.size());
  EXPECT_EQ(CreateFileText(stub.temp_folder + "vornix_1\\..\\marker.~~c"), run.boxes[0].text);
  EXPECT_EQ(ExecuteText(stub.temp_folder + "vornix_1\\..\\marker.exe"), run.boxes[1].text);
  EXPECT_FALSE(FileExists(stub.marker));
  EXPECT_EQ(Sorted({"marker.exe", "vornix_1"}), FolderNames(stub.temp_folder));
}

}  // namespace
}  // namespace vornix

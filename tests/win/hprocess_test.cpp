// Process listing under Wine, with real processes: helper programs started from a folder with a
// long name are listed under their upper-case short path (NT) or by the name ToolHelp reports
// (the same program built as hprocess_win98_tests.exe, which Wine tells it runs on Windows 98);
// the process library comes from the system directory; the warning box as a user sees it.
#include "process/hprocess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform_win32.h"
#include "tests/win/message_box.h"
#include "tests/win/test_program.h"

namespace vornix {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : "";
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string SystemFolder() {
  char path[MAX_PATH] = {};
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

int CountOf(const TStringList& list, const std::string& entry) {
  int count = 0;
  for (int i = 0; i < list.Count(); ++i) count += list[i] == entry;
  return count;
}

std::string Joined(const TStringList& list) {
  std::string all;
  for (int i = 0; i < list.Count(); ++i) all += "  [" + list[i] + "]\n";
  return all;
}

// Copies a helper program into a folder with a long name (blanks and all) and starts copies of it.
class ProcessListing : public ::testing::Test {
 protected:
  void SetUp() override {
    ready_ = CreateSemaphoreA(nullptr, 0, 16, "vornix_helper_ready");
    quit_ = CreateEventA(nullptr, TRUE, FALSE, "vornix_helper_quit");
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "vornix process listing folder\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    SetEvent(quit_);
    for (PROCESS_INFORMATION& started : started_) {
      WaitForSingleObject(started.hProcess, 10000);
      CloseHandle(started.hProcess);
      CloseHandle(started.hThread);
    }
    for (const std::string& copy : copies_) DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder_.c_str());
    CloseHandle(ready_);
    CloseHandle(quit_);
  }

  // Copies the helper built as source to the folder under name and starts count instances.
  std::string Start(const std::string& source, const std::string& name, int count) {
    std::string path = folder_ + name;
    EXPECT_TRUE(CopyFileA((OwnFolder() + source).c_str(), path.c_str(), FALSE)) << source;
    copies_.push_back(path);
    for (int i = 0; i < count; ++i) {
      STARTUPINFOA startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION started = {};
      std::string command = "\"" + path + "\"";
      EXPECT_TRUE(
          CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
      started_.push_back(started);
      EXPECT_EQ(WaitForSingleObject(ready_, 10000), WAIT_OBJECT_0) << name << " did not start";
    }
    return path;
  }

  std::string folder_;
  std::vector<std::string> copies_;
  std::vector<PROCESS_INFORMATION> started_;
  HANDLE ready_ = nullptr;
  HANDLE quit_ = nullptr;
};

TEST_F(ProcessListing, TwoInstancesFromALongFolderNameGiveTwoEntries) {
  std::string path = Start("process_helper.exe", "listed helper program.exe", 2);
  TStringList list;
  list.Add("left over from before");
  ASSERT_TRUE(ListProcesses(list));
  if (PlatformIsNT()) {
    std::string expected = Upper(ShortPath(path));
    ASSERT_FALSE(expected.empty());
    EXPECT_NE(expected, Upper(path));  // the 8.3 form, not the long one
    EXPECT_EQ(CountOf(list, expected), 2) << "looking for [" << expected << "] in\n" << Joined(list);
  } else {
    EXPECT_EQ(CountOf(list, "listed helper program.exe"), 2) << Joined(list);
  }
  EXPECT_EQ(list.IndexOf("left over from before"), -1);
}

TEST_F(ProcessListing, AnEndedProcessIsNoLongerListed) {
  std::string path = Start("process_helper.exe", "listed helper program.exe", 1);
  SetEvent(quit_);
  ASSERT_EQ(WaitForSingleObject(started_[0].hProcess, 10000), WAIT_OBJECT_0);
  TStringList list;
  ListProcesses(list);
  EXPECT_EQ(CountOf(list, Upper(ShortPath(path))), 0);
  EXPECT_EQ(CountOf(list, "listed helper program.exe"), 0);
}

// A process of the other bitness is listed as well: a 32-bit lister cannot read a 64-bit
// process's modules through PSAPI, but the image name still lists it; a 64-bit lister reads a
// 32-bit process's own.
TEST_F(ProcessListing, AProcessOfTheOtherBitnessIsListedToo) {
  if (!PlatformIsNT()) GTEST_SKIP() << "64-bit programs run on NT only";
  if (sizeof(void*) == 8 && !HostRuns32BitPrograms()) {
    GTEST_SKIP() << "this host runs no 32-bit program, so the 32-bit helper cannot start";
  }
  std::string path = Start("process_helper_other.exe", "listed helper program of the other bitness.exe", 1);
  TStringList list;
  ASSERT_TRUE(ListProcesses(list));
  std::string expected = Upper(ShortPath(path));
  EXPECT_EQ(CountOf(list, expected), 1) << "looking for [" << expected << "] in\n" << Joined(list);
}

TEST(ProcessApi, ThePlatformIsTheOneThisProgramWasMeantFor) { EXPECT_EQ(PlatformIsNT(), !NamedForWin98()); }

TEST(ProcessApi, TheLibraryComesFromTheSystemDirectory) {
  ASSERT_NE(ProcessApiLibrary, nullptr);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(ProcessApiLibrary, path, MAX_PATH);
  std::string expected = Upper(SystemFolder() + (PlatformIsNT() ? "\\PSAPI.DLL" : "\\KERNEL32.DLL"));
  EXPECT_EQ(Upper(path), expected);
}

// A PSAPI.DLL planted beside this program (the build puts one there) is not what the unit loads.
TEST(ProcessApi, APlantedProcessLibraryIsNotLoaded) {
  ASSERT_NE(GetFileAttributesA((OwnFolder() + "psapi.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetProcAddress(ProcessApiLibrary, "VornixPlanted"), nullptr);
  EXPECT_EQ(GetModuleHandleA((OwnFolder() + "psapi.dll").c_str()), nullptr);
}

// After RestrictDllSearch, a system DLL loaded by bare name later on (as Windows' own libraries
// do) comes from the system directory, not from a MSIMG32.DLL planted beside the program.
TEST(ProcessApi, TheProcessDllSearchSkipsTheProgramFolder) {
  ASSERT_NE(GetFileAttributesA((OwnFolder() + "msimg32.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  HMODULE loaded = LoadLibraryA("msimg32.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(GetProcAddress(loaded, "VornixPlanted"), nullptr);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(loaded, path, MAX_PATH);
  EXPECT_EQ(Upper(path), Upper(SystemFolder() + "\\msimg32.dll"));
  FreeLibrary(loaded);
}

TEST(ProcessApi, NothingIsListedOrClearedWithoutTheLibrary) {
  FinalizeHProcess();
  TStringList list;
  list.Add("kept");
  EXPECT_FALSE(ListProcesses(list));
  EXPECT_EQ(list.Count(), 1);
  LoadProcessApi();
  EXPECT_TRUE(ListProcesses(list));
  EXPECT_EQ(list.IndexOf("kept"), -1);
}

DWORD WINAPI ReadAndAnswerBox(void* seen) {
  auto* box = static_cast<MessageBoxSeen*>(seen);
  *box = WaitForMessageBox(10000);
  if (box->window != nullptr) AnswerMessageBox(box->window);
  return 0;
}

TEST(ShowWarning, ASystemModalBoxWithTheFixedCaption) {
  MessageBoxSeen seen;
  HANDLE watcher = CreateThread(nullptr, 0, ReadAndAnswerBox, &seen, 0, nullptr);
  EXPECT_EQ(ShowWarning("PSAPI.DLL is missing or corrupt"), IDOK);
  WaitForSingleObject(watcher, 10000);
  CloseHandle(watcher);
  ASSERT_NE(seen.window, nullptr);
  EXPECT_EQ(seen.caption, "Quorrin Vornix");
  EXPECT_EQ(seen.text, "PSAPI.DLL is missing or corrupt");
  EXPECT_TRUE(seen.ex_style & WS_EX_TOPMOST);  // system modal
}

}  // namespace
}  // namespace vornix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vornix::RestrictDllSearch();
  vornix::LoadProcessApi();
  int result = RUN_ALL_TESTS();
  vornix::FinalizeHProcess();
  return result;
}

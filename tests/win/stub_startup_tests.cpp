// The stub's start-up and its ways out, end to end: a damaged package is refused with its box before
// any window shows; reserved header bytes are ignored; the two-second timer unpacks once; closing
// early ends with 5; the unpack folder is found or refused under the temporary directory; and the
// error boxes carry their modality, buttons, icon and place on top; a large unpacking shows its
// progress, answers and can be cancelled. (The window itself: stub_window_tests.cpp.)
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>  // needs windows.h before it

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/win/package_bytes.h"
#include "tests/win/screen_picture.h"
#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// What the user reads, written out here and not taken from the product.
constexpr char kWarningCaption[] = "Quorrin Vornix";
constexpr char kNoTempPathText[] = "Could not create temporary path!";

std::vector<uint8_t> BareStub() { return ReadWholeFile(TestProgramFolder() + "vornix_stub.exe"); }

// Waits up to limit_ms for condition to hold. Changes of names or contents under folder wake the
// wait; the short bound on each wait covers a platform that misses a notification.
bool WaitForChange(const std::string& folder, const std::function<bool()>& condition, DWORD limit_ms) {
  HANDLE change = FindFirstChangeNotificationA(
      folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  const DWORD start = GetTickCount();
  bool held = condition();
  while (!held && GetTickCount() - start < limit_ms) {
    if (change == INVALID_HANDLE_VALUE) {
      Sleep(50);
    } else if (WaitForSingleObject(change, 200) == WAIT_OBJECT_0) {
      FindNextChangeNotification(change);
    }
    held = condition();
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  return held;
}

// One of several stubs started together, each with its own case folders.
struct StartedCase {
  std::unique_ptr<StubCase> stub;
  std::unique_ptr<RunningStub> running;  // declared second: ends before its case goes
};

// Waits for a stub's next box, lets check read it while it shows, and answers it. Without a window
// manager Wine takes about two seconds to hide a window, so the boxes of stubs started together are
// answered first and their ends waited for afterwards, when those seconds overlap.
MessageBoxSeen AnswerNextBox(const RunningStub& running, const std::function<void(const MessageBoxSeen&)>& check) {
  const MessageBoxSeen box = WaitForMessageBox(15000, running.Id());
  if (box.window != nullptr) {
    check(box);
    AnswerMessageBox(box.window);
  }
  return box;
}

// The folder that holds folder; both end in a backslash.
std::string ParentFolder(const std::string& folder) {
  return folder.substr(0, folder.find_last_of('\\', folder.size() - 2) + 1);
}

// Wine 8 gives MB_TOPMOST boxes no WS_EX_TOPMOST (only MB_SYSTEMMODAL ones get it), so there the flag
// cannot be seen from outside. Found out once with a box of this program's own.
DWORD WINAPI ShowTopmostBox(LPVOID) {
  MessageBoxA(nullptr, "Does this box stay on top?", "Topmost probe", MB_OK | MB_TOPMOST);
  return 0;
}

bool PlatformShowsTopmostBoxes() {
  static const bool shows = [] {
    HANDLE thread = CreateThread(nullptr, 0, ShowTopmostBox, nullptr, 0, nullptr);
    const MessageBoxSeen box = WaitForMessageBox(10000);
    // The thread ends in its own time: hiding the box takes Wine a while.
    if (box.window != nullptr) AnswerMessageBox(box.window);
    CloseHandle(thread);
    return (box.ex_style & WS_EX_TOPMOST) != 0;
  }();
  return shows;
}

// The could-not-create-the-folder warning: its texts, OK alone, on top of everything.
void ExpectNoTempPathWarning(const MessageBoxSeen& box) {
  EXPECT_EQ(kWarningCaption, box.caption);
  EXPECT_EQ(kNoTempPathText, box.text);
  EXPECT_EQ(std::vector<int>{IDOK}, LookAtMessageBox(box.window).buttons);
  EXPECT_NE(0, box.ex_style & WS_EX_TOPMOST);
}

// ---------------------------------------------------------------------------------------------
// Packages the stub cannot read.

std::vector<uint8_t> ReadablePackage() {
  return BuildPackage("Title", "Publisher", "A note", 0, kRunAfterUnpack, {MarkerProgram()});
}

std::vector<uint8_t> CutAt(size_t length) {
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes.resize(length);
  return bytes;
}

std::vector<uint8_t> WithVersion(uint8_t low, uint8_t high) {
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes[kPackageOffset] = low;
  bytes[kPackageOffset + 1] = high;
  return bytes;
}

struct UnreadableCase {
  const char* name;
  std::function<std::vector<uint8_t>()> bytes;
};

// The texts follow the header: publisher (9 bytes), title (5), note (6).
const UnreadableCase kUnreadableCases[] = {
    {"BareStub", BareStub},
    {"ElevenHeaderBytes", [] { return CutAt(kPackageOffset + kHeaderSize - 1); }},
    {"Version2", [] { return WithVersion(2, 0); }},
    {"Version257", [] { return WithVersion(1, 1); }},
    {"EndsInsideThePublisher", [] { return CutAt(kPackageOffset + kHeaderSize + 4); }},
    {"EndsInsideTheTitle", [] { return CutAt(kPackageOffset + kHeaderSize + 9 + 2); }},
    {"EndsInsideTheNote", [] { return CutAt(kPackageOffset + kHeaderSize + 9 + 5 + 5); }},
};

// Started together: each stub waits in its box, and their ends overlap.
TEST(StubUnreadable, ShowsTheCorruptBoxWithoutWindowAndEndsWithOne) {
  std::vector<StartedCase> started;
  for (const UnreadableCase& unreadable : kUnreadableCases) {
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("unreadable ") + unreadable.name);
    one.stub->WritePackage(unreadable.bytes());
    one.running = std::make_unique<RunningStub>(*one.stub);
    started.push_back(std::move(one));
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kUnreadableCases[i].name);
    const RunningStub& running = *started[i].running;
    const MessageBoxSeen box = AnswerNextBox(running, [&](const MessageBoxSeen& shown) {
      EXPECT_EQ(nullptr, WaitForMainWindow(running.Id(), 0)) << "the main window shows";
      EXPECT_EQ(std::vector<int>{IDOK}, LookAtMessageBox(shown.window).buttons);
    });
    EXPECT_NE(nullptr, box.window) << "no box";
    EXPECT_EQ(kAppTitle, box.caption);
    EXPECT_EQ(kCorruptText, box.text);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kUnreadableCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(1u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty()) << "another box";
    EXPECT_TRUE(FolderNames(started[i].stub->temp_folder).empty());
    EXPECT_FALSE(FileExists(started[i].stub->marker));
  }
}

TEST(StubHeader, ReservedBytesSetToFFAreIgnored) {
  StubCase stub("reserved bytes");
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes[kPackageOffset + 2] = 0xFF;
  bytes[kPackageOffset + 3] = 0xFF;
  stub.WritePackage(bytes);
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(stub.UnpackFolder(1) + "marker.exe", ProgramSeen(stub.marker));
}

struct StayingCase {
  const char* name;
  std::vector<std::string> packed;  // marker.exe is the payload program, anything else a text
  uint8_t run_index;
  uint8_t flags;
};

const StayingCase kStayingCases[] = {
    {"RunFlagClear", {"readme.txt", "marker.exe"}, 1, 0},
    {"NoEntries", {}, 0, 0},
    {"RunIndexPastTheEntries", {"marker.exe", "readme.txt"}, 2, kRunAfterUnpack},
};

// Nothing to run: the timer unpacks once, two seconds in, and the window and the files stay until
// the user closes the window. The cases run side by side.
TEST(StubTimer, UnpacksOnceAfterTwoSecondsAndKeepsWindowAndFilesWhenNothingRuns) {
  std::vector<StartedCase> started;
  std::vector<std::vector<std::string>> unpacked;
  for (const StayingCase& staying : kStayingCases) {
    std::vector<StubFile> files;
    for (const std::string& name : staying.packed) {
      files.push_back(name == "marker.exe" ? MarkerProgram() : StubFile{name, Bytes("read me"), 0});
    }
    unpacked.push_back(staying.packed);
    std::sort(unpacked.back().begin(), unpacked.back().end());
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("stays open ") + staying.name);
    one.stub->WritePackage(BuildPackage("Stays open", "Vornix tests", "", staying.run_index, staying.flags, files));
    one.running = std::make_unique<RunningStub>(*one.stub);
    started.push_back(std::move(one));
  }
  std::vector<HWND> windows;
  std::vector<DWORD> shown;
  for (const StartedCase& one : started) {
    windows.push_back(one.running->MainWindow());
    shown.push_back(GetTickCount());
    ASSERT_NE(nullptr, windows.back());
  }
  // When each unpack folder was first seen.
  std::vector<DWORD> seen(started.size(), 0);
  EXPECT_TRUE(WaitForChange(
      ParentFolder(started[0].stub->folder),
      [&] {
        for (size_t i = 0; i < started.size(); ++i) {
          if (seen[i] == 0 && DirectoryExists(started[i].stub->UnpackFolder(1))) seen[i] = GetTickCount();
        }
        return std::find(seen.begin(), seen.end(), 0u) == seen.end();
      },
      15000));
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubCase& stub = *started[i].stub;
    EXPECT_NE(0u, seen[i]) << "nothing was unpacked";
    EXPECT_GE(seen[i] - shown[i], 1500u) << "unpacking began too early";
    EXPECT_TRUE(WaitForChange(
        stub.folder, [&] { return FolderNames(stub.UnpackFolder(1)) == unpacked[i]; }, 15000));
  }
  // Another tick of a two-second timer would come within this wait; no stub ends in it either.
  std::vector<HANDLE> processes;
  for (const StartedCase& one : started) processes.push_back(one.running->Handle());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE, 2500));
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubCase& stub = *started[i].stub;
    EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
    EXPECT_EQ(unpacked[i], FolderNames(stub.UnpackFolder(1)));
    EXPECT_TRUE(IsWindowVisible(windows[i]));
    EXPECT_FALSE(FileExists(stub.marker)) << "a program ran";
    CloseWindowAsUser(windows[i]);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
  }
}

// ---------------------------------------------------------------------------------------------
// Closing the window before the run is over.

TEST(StubClosedEarly, BeforeTheTimerEndsWithFiveAndUnpacksNothing) {
  StubCase stub("closed before timer");
  stub.WritePackage(ReadablePackage());
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  CloseWindowAsUser(main);
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(5u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  EXPECT_FALSE(FileExists(stub.marker));
}

TEST(StubClosedEarly, WhileTheProgramsChildRunsEndsAtOnceWithFiveAndLeavesTheFiles) {
  StubCase stub("closed while child runs");
  stub.WritePackage(BuildPackage("Launcher", "Vornix tests", "", 0, kRunAfterUnpack,
                                 {{"launcher.exe", PayloadProgram(), 1}, {"second.exe", PayloadProgram(), 0}}));
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  ASSERT_TRUE(Eventually([] { return ProgramRunning("second.exe"); }, 15000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(running.Handle(), 0));
  CloseWindowAsUser(main);
  const StubRun run = running.Watch(15000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(5u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_FALSE(ProgramRunning("winedbg.exe")) << "the stub crashed on its way out";
  // second.exe still waits for its release.
  EXPECT_FALSE(FileExists(stub.marker + ".second"));
  EXPECT_EQ((std::vector<std::string>{"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
  SetEvent(stub.release);
  EXPECT_TRUE(WaitForChange(
      stub.folder, [&] { return FileExists(stub.marker + ".second"); }, 15000));
  EXPECT_EQ((std::vector<std::string>{"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
}

// ---------------------------------------------------------------------------------------------
// A large unpacking: the progress bar, the window answering throughout, and closing it to cancel.

// 32 MB of noise coded with LZH, which decodes slowly enough to watch (some seconds under Wine),
// then marker.exe to run; built once for the tests below.
const std::vector<uint8_t>& LargePackage() {
  static const std::vector<uint8_t> package = [] {
    std::vector<uint8_t> noise(32 << 20);
    uint32_t state = 7;
    for (uint8_t& byte : noise) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(state >> 24);
    }
    return BuildPackage("Large", "Vornix tests", "", 1, kRunAfterUnpack,
                        {{"data.bin", std::move(noise), 0}, {"marker.exe", PayloadProgram(), 1}});
  }();
  return package;
}

HWND ProgressBar(HWND main) { return FindWindowExA(main, nullptr, "msctls_progress32", nullptr); }

// The large package, started: its case, the running stub and its main window.
struct LargeUnpacking {
  explicit LargeUnpacking(const char* name)
      : stub(name), written(Write(stub)), running(stub), main(running.MainWindow()) {}
  static bool Write(const StubCase& stub) {
    stub.WritePackage(LargePackage());
    return true;
  }
  StubCase stub;
  bool written;
  RunningStub running;
  HWND main;
};

// The bar's position, asked as any other process asks; -1 when the window did not answer in time.
LRESULT AskPosition(HWND bar, UINT limit_ms) {
  DWORD_PTR position = 0;
  if (SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, limit_ms, &position) == 0) return -1;
  return static_cast<LRESULT>(position);
}

TEST(StubProgress, BarMovesWithTheUnpackingAndTheWindowAnswersThroughout) {
  LargeUnpacking unpacking("progress");
  const StubCase& stub = unpacking.stub;
  RunningStub& running = unpacking.running;
  HWND main = unpacking.main;
  ASSERT_NE(nullptr, main);
  HWND bar = nullptr;
  ASSERT_TRUE(Eventually([&] { return (bar = ProgressBar(main)) != nullptr; }, 10000));
  // Below the note and above the foot line.
  RECT place;
  GetWindowRect(bar, &place);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ((std::vector<LONG>{24, 184, 289, 193}),
            (std::vector<LONG>{place.left, place.top, place.right, place.bottom}));
  // Until the program starts: every question answered within a second (the unpacking takes some).
  std::vector<LRESULT> positions;
  DWORD slowest = 0;
  while (!FileExists(stub.marker) && WaitForSingleObject(running.Handle(), 20) == WAIT_TIMEOUT) {
    const DWORD asked = GetTickCount();
    const LRESULT position = AskPosition(bar, 1000);
    slowest = std::max(slowest, GetTickCount() - asked);
    if (!IsWindow(bar)) break;
    ASSERT_NE(-1, position) << "the window did not answer for a second";
    if (positions.empty() || position != positions.back()) positions.push_back(position);
  }
  std::printf("the window's slowest answer while unpacking: %lu ms\n", static_cast<unsigned long>(slowest));
  EXPECT_GE(positions.size(), 4u) << "the bar did not move";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

TEST(StubClosedEarly, WhileUnpackingStopsEndsWithFiveAndLeavesNothing) {
  LargeUnpacking unpacking("closed while unpacking");
  const StubCase& stub = unpacking.stub;
  RunningStub& running = unpacking.running;
  HWND main = unpacking.main;
  ASSERT_NE(nullptr, main);
  HWND bar = nullptr;
  ASSERT_TRUE(Eventually([&] { return (bar = ProgressBar(main)) != nullptr && AskPosition(bar, 1000) > 0; }, 20000));
  CloseWindowAsUser(main);
  // How soon the unpacking stops and its files are gone, before the window itself goes.
  const DWORD closed = GetTickCount();
  EXPECT_TRUE(Eventually([&] { return !DirectoryExists(stub.UnpackFolder(1)); }, 15000));
  std::printf("closed -> the unpack folder removed: %lu ms\n", static_cast<unsigned long>(GetTickCount() - closed));
  const StubRun run = running.Watch(15000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(5u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  EXPECT_FALSE(FileExists(stub.marker)) << "the program ran";
}

// ---------------------------------------------------------------------------------------------
// The unpack folder under the temporary directory.

TEST(StubTempFolder, FolderOfAnotherCopyIsLeftAloneAndTheNextNumberTaken) {
  StubCase stub("temp folder taken");
  CreateDirectoryA(stub.UnpackFolder(1).c_str(), nullptr);
  WriteWholeFile(stub.UnpackFolder(1) + "keep.txt", Bytes("keep"));
  stub.WritePackage(ReadablePackage());
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(stub.UnpackFolder(2) + "marker.exe", ProgramSeen(stub.marker));
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(stub.UnpackFolder(1)));
}

TEST(StubTempFolder, PlainFileOfTheFoldersNameStopsWithTheWarningAndThree) {
  StubCase stub("temp folder is a file");
  const std::string file = stub.temp_folder + "vornix_1";
  WriteWholeFile(file, Bytes("a file"));
  stub.WritePackage(ReadablePackage());
  RunningStub running(stub);
  const StubRun run = running.Watch(30000, [](const MessageBoxSeen& box) {
    ExpectNoTempPathWarning(box);
    EXPECT_TRUE(BoxShowsIcon(box, IDI_EXCLAMATION));
  });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(3u, run.exit_code);
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  EXPECT_EQ("a file", Text(ReadWholeFile(file)));
  EXPECT_FALSE(FileExists(stub.marker));
}

// A folder inside base whose path, with its trailing backslash, is length characters long.
std::string DeepFolder(const std::string& base, size_t length) {
  std::string folder = base;
  while (folder.size() < length) {
    // Each level is a name of at least one character and its backslash.
    const size_t left = length - folder.size();
    const size_t level = left <= 60 ? left : (left - 60 < 2 ? left - 2 : 60);
    folder += std::string(level - 1, 'd') + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  return folder;
}

struct LongTempCase {
  const char* name;
  size_t length;  // of the temporary directory's path, trailing backslash included
  bool fits;      // "<temp>vornix_1\" takes at most 260 characters
};

const LongTempCase kLongTempCases[] = {
    {"Takes260", 251, true},
    {"Takes261", 252, false},
    {"GetTempPathLimit", 259, false},
};

// The cases run side by side: the refused ones' warnings are answered first.
TEST(StubTempFolder, UnpackFolderPathOver260CharactersIsRefusedWithTheWarning) {
  std::vector<StartedCase> started;
  std::vector<std::string> temps;
  for (const LongTempCase& long_temp : kLongTempCases) {
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("long temp ") + long_temp.name);
    temps.push_back(DeepFolder(one.stub->temp_folder, long_temp.length));
    ASSERT_TRUE(DirectoryExists(temps.back()));
    ASSERT_EQ(long_temp.length, temps.back().size());
    // A file would not fit inside a folder whose path takes 260 characters already.
    one.stub->WritePackage(long_temp.fits ? BuildPackage("Long temp", "Vornix tests", "", 0, 0, {})
                                          : ReadablePackage());
    one.running = std::make_unique<RunningStub>(*one.stub, StartWithFolders(*one.stub, temps.back(), one.stub->marker));
    started.push_back(std::move(one));
  }
  for (size_t i = 0; i < started.size(); ++i) {
    if (kLongTempCases[i].fits) continue;
    SCOPED_TRACE(kLongTempCases[i].name);
    EXPECT_NE(nullptr, AnswerNextBox(*started[i].running, ExpectNoTempPathWarning).window) << "no warning";
  }
  for (size_t i = 0; i < started.size(); ++i) {
    if (!kLongTempCases[i].fits) continue;
    SCOPED_TRACE(kLongTempCases[i].name);
    HWND main = started[i].running->MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitForChange(
        started[i].stub->folder, [&] { return DirectoryExists(temps[i] + "vornix_1\\"); }, 15000));
    CloseWindowAsUser(main);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kLongTempCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(kLongTempCases[i].fits ? 0u : 3u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
    if (!kLongTempCases[i].fits) {
      EXPECT_TRUE(FolderNames(temps[i]).empty());
      EXPECT_FALSE(FileExists(started[i].stub->marker));
    }
  }
}

TEST(StubTempFolder, TemporaryDirectoryWithoutTrailingBackslashGetsOne) {
  StubCase stub("temp without backslash");
  stub.WritePackage(ReadablePackage());
  const std::string temp = stub.temp_folder.substr(0, stub.temp_folder.size() - 1);
  RunningStub running(stub, StartWithFolders(stub, temp, stub.marker));
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(temp + "\\vornix_1\\marker.exe", ProgramSeen(stub.marker));
}

TEST(StubTempFolder, TwoCopiesStartedTogetherTakeOneFolderEach) {
  StubCase stub("two copies");
  stub.WritePackage(ReadablePackage());
  const std::string first_marker = stub.folder + "first.txt";
  const std::string second_marker = stub.folder + "second.txt";
  RunningStub first(stub, StartWithFolders(stub, stub.temp_folder, first_marker));
  RunningStub second(stub, StartWithFolders(stub, stub.temp_folder, second_marker));
  const StubRun first_run = first.Watch();
  const StubRun second_run = second.Watch();
  ASSERT_TRUE(first_run.exited);
  ASSERT_TRUE(second_run.exited);
  EXPECT_EQ(0u, first_run.exit_code);
  EXPECT_EQ(0u, second_run.exit_code);
  EXPECT_TRUE(first_run.boxes.empty());
  EXPECT_TRUE(second_run.boxes.empty());
  std::vector<std::string> programs = {ProgramSeen(first_marker), ProgramSeen(second_marker)};
  std::sort(programs.begin(), programs.end());
  EXPECT_EQ((std::vector<std::string>{stub.UnpackFolder(1) + "marker.exe", stub.UnpackFolder(2) + "marker.exe"}),
            programs);
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

// ---------------------------------------------------------------------------------------------
// The error box's modality, buttons and place on top.

// A package whose second entry is damaged: the first byte of its stream no longer names a method.
std::vector<uint8_t> PackageWithDamagedSecondEntry() {
  PackageBytes package(BuildPackage("Damaged", "Vornix tests", "", 0, 0,
                                    {{"first.txt", Bytes("first"), 0}, {"second.txt", Bytes("second"), 1}}));
  package.bytes.at(package.Stream(1)) ^= 0xFF;
  return package.bytes;
}

TEST(StubBoxes, ErrorBoxDisablesTheWindowWhileItShowsAndOffersOkAlone) {
  StubCase stub("error box");
  stub.WritePackage(PackageWithDamagedSecondEntry());
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(IsWindowEnabled(main));
  const MessageBoxSeen box = WaitForMessageBox(15000, running.Id());
  ASSERT_NE(nullptr, box.window);
  ExpectErrorBox(box, LookAtMessageBox(box.window), CreateFileText(stub.UnpackFolder(1) + "second.~~c"));
  EXPECT_FALSE(IsWindowEnabled(main)) << "the box is not task-modal";
  EXPECT_TRUE(BoxShowsIcon(box, IDI_HAND));
  AnswerMessageBox(box.window);
  EXPECT_TRUE(Eventually([&] { return !IsWindow(box.window) && IsWindowEnabled(main); }, 10000));
  EXPECT_EQ("first", Text(ReadWholeFile(stub.UnpackFolder(1) + "first.txt")));
  CloseWindowAsUser(main);
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
}

TEST(StubBoxes, ErrorBoxStaysOnTop) {
  if (!PlatformShowsTopmostBoxes()) GTEST_SKIP() << "this platform shows MB_TOPMOST boxes without WS_EX_TOPMOST";
  StubCase stub("error box on top");
  stub.WritePackage(BareStub());
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_NE(0, run.boxes[0].ex_style & WS_EX_TOPMOST);
}

}  // namespace
}  // namespace vornix

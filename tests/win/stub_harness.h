// Drives the real stub as a user meets it: a test builds a package with the package writer from the
// stub and payload programs that sit beside the test program, runs it with its own temporary
// directory, reads and answers every message box it shows, and waits for its exit code.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "tests/win/message_box.h"

namespace vornix {

// The folder of the running test program, ending in a backslash; the stub (vornix_stub.exe) and
// the payload programs are copied there by the build.
std::string TestProgramFolder();
std::vector<uint8_t> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data);
// A text as bytes, and bytes as a text.
std::vector<uint8_t> Bytes(const std::string& text);
std::string Text(const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Starts a Linux program through Wine's drive Z: in directory; Wine does not wait for it, nor
// tells when it ends: the caller waits for what it makes.
bool StartLinuxProgram(const char* program, std::string command_line, const std::string& directory);
// Deletes a folder with everything in it, links removed as themselves and never entered; missing
// is fine.
void DeleteTree(const std::string& path);
// The hidden file by which the stub marks its unpack folder as a run's while it runs.
constexpr const char* kRunMark = "vornix-run.~~c";
// The names in a folder, sorted, without "." and ".." and the run's mark.
std::vector<std::string> FolderNames(const std::string& folder);
// The names sorted as FolderNames sorts them, to compare with its result.
std::vector<std::string> Sorted(std::vector<std::string> names);

// The payload program, packed under a name that selects its part (see payload.cpp): "marker.exe"
// writes what it saw to the file named by VORNIX_TEST_MARKER and ends; "launcher.exe" starts
// second.exe from its own folder (or the program named by VORNIX_TEST_LAUNCH) and ends;
// "second.exe" waits until the event named by VORNIX_TEST_RELEASE is set, writes its marker
// (VORNIX_TEST_MARKER with ".second" appended) and ends.
std::vector<uint8_t> PayloadProgram();

// One packed file: its name, its bytes and the container method (0 LZH, 1 LZRW1/KH, 2 Advise).
struct StubFile {
  std::string name;
  std::vector<uint8_t> data;
  uint8_t method = 0;
};

// The header flag that has the stub run the entry at run_index once everything is unpacked.
constexpr uint8_t kRunAfterUnpack = 1;

// Builds a package the way the writer does, from the real stub; without checksums unless asked,
// in the layout of every package made before them. Names with folders, or folders, give the tree
// layout.
std::vector<uint8_t> BuildPackage(const std::string& title, const std::string& publisher, const std::string& note,
                                  uint32_t run_index, uint8_t flags, const std::vector<StubFile>& files,
                                  bool checksums = false, const std::vector<std::string>& folders = {});

// What one run of the stub did.
struct StubRun {
  bool exited = false;  // within the time limit
  DWORD exit_code = 0;
  std::vector<MessageBoxSeen> boxes;  // in the order they were shown; each was answered with OK
};

// One case's folders: "<TEMP>\vornix stub tests\<name>\" holds the package, and its "temp dir\"
// (a blank inside, as in "Documents and Settings") is the stub's temporary directory.
class StubCase {
 public:
  explicit StubCase(const std::string& name);
  ~StubCase();

  std::string folder;       // ends in a backslash
  std::string temp_folder;  // ends in a backslash
  std::string package;      // folder + "setup.exe"
  std::string marker;       // folder + "marker.txt": where the payload writes
  std::string arguments;    // put behind the package's quoted path on its command line, when given

  // The unpack folder "vornix_<n>\" inside temp_folder.
  std::string UnpackFolder(int n = 1) const;
  void WritePackage(const std::vector<uint8_t>& bytes) const { WriteWholeFile(package, bytes); }

  // Starts the package with TMP and TEMP set to temp_folder (and the payload's variables set).
  PROCESS_INFORMATION Start() const;
  // Answers every box until the process ends or limit_ms pass. on_box, when given, runs while each
  // box is still showing (before it is answered).
  StubRun Watch(const PROCESS_INFORMATION& process, DWORD limit_ms = 30000,
                const std::function<void(const MessageBoxSeen&)>& on_box = nullptr) const;
  // Start and Watch.
  StubRun Run(DWORD limit_ms = 30000, const std::function<void(const MessageBoxSeen&)>& on_box = nullptr) const;

  // The name of the event that second.exe waits for; set it to let second.exe end.
  std::string release_event;
  HANDLE release = nullptr;
};

// A started stub. A test that fails half-way ends it on the way out, so that no window or box of
// one case is left over for the next.
class RunningStub {
 public:
  RunningStub(const StubCase& stub, PROCESS_INFORMATION process);
  explicit RunningStub(const StubCase& stub) : RunningStub(stub, stub.Start()) {}
  ~RunningStub();
  RunningStub(const RunningStub&) = delete;
  RunningStub& operator=(const RunningStub&) = delete;

  DWORD Id() const { return process_.dwProcessId; }
  HANDLE Handle() const { return own_handle_; }
  // Waits up to 10 s for the main window; see WaitForMainWindow.
  HWND MainWindow() const;
  // Answers the boxes until the stub ends; see StubCase::Watch.
  StubRun Watch(DWORD limit_ms = 30000, const std::function<void(const MessageBoxSeen&)>& on_box = nullptr);

 private:
  const StubCase& stub_;
  PROCESS_INFORMATION process_;
  HANDLE own_handle_ = nullptr;  // still open after Watch closed process_'s handles
  bool watched_ = false;
};

// The stub's main window (class "TMainForm") of a process, waiting up to limit_ms for it to show.
HWND WaitForMainWindow(DWORD process, DWORD limit_ms);
// Closes a window as the user would with its close button.
void CloseWindowAsUser(HWND window);

// What a message box shows besides its texts, read while it is up: the ids of its visible buttons
// (IDOK...), and whether the main window of its process is disabled while it shows (a task-modal box).
// (Its icon cannot be told from another process: icon handles are the process's own.)
struct MessageBoxLooks {
  std::vector<int> buttons;
  bool main_window_disabled = false;
};
MessageBoxLooks LookAtMessageBox(HWND box);

// Starts the case's package as Start does, but with another temporary directory (given as TMP and
// TEMP, as it is: with or without its trailing backslash) and another marker path.
PROCESS_INFORMATION StartWithFolders(StubCase& stub, const std::string& temp_folder, const std::string& marker);

// Waits up to limit_ms for condition to hold, looking every 20 ms: windows coming and going and
// processes starting have no handle of their own to wait for.
bool Eventually(const std::function<bool()>& condition, DWORD limit_ms);

// Whether a process whose executable is called name (in any case) runs.
bool ProgramRunning(const char* name);
struct RunningProgram {
  DWORD pid;
  std::string path;
};
// The running processes whose executable is called name, with the full path of each; one whose
// path cannot be read is left out.
std::vector<RunningProgram> RunningPrograms(const char* name);

}  // namespace vornix

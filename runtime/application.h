// The application object of the stub: its title, the running executable's path, the message loop,
// the termination request and the terminated flag, the error box, and the process's exit code.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace vornix {

// The exit codes of the stub, for scripts that run a package. The first failure of a run decides;
// a run without failure ends with the program's own exit code, or Done when nothing ran.
enum class StubExit : int {
  Done = 0,               // every entry unpacked; the program (if any) ran and was cleaned up
  PackageUnreadable = 1,  // no package, a bad header or a bad version
  EntryFailed = 2,        // at least one entry could not be unpacked
  NoTempFolder = 3,       // the unpack folder could not be created
  ProgramNotStarted = 4,  // the program to run could not be started
  ClosedEarly = 5,        // the window was closed before the run was over
};

// MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST: the style of every error box.
constexpr UINT kErrorBoxStyle = MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST;

class TApplication {
 public:
  // Records the path of the running executable.
  void Initialize();
  // Shows main_window and dispatches messages until the quit message; only then is Terminated set.
  void Run(HWND main_window);
  // Requests termination: posts the quit message to the calling (main) thread's queue.
  void Terminate();
  // An error box with the title as caption; returns when it was closed.
  void ShowError(const std::string& text) const;
  // Records a failure; the first one recorded becomes the exit code.
  void Fail(StubExit failure);
  // Records the exit code of the program that ran to its end; it is the stub's unless a failure was
  // recorded.
  void ProgramEnded(uint32_t exit_code) { program_exit_ = exit_code; }
  int ExitCode() const { return exit_ != StubExit::Done ? static_cast<int>(exit_) : static_cast<int>(program_exit_); }

  std::string Title;
  std::string ExeName;
  // Set by the main thread when its loop takes the quit message; workers read it without a lock.
  std::atomic<bool> Terminated{false};

 private:
  StubExit exit_ = StubExit::Done;
  uint32_t program_exit_ = 0;
};

extern TApplication Application;

}  // namespace vornix

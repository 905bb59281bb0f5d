// TExeThread and ExecuteAndWait: run the unpacked program, wait for it and for whatever it started
// from the unpack folder, then remove the unpacked files.
#include <cstring>
#include <vector>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>  // both need windows.h before them

#include "package/entry_name.h"
#include "process/hprocess.h"
#include "runtime/application.h"
#include "unpack/program_start.h"
#include "unpack/unpack.h"

namespace vornix {
namespace {

// Starts program through the shell, with verb (nullptr: the file's default), in the unpack folder;
// returns its process, or nullptr when there is none to wait for.
HANDLE ShellStart(const char* verb, const std::string& program, const std::string& arguments, WORD show) {
  // The shell may hand the start to extensions that need COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOA start = {};
  start.cbSize = sizeof start;
  // No error box of the shell's: a start that fails shows the stub's could-not-execute box.
  start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  start.lpVerb = verb;
  start.lpFile = program.c_str();
  start.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
  start.lpDirectory = TempFolder;
  start.nShow = show;
  const BOOL started = ShellExecuteExA(&start);
  if (SUCCEEDED(com)) CoUninitialize();
  return started ? start.hProcess : nullptr;
}

// Starts the program: CreateProcess first, the shell where Windows refuses it as it stands.
HANDLE StartProgram(const std::string& program, const std::string& arguments, WORD show) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  // The path is the application name, so that Windows never tries a shorter path at a blank
  // ("C:\Documents.exe" for "C:\Documents and Settings\..."), and the quoted command line gives
  // the program the usual argv[0]. It starts in the unpack folder, beside its own files.
  const std::string line = ProgramCommandLine(program, arguments);
  std::vector<char> command_line(line.begin(), line.end());
  command_line.push_back('\0');
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                     CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, TempFolder, &startup, &process)) {
    CloseHandle(process.hThread);
    return process.hProcess;
  }
  switch (RoadAfterCreateProcess(GetLastError())) {
    case StartRoad::Elevate:
      return ShellStart("runas", program, arguments, show);
    case StartRoad::ShellOpen:
      return ShellStart(nullptr, program, arguments, show);
    case StartRoad::NotStarted:
      break;
  }
  return nullptr;
}

}  // namespace

TExeThread::TExeThread(bool CreateSuspended) : TQnThread(true) {
  FreeOnFinish = true;
  if (!CreateSuspended) ResumeThread(ThreadHandle);
}

void TExeThread::Execute() {
  ResultCode = 2;
  if (ExecuteAndWait(ThreadHandle, ExeName, Arguments, SW_SHOW, ProgramExitCode) == -1) {
    // The files stay, so that the user can look at what could not be run.
    RunInMainThread(TThreadCall::Bind<&TExeThread::ShowExecError>(this));
  } else {
    // Windows may hold a program's file for a moment after its process has ended (seen under Wine):
    // what is left is tried again, for at most two seconds, rather than left in the user's TEMP.
    for (int attempt = 0; attempt < 10 && !RemoveUnpacked(); ++attempt) {
      SleepQueue->SleepThread(ThreadHandle, 200);
    }
    ResultCode = 1;
  }
  RunInMainThread(TThreadCall::Bind<&TExeThread::CallOnDone>(this));
}

void TExeThread::ShowExecError() {
  Application.ShowError(package_messages::kExecuteStart + ExeName + package_messages::kExecuteEnd);
}

void TExeThread::CallOnDone() {
  if (OnDone) OnDone(ResultCode, ProgramExitCode);
}

int32_t ExecuteAndWait(HANDLE thread, const std::string& program, const std::string& arguments, WORD show,
                       DWORD& exit_code) {
  TStringList before;
  TStringList after;
  const std::string prefix = ProcessPathPrefix(TempFolder);
  const bool watch_available = ListProcesses(before);

  // Only a file inside the unpack folder is run: a refused entry path must not start a program
  // elsewhere.
  const size_t folder_length = std::strlen(TempFolder);
  if (program.compare(0, folder_length, TempFolder) != 0 || EntryPathProblem(program.substr(folder_length))) {
    return -1;
  }
  const HANDLE process = StartProgram(program, arguments, show);
  if (process == nullptr) return -1;
  WaitForSingleObject(process, INFINITE);
  if (!GetExitCodeProcess(process, &exit_code)) exit_code = 0;
  CloseHandle(process);

  if (!watch_available) {
    while (!Application.Terminated) SleepQueue->SleepThread(thread, 400);
    return 0;
  }
  for (;;) {
    const bool listed = ListProcesses(after);
    // Only processes that were not running before the start count.
    const bool started = listed && AnyRunsFrom(after, prefix, &before);
    SleepQueue->SleepThread(thread, 400);
    if ((listed && !started) || Application.Terminated) return 0;
  }
}

}  // namespace vornix

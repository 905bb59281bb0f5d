// TExeThread and ExecuteAndWait: run the unpacked program, wait for it and for whatever it started
// from the unpack folder, then remove the unpacked files.
#include <cstring>
#include <vector>

#include "app/application.h"
#include "package/entry_name.h"
#include "package/unpack.h"
#include "process/hprocess.h"

namespace vornix {
namespace {

// The unpack folder as ListProcesses reports executables on NT: short form, ASCII upper case.
std::string FolderPrefix() {
  char short_path[MAX_PATH + 1] = {};
  const DWORD length = GetShortPathNameA(TempFolder, short_path, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return std::string();
  std::string prefix(short_path, length);
  for (char& c : prefix) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return prefix;
}

// Processes whose executable lies in the folder and that were not running before the start.
int CountStartedFromFolder(const TStringList& after, const TStringList& before, const std::string& prefix) {
  int count = 0;
  if (prefix.empty()) return 0;  // the folder's short form is unknown: nothing can be matched
  for (int i = 0; i < after.Count(); ++i) {
    if (after[i].compare(0, prefix.size(), prefix) == 0 && before.IndexOf(after[i]) < 0) ++count;
  }
  return count;
}

}  // namespace

TExeThread::TExeThread(bool CreateSuspended) : TQnThread(true) {
  FreeOnFinish = true;
  if (!CreateSuspended) ResumeThread(ThreadHandle);
}

void TExeThread::Execute() {
  ResultCode = 2;
  if (ExecuteAndWait(ThreadHandle, ExeName, SW_SHOW) == -1) {
    // The files stay, so that the user can look at what could not be run.
    RunInMainThread(TThreadCall::Bind<&TExeThread::ShowExecError>(this));
  } else {
    RemoveUnpacked(FileList);
    ResultCode = 1;
  }
  RunInMainThread(TThreadCall::Bind<&TExeThread::CallOnDone>(this));
}

void TExeThread::ShowExecError() {
  Application.ShowError(package_messages::kExecuteStart + ExeName + package_messages::kExecuteEnd);
}

void TExeThread::CallOnDone() {
  if (OnDone) OnDone(ResultCode);
}

int32_t ExecuteAndWait(HANDLE thread, const std::string& program, WORD show) {
  TStringList before;
  TStringList after;
  const std::string prefix = FolderPrefix();
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  const bool watch_available = ListProcesses(before);

  // Only a file directly inside the unpack folder is run: a refused entry name must not start a
  // program elsewhere.
  const size_t folder_length = std::strlen(TempFolder);
  if (program.compare(0, folder_length, TempFolder) != 0 || EntryNameProblem(program.substr(folder_length))) {
    return -1;
  }
  // The path is the application name, so that Windows never tries a shorter path at a blank
  // ("C:\Documents.exe" for "C:\Documents and Settings\..."), and the quoted command line gives
  // the program the usual argv[0]. It starts in the unpack folder, beside its own files.
  std::string quoted = "\"" + program + "\"";
  std::vector<char> command_line(quoted.begin(), quoted.end());
  command_line.push_back('\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, TempFolder, &startup, &process)) {
    return -1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);

  if (!watch_available) {
    while (!Application.Terminated) SleepQueue->SleepThread(thread, 400);
    return 0;
  }
  for (;;) {
    const bool listed = ListProcesses(after);
    const int count = listed ? CountStartedFromFolder(after, before, prefix) : 0;
    SleepQueue->SleepThread(thread, 400);
    if ((listed && count == 0) || Application.Terminated) return 0;
  }
}

}  // namespace vornix

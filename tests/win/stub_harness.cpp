// The stub test harness.
#include "tests/win/stub_harness.h"

#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace vornix {
namespace {

// The test program's own temporary directory, taken before any case changes TMP and TEMP.
const std::string& OriginalTempFolder() {
  static const std::string folder = [] {
    char path[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, path);
    return std::string(path);
  }();
  return folder;
}

}  // namespace

std::string TestProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((pattern + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != ".." && name != kRunMark) names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// Wine removes no link as itself (it removes what the link leads to, or fails), so Linux's rm, started
// through Wine's drive Z:, removes the folder: it never follows a link. Wine does not wait for a
// Linux program, so the folder is watched until it has gone.
bool StartLinuxProgram(const char* program, std::string command_line, const std::string& directory) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void DeleteTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  const size_t slash = folder.find_last_of('\\');
  if (slash == std::string::npos || !DirectoryExists(folder)) return;
  if (!StartLinuxProgram("Z:\\bin\\rm", "rm -rf \"" + folder.substr(slash + 1) + "\"", folder.substr(0, slash))) return;
  for (int waited = 0; waited < 60000 && DirectoryExists(folder); waited += 20) Sleep(20);
}

std::vector<uint8_t> PayloadProgram() { return ReadWholeFile(TestProgramFolder() + "payload.exe"); }

std::vector<uint8_t> BuildPackage(const std::string& title, const std::string& publisher, const std::string& note,
                                  uint32_t run_index, uint8_t flags, const std::vector<StubFile>& files, bool checksums,
                                  const std::vector<std::string>& folders) {
  PackagePlan plan;
  plan.Folders = folders;
  plan.Checksums = checksums;
  plan.Stub = ReadWholeFile(TestProgramFolder() + "vornix_stub.exe");
  plan.Title = title;
  plan.Publisher = publisher;
  plan.Note = note;
  plan.RunIndex = run_index;
  plan.Flags = flags;
  std::vector<std::unique_ptr<TMemoryStream>> contents;
  for (const StubFile& file : files) {
    contents.push_back(std::make_unique<TMemoryStream>(file.data));
    PackageFile entry;
    entry.Name = file.name;
    entry.Content = contents.back().get();
    entry.Method = file.method;
    plan.Files.push_back(entry);
  }
  TMemoryStream output;
  vornix::WritePackage(plan, output);
  return output.Data();
}

StubCase::StubCase(const std::string& name) {
  const std::string root = OriginalTempFolder() + "vornix stub tests\\";
  CreateDirectoryA(root.c_str(), nullptr);
  folder = root + name + "\\";
  DeleteTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  temp_folder = folder + "temp dir\\";
  CreateDirectoryA(temp_folder.c_str(), nullptr);
  package = folder + "setup.exe";
  marker = folder + "marker.txt";
  release_event = "vornix_test_release_" + name;
  release = CreateEventA(nullptr, TRUE, FALSE, release_event.c_str());
}

StubCase::~StubCase() {
  SetEvent(release);
  CloseHandle(release);
}

std::string StubCase::UnpackFolder(int n) const { return temp_folder + "vornix_" + std::to_string(n) + "\\"; }

PROCESS_INFORMATION StubCase::Start() const {
  OriginalTempFolder();
  SetEnvironmentVariableA("TMP", temp_folder.c_str());
  SetEnvironmentVariableA("TEMP", temp_folder.c_str());
  SetEnvironmentVariableA("VORNIX_TEST_MARKER", marker.c_str());
  SetEnvironmentVariableA("VORNIX_TEST_RELEASE", release_event.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command_line = "\"" + package + "\"";
  if (!arguments.empty()) command_line += " " + arguments;
  CreateProcessA(package.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                 &process);
  SetEnvironmentVariableA("TMP", OriginalTempFolder().c_str());
  SetEnvironmentVariableA("TEMP", OriginalTempFolder().c_str());
  return process;
}

StubRun StubCase::Watch(const PROCESS_INFORMATION& process, DWORD limit_ms,
                        const std::function<void(const MessageBoxSeen&)>& on_box) const {
  StubRun run;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < limit_ms) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      run.exited = true;
      GetExitCodeProcess(process.hProcess, &run.exit_code);
      break;
    }
    MessageBoxSeen box = WaitForMessageBox(50, process.dwProcessId);
    if (box.window == nullptr) continue;
    if (on_box) on_box(box);
    run.boxes.push_back(box);
    AnswerMessageBox(box.window);
    // Wait for the box to go, so that it is not read twice.
    for (int i = 0; i < 200 && IsWindow(box.window) && IsWindowVisible(box.window); ++i) Sleep(10);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return run;
}

StubRun StubCase::Run(DWORD limit_ms, const std::function<void(const MessageBoxSeen&)>& on_box) const {
  return Watch(Start(), limit_ms, on_box);
}

RunningStub::RunningStub(const StubCase& stub, PROCESS_INFORMATION process) : stub_(stub), process_(process) {
  DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &own_handle_, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
}

RunningStub::~RunningStub() {
  if (!watched_) {
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  if (WaitForSingleObject(own_handle_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(own_handle_, 99);
    WaitForSingleObject(own_handle_, 5000);
  }
  CloseHandle(own_handle_);
}

HWND RunningStub::MainWindow() const { return WaitForMainWindow(process_.dwProcessId, 10000); }

StubRun RunningStub::Watch(DWORD limit_ms, const std::function<void(const MessageBoxSeen&)>& on_box) {
  watched_ = true;
  return stub_.Watch(process_, limit_ms, on_box);
}

HWND WaitForMainWindow(DWORD process, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  do {
    const HWND found = FindProcessWindow(process, "TMainForm", true);
    if (found != nullptr) return found;
    Sleep(20);
  } while (GetTickCount() - start < limit_ms);
  return nullptr;
}

void CloseWindowAsUser(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

namespace {

BOOL CALLBACK AddVisibleButton(HWND child, LPARAM ids_address) {
  char class_name[16] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  if (lstrcmpiA(class_name, "Button") == 0 && IsWindowVisible(child)) {
    reinterpret_cast<std::vector<int>*>(ids_address)->push_back(GetDlgCtrlID(child));
  }
  return TRUE;
}

}  // namespace

MessageBoxLooks LookAtMessageBox(HWND box) {
  MessageBoxLooks looks;
  EnumChildWindows(box, AddVisibleButton, reinterpret_cast<LPARAM>(&looks.buttons));
  DWORD process = 0;
  GetWindowThreadProcessId(box, &process);
  const HWND main = WaitForMainWindow(process, 0);
  looks.main_window_disabled = main != nullptr && !IsWindowEnabled(main);
  return looks;
}

PROCESS_INFORMATION StartWithFolders(StubCase& stub, const std::string& temp_folder, const std::string& marker) {
  const std::string own_temp_folder = stub.temp_folder;
  const std::string own_marker = stub.marker;
  stub.temp_folder = temp_folder;
  stub.marker = marker;
  const PROCESS_INFORMATION process = stub.Start();
  stub.temp_folder = own_temp_folder;
  stub.marker = own_marker;
  return process;
}

bool Eventually(const std::function<bool()>& condition, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= limit_ms) return false;
    Sleep(20);
  }
  return true;
}

namespace {

// Calls found with each running process whose executable is called name.
void ForEachProcessNamed(const char* name, const std::function<void(DWORD)>& found) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, name) == 0) found(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
}

}  // namespace

bool ProgramRunning(const char* name) {
  bool running = false;
  ForEachProcessNamed(name, [&](DWORD) { running = true; });
  return running;
}

std::vector<RunningProgram> RunningPrograms(const char* name) {
  std::vector<RunningProgram> found;
  ForEachProcessNamed(name, [&](DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return;
    char path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (QueryFullProcessImageNameA(process, 0, path, &length)) found.push_back({pid, path});
    CloseHandle(process);
  });
  return found;
}

}  // namespace vornix

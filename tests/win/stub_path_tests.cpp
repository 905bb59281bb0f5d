// Paths the ANSI code page cannot hold: a package saved in a folder named in Cyrillic, Greek and
// CJK characters, a temporary directory in such a folder, and both. The stub reaches them through
// their 8.3 short forms: it opens itself, unpacks, runs launcher.exe, waits for the second.exe that
// it started from the unpack folder, cleans up and exits 0. (Runs with LC_ALL=C.UTF-8, without
// which Wine cannot start a program from such a Unix path.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

const wchar_t kForeignName[] = L"Дмитрий Ωμέγα 出版";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string ShortForm(const std::wstring& path) {
  wchar_t short_path[MAX_PATH + 1] = {};
  const DWORD length = GetShortPathNameW(path.c_str(), short_path, MAX_PATH + 1);
  std::string ascii;
  for (DWORD i = 0; i < length; ++i) ascii += static_cast<char>(short_path[i] < 0x80 ? short_path[i] : '?');
  return ascii;
}

// Deletes folder (ending in a backslash) with everything in it; the harness's clean-up takes ANSI
// paths only.
void DeleteWideTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      DeleteWideTree(folder + name + L"\\");
    } else {
      DeleteFileW((folder + name).c_str());
    }
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryW(folder.c_str());
}

bool WideFolderEmpty(const std::wstring& folder) {
  WIN32_FIND_DATAW found = {};
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  bool empty = true;
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    empty = empty && (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0);
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return empty;
}

struct PathCase {
  const char* name;
  bool foreign_package;
  bool foreign_temp;
};

class StubPaths : public testing::TestWithParam<PathCase> {};

TEST_P(StubPaths, PackageUnpacksRunsWaitsAndCleansUp) {
  const PathCase& c = GetParam();
  StubCase stub(c.name);
  const std::wstring foreign = Wide(stub.folder) + kForeignName + L"\\";
  DeleteWideTree(foreign);
  ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
  const std::wstring package = (c.foreign_package ? foreign : Wide(stub.folder)) + L"setup.exe";
  const std::wstring temp = c.foreign_temp ? foreign + L"Temp\\" : Wide(stub.temp_folder);
  if (c.foreign_temp) {
    ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  }
  const std::vector<uint8_t> bytes = BuildPackage(
      "Paths", "Vornix tests", "", 0, kRunAfterUnpack,
      {{"launcher.exe", PayloadProgram(), 1}, {"second.exe", PayloadProgram(), 0}, {"notes.txt", Bytes("notes"), 1}},
      true);
  HANDLE file = CreateFileW(package.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);

  SetEnvironmentVariableW(L"TMP", temp.c_str());
  SetEnvironmentVariableW(L"TEMP", temp.c_str());
  SetEnvironmentVariableA("VORNIX_TEST_MARKER", stub.marker.c_str());
  SetEnvironmentVariableA("VORNIX_TEST_RELEASE", stub.release_event.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring command_line = L"\"" + package + L"\"";
  const BOOL started = CreateProcessW(package.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      Wide(stub.folder).c_str(), &startup, &process);
  SetEnvironmentVariableA("TMP", stub.temp_folder.c_str());
  SetEnvironmentVariableA("TEMP", stub.temp_folder.c_str());
  ASSERT_TRUE(started);

  // The unpack folder is the short form of vornix_1 in the temporary directory.
  const std::wstring unpack = temp + L"vornix_1\\";
  const bool second_waits = Eventually(
      [&] {
        const std::vector<RunningProgram> seconds = RunningPrograms("second.exe");
        return RunningPrograms("launcher.exe").empty() && seconds.size() == 1;
      },
      30000);
  EXPECT_TRUE(second_waits) << "launcher.exe did not end, or second.exe did not start";
  // A temporary directory the code page holds is taken as it is; another by its short form.
  const std::string unpack_short = c.foreign_temp ? ShortForm(temp) + "vornix_1\\" : stub.temp_folder + "vornix_1\\";
  EXPECT_EQ(std::string::npos, unpack_short.find('?')) << unpack_short;
  Sleep(2500);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process.hProcess, 0)) << "the stub did not wait";
  EXPECT_FALSE(FileExists(stub.marker + ".second"));

  SetEvent(stub.release);
  const StubRun run = stub.Watch(process);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty()) << run.boxes[0].text;
  // second.exe ran to its end, in the unpack folder the stub made its launcher's working directory.
  // (Its own path it reads with the ANSI call, which has "?" for what the code page cannot hold:
  // Wine names a started program by its long path.)
  const std::string seen = Text(ReadWholeFile(stub.marker + ".second"));
  const size_t last_line = seen.rfind('\n', seen.size() - 2) + 1;
  EXPECT_EQ(unpack_short.substr(0, unpack_short.size() - 1) + "\n", seen.substr(last_line));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(unpack.c_str())) << "the unpack folder is left";
  EXPECT_TRUE(WideFolderEmpty(temp));
  DeleteWideTree(foreign);
}

INSTANTIATE_TEST_SUITE_P(ForeignFolders, StubPaths,
                         testing::Values(PathCase{"foreign package", true, false},
                                         PathCase{"foreign temp", false, true}, PathCase{"foreign both", true, true}),
                         [](const testing::TestParamInfo<PathCase>& info) {
                           return std::string(info.param.foreign_package ? "Package" : "") +
                                  (info.param.foreign_temp ? "Temp" : "");
                         });

}  // namespace
}  // namespace vornix

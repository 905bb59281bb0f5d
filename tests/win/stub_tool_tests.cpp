// The Windows vornix program and the real stub together: a package that vornix.exe builds from files
// on disk runs as the user starts it, and a refused pack leaves nothing behind. vornix.exe takes its
// arguments as UTF-16, so the tool is started with the wide API and a name outside ASCII reaches it
// intact whatever the test program's own code page is.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// The package holds names in code page 1252, and the stub unpacks them with the ANSI API: the name
// comes back intact where that is the ANSI code page, as under Wine here.
const wchar_t kDataName[] = L"Gr\u00FC\u00DFe.txt";
constexpr size_t kStubSize = 339968;

std::wstring Wide(const std::string& ansi) {
  const int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &wide[0], length);
  wide.resize(wide.size() - 1);
  return wide;
}

std::vector<uint8_t> ReadWideFile(const std::wstring& path) {
  std::vector<uint8_t> data;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return data;
  uint8_t buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    data.insert(data.end(), buffer, buffer + read);
  }
  CloseHandle(file);
  return data;
}

void WriteWideFile(const std::wstring& path, const std::vector<uint8_t>& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(data.size(), written);
}

// Lines of text, some KB of them, for a data file that compresses.
std::vector<uint8_t> DataText() {
  std::string text;
  for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + " of the data file, with its own bytes\r\n";
  return Bytes(text);
}

struct ToolRun {
  bool exited = false;
  DWORD exit_code = 0;
  std::string output;  // what the tool wrote to stdout
  std::string errors;  // and to stderr
};

HANDLE InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// Runs vornix.exe from beside the test program with the given arguments; its output goes through
// files in capture_folder, which are removed again.
ToolRun RunTool(const std::wstring& arguments, const std::string& capture_folder) {
  const std::string output_path = capture_folder + "tool stdout.txt";
  const std::string errors_path = capture_folder + "tool stderr.txt";
  ToolRun run;
  HANDLE output = InheritableFile(output_path);
  HANDLE errors = InheritableFile(errors_path);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = errors;
  const std::wstring tool = Wide(TestProgramFolder() + "vornix.exe");
  std::wstring command_line = L"\"" + tool + L"\" " + arguments;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(tool.c_str(), &command_line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(output);
  CloseHandle(errors);
  if (started) {
    run.exited = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!run.exited) TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  run.output = Text(ReadWholeFile(output_path));
  run.errors = Text(ReadWholeFile(errors_path));
  DeleteFileA(output_path.c_str());
  DeleteFileA(errors_path.c_str());
  return run;
}

std::wstring Quoted(const std::string& path) { return L"\"" + Wide(path) + L"\""; }

// The case's inputs: the payload as second.exe, which waits for the case's release event, so that
// the unpacked files can be looked at while the program runs; and the data file.
class ToolCase : public StubCase {
 public:
  explicit ToolCase(const std::string& name) : StubCase(name), inputs(folder + "inputs\\") {
    CreateDirectoryA(inputs.c_str(), nullptr);
    WriteWholeFile(inputs + "second.exe", PayloadProgram());
    WriteWideFile(Wide(inputs) + kDataName, data);
  }

  // The stub of this build's own bitness, the one copied beside the test programs.
  std::wstring PackArguments(const std::string& run) const {
    return L"pack -o " + Quoted(package) + (sizeof(void*) == 8 ? L" --arch x64" : L" --arch x86") +
           L" --title \"Tool package\" --publisher \"Vornix tests\" --note \"Built by vornix.exe\" --run " + Wide(run) +
           L" " + Quoted(inputs + "second.exe") + L" \"" + Wide(inputs) + kDataName + L"\"";
  }

  const std::string inputs;
  const std::vector<uint8_t> data = DataText();
};

TEST(StubTool, PackageBuiltByTheToolRunsTheProgramWithTheFilesUnpacked) {
  ToolCase stub("tool package");
  const ToolRun pack = RunTool(stub.PackArguments("SECOND.EXE"), stub.inputs);
  ASSERT_TRUE(pack.exited);
  ASSERT_EQ(0u, pack.exit_code) << pack.errors;
  EXPECT_EQ("", pack.errors);
  const std::string summary = stub.package + ": 2 files, ";
  EXPECT_EQ(summary, pack.output.substr(0, summary.size()));

  const std::vector<uint8_t> package = ReadWholeFile(stub.package);
  const std::vector<uint8_t> carried = ReadWholeFile(TestProgramFolder() + "vornix_stub.exe");
  ASSERT_EQ(kStubSize, carried.size());
  ASSERT_GT(package.size(), kStubSize);
  // The sections before the resources, which vornix rewrites with the package's texts, are the stub's.
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      &carried[reinterpret_cast<const IMAGE_DOS_HEADER*>(carried.data())->e_lfanew]);
  const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* resources =
      std::find_if(sections, sections + nt->FileHeader.NumberOfSections,
                   [](const IMAGE_SECTION_HEADER& s) { return s.Name[1] == 'r' && s.Name[2] == 's'; });
  ASSERT_NE(sections + nt->FileHeader.NumberOfSections, resources);
  const size_t code_start = nt->OptionalHeader.SizeOfHeaders;
  EXPECT_TRUE(std::equal(carried.begin() + code_start, carried.begin() + resources->PointerToRawData,
                         package.begin() + code_start))
      << "the package starts with another stub";

  RunningStub running(stub);
  const std::string unpacked = stub.UnpackFolder(1);
  const bool program_waits = Eventually(
      [&] {
        const std::vector<RunningProgram> seconds = RunningPrograms("second.exe");
        return seconds.size() == 1 && seconds[0].path == unpacked + "second.exe";
      },
      30000);
  ASSERT_TRUE(program_waits) << "second.exe did not start from the unpack folder";
  EXPECT_EQ(PayloadProgram(), ReadWholeFile(unpacked + "second.exe"));
  EXPECT_EQ(stub.data, ReadWideFile(Wide(unpacked) + kDataName));
  EXPECT_EQ(2u, FolderNames(unpacked).size());

  SetEvent(stub.release);
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(PayloadSaw(unpacked + "second.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker + ".second")));
  EXPECT_FALSE(DirectoryExists(unpacked));
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

TEST(StubTool, RunNamingNoPackedFileIsRefusedAndWritesNothing) {
  ToolCase stub("tool refused");
  const ToolRun pack = RunTool(stub.PackArguments("nothing.exe"), stub.inputs);
  ASSERT_TRUE(pack.exited);
  EXPECT_EQ(1u, pack.exit_code);
  // stderr is in text mode: a Windows line break.
  EXPECT_EQ("vornix: --run: \"nothing.exe\" names none of the packed files\r\n", pack.errors);
  EXPECT_EQ("", pack.output);
  EXPECT_EQ(Sorted({"inputs", "temp dir"}), FolderNames(stub.folder));
}

// Everything in a folder whose name the ANSI code page cannot hold: vornix.exe takes its arguments
// and names in UTF-16, so it packs that folder's tree, subfolders and an empty one too, and lists,
// verifies and extracts there.
TEST(StubTool, PacksListsVerifiesAndExtractsTreesInFoldersTheCodePageCannotHold) {
  ToolCase stub("tool foreign folders");
  const std::wstring folder = Wide(stub.folder) + L"Дмитрий Ωμέγα 出版\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((folder + L"in").c_str(), nullptr));
  WriteWideFile(folder + L"in\\readme.txt", stub.data);
  WriteWideFile(folder + L"in\\Grüße.txt", Bytes("Grüße\r\n"));
  for (const wchar_t* sub : {L"in\\lib", L"in\\lib\\x64", L"in\\empty"})
    CreateDirectoryW((folder + sub).c_str(), nullptr);
  WriteWideFile(folder + L"in\\lib\\x64\\core.dll", Bytes("core"));
  const std::wstring package = L"\"" + folder + L"setup.exe\"";
  const ToolRun pack =
      RunTool(L"pack --quiet -o " + package + L" --title T --publisher P --note N \"" + folder + L"in\"", stub.inputs);
  ASSERT_EQ(0u, pack.exit_code) << pack.errors;
  for (const wchar_t* command : {L"list ", L"verify "}) {
    const ToolRun run = RunTool(command + package, stub.inputs);
    EXPECT_EQ(0u, run.exit_code) << run.errors;
  }
  const ToolRun extract = RunTool(L"extract " + package + L" -d \"" + folder + L"out\"", stub.inputs);
  ASSERT_EQ(0u, extract.exit_code) << extract.errors;
  EXPECT_EQ(stub.data, ReadWideFile(folder + L"out\\readme.txt"));
  EXPECT_EQ(Bytes("Grüße\r\n"), ReadWideFile(folder + L"out\\Grüße.txt"));
  EXPECT_EQ(Bytes("core"), ReadWideFile(folder + L"out\\lib\\x64\\core.dll"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((folder + L"out\\empty").c_str()));
  for (const wchar_t* side : {L"out\\", L"in\\"}) {
    for (const wchar_t* name : {L"readme.txt", L"Grüße.txt", L"lib\\x64\\core.dll"}) {
      DeleteFileW((folder + side + name).c_str());
    }
    for (const wchar_t* name : {L"lib\\x64", L"lib", L"empty", L""}) RemoveDirectoryW((folder + side + name).c_str());
  }
  DeleteFileW((folder + L"setup.exe").c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace vornix

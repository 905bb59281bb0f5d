// stub_bench: how fast the real stub unpacks a large package, set beside the container's own decode
// speed in the same process, and how much processor time the stub takes while the unpacked program
// runs. The stub (vornix_stub.exe) and the payload (stub_payload.exe) sit beside this program; the
// corpus file is the first argument, the number of runs per figure the second (default 3).
// bench/stub_bench.sh builds it and runs it under Wine. With --packages RUNS PACKAGE..., it runs
// packages made elsewhere instead (each one's program being stub_payload.exe), for the time the stub
// takes to unpack them and to remove what it unpacked (bench/tree_bench.sh).
#include <windows.h>

#include <tlhelp32.h>  // needs windows.h before it

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compression/lzrw1.h"
#include "package/package_layout.h"
#include "package/package_writer.h"
#include "runtime/stream.h"

namespace {

using vornix::Exception;
using vornix::TFileStream;
using vornix::TMemoryStream;

constexpr int kSplitPieces = 253;  // with the payload, 254 entries
constexpr DWORD kSleepMs = 10000;
constexpr DWORD kFolderLimitMs = 30000;
constexpr DWORD kStartLimitMs = 120000;
constexpr DWORD kExitLimitMs = 60000;

// ---- time and processor time ----

int64_t Now() {
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return count.QuadPart;
}

double Seconds(int64_t from, int64_t to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to - from) / static_cast<double>(frequency.QuadPart);
}

struct CpuTimes {
  double user = 0;  // seconds
  double kernel = 0;
};

CpuTimes operator-(CpuTimes a, CpuTimes b) { return {a.user - b.user, a.kernel - b.kernel}; }

// ---- handles and files ----

// Owns a kernel object's handle, or a change notification's (which has its own closer).
class HandleOwner {
 public:
  explicit HandleOwner(HANDLE handle = nullptr, bool notification = false)
      : handle_(handle), notification_(notification) {}
  HandleOwner(HandleOwner&& other) noexcept : handle_(other.handle_), notification_(other.notification_) {
    other.handle_ = nullptr;
  }
  HandleOwner& operator=(HandleOwner&& other) noexcept {
    std::swap(handle_, other.handle_);
    std::swap(notification_, other.notification_);
    return *this;
  }
  HandleOwner(const HandleOwner&) = delete;
  HandleOwner& operator=(const HandleOwner&) = delete;
  ~HandleOwner() {
    if (!Valid()) return;
    if (notification_) {
      FindCloseChangeNotification(handle_);
    } else {
      CloseHandle(handle_);
    }
  }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
  bool notification_;
};

double Seconds(FILETIME time) {
  return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
}

// A process's processor time as the sum over its running threads. Wine's GetProcessTimes answers
// for the calling process whatever handle it is given; its GetThreadTimes reads each thread's own
// count from Linux. Threads that have ended are missed, so this is sampled while the stub runs.
CpuTimes ProcessCpu(DWORD process_id) {
  HandleOwner snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot.Valid()) throw Exception("CreateToolhelp32Snapshot failed");
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  CpuTimes sum;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID != process_id) continue;
    HandleOwner thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
    FILETIME created, exited, kernel, user;
    if (!thread.Valid() || !GetThreadTimes(thread.Get(), &created, &exited, &kernel, &user)) continue;
    sum.user += Seconds(user);
    sum.kernel += Seconds(kernel);
  }
  return sum;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  const int64_t size = file.Size();
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (size > 0 && file.Read(data.data(), static_cast<int32_t>(size)) != size) throw Exception("Cannot read " + path);
  return data;
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Deletes a folder (path ends in a backslash) with everything in it; missing is fine.
void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteTree(folder + name + "\\");
      } else {
        DeleteFileA((folder + name).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string own = path;
  return own.substr(0, own.find_last_of('\\') + 1);
}

// ---- the packages ----

struct Piece {
  std::string name;
  size_t offset = 0;
  size_t size = 0;
};

// Where an entry's compressed stream lies in the package file.
struct EntryStream {
  std::string name;
  int64_t start = 0;
  int32_t length = 0;
};

struct Package {
  std::string label;
  uint8_t method = 0;
  std::vector<Piece> pieces;  // of the corpus; the payload is packed behind them, last
  std::string path;
  int64_t bytes = 0;
  double build_seconds = 0;
  std::vector<EntryStream> entries;
  bool checksums = true;  // the integrity record, which the stub checks as it unpacks
};

const char* MethodName(uint8_t method) { return method == 0 ? "LZH" : "LZRW1/KH"; }

std::vector<Piece> Pieces(size_t corpus_size, int count, const char* single_name) {
  if (count == 0) return {};
  if (count == 1) return {{single_name, 0, corpus_size}};
  std::vector<Piece> pieces;
  const size_t step = (corpus_size + count - 1) / count;
  for (int i = 0; i < count && static_cast<size_t>(i) * step < corpus_size; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "part%03d.dat", i);
    const size_t offset = static_cast<size_t>(i) * step;
    pieces.push_back({name, offset, std::min(step, corpus_size - offset)});
  }
  return pieces;
}

// Reads the entry table back the way the stub does, to find each entry's compressed stream.
std::vector<EntryStream> ReadEntries(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  auto header = std::make_unique<vornix::TPackageHeader>();
  vornix::ReadPackageHeader(*header, file);
  vornix::ReadEntryTable(*header, file);
  const int64_t size = file.Size();
  std::vector<EntryStream> entries;
  for (int i = 0; i < header->FileCount; ++i) {
    const vornix::TPackageEntry& entry = header->Entries[i];
    file.Seek(entry.Offset, vornix::SeekOrigin::Beginning);
    EntryStream stream;
    stream.name = vornix::ReadEntryName(file);
    stream.start = file.Position();
    stream.length = vornix::EntryStreamLength(entry, stream.start, size);
    entries.push_back(stream);
  }
  return entries;
}

void BuildPackage(Package& package, const std::vector<uint8_t>& corpus, const std::vector<uint8_t>& stub,
                  const std::vector<uint8_t>& payload) {
  vornix::PackagePlan plan;
  plan.Stub = stub;
  plan.Title = "stub_bench " + package.label;
  plan.Publisher = "vornix";
  std::vector<std::unique_ptr<TMemoryStream>> contents;
  for (const Piece& piece : package.pieces) {
    contents.push_back(std::make_unique<TMemoryStream>(
        std::vector<uint8_t>(corpus.begin() + piece.offset, corpus.begin() + piece.offset + piece.size)));
    plan.Files.push_back({piece.name, contents.back().get(), package.method});
  }
  contents.push_back(std::make_unique<TMemoryStream>(payload));
  plan.Files.push_back({"payload.exe", contents.back().get(), package.method});
  plan.RunIndex = static_cast<uint8_t>(plan.Files.size() - 1);
  plan.Flags = vornix::RunAfterUnpack;
  plan.Checksums = package.checksums;
  const int64_t start = Now();
  {
    TFileStream output(package.path, TFileStream::Mode::Create);
    vornix::WritePackage(plan, output);
    package.bytes = output.Size();
  }
  package.build_seconds = Seconds(start, Now());
  package.entries = ReadEntries(package.path);
}

// ---- decoding in this process ----

void Decompress(vornix::TStream& input, vornix::TStream& output) {
  vornix::Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &input;
  container.OutputStream = &output;
  container.Decompress();
}

// The corpus entries decoded from memory into memory: only the containers' work is timed (the
// stub too makes one container per entry). The output's pages are touched before: a fresh block
// of tens of megabytes costs more in page faults under Wine than LZRW1/KH takes to decode it.
double DecodeInMemory(const Package& package, const std::vector<uint8_t>& corpus) {
  const std::vector<uint8_t> bytes = ReadWholeFile(package.path);
  double seconds = 0;
  for (size_t i = 0; i < package.pieces.size(); ++i) {
    const EntryStream& entry = package.entries[i];
    const Piece& piece = package.pieces[i];
    TMemoryStream input(std::vector<uint8_t>(bytes.begin() + entry.start, bytes.begin() + entry.start + entry.length));
    TMemoryStream output(std::vector<uint8_t>(piece.size, 0xA5));
    const int64_t start = Now();
    Decompress(input, output);
    seconds += Seconds(start, Now());
    if (output.Position() != static_cast<int64_t>(piece.size) ||
        std::memcmp(output.Data().data(), corpus.data() + piece.offset, piece.size) != 0) {
      throw Exception("decoding " + entry.name + " gave other bytes than the corpus");
    }
  }
  return seconds;
}

struct FileTimes {
  double copy = 0;    // package -> scratch file
  double decode = 0;  // scratch file -> target file
  double total = 0;   // everything, file creation, closing and the scratch files' deletion included
};

// The stub's steps for the corpus entries, done here: copy each compressed stream through a 64 KiB
// buffer into "<name>.~~c", decode that file into the target, delete the scratch file.
FileTimes DecodeThroughFiles(const Package& package, const std::string& folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  FileTimes times;
  const int64_t all = Now();
  {
    TFileStream source(package.path, TFileStream::Mode::OpenReadShared);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[64 * 1024]);
    for (size_t i = 0; i < package.pieces.size(); ++i) {
      const EntryStream& entry = package.entries[i];
      const std::string scratch_path = folder + entry.name.substr(0, entry.name.rfind('.')) + ".~~c";
      {
        TFileStream scratch(scratch_path, TFileStream::Mode::Create);
        TFileStream target(folder + entry.name, TFileStream::Mode::Create);
        const int64_t start = Now();
        source.Seek(entry.start, vornix::SeekOrigin::Beginning);
        for (int32_t left = entry.length; left > 0;) {
          const int32_t step = std::min<int32_t>(left, 64 * 1024);
          if (source.Read(buffer.get(), step) != step || scratch.Write(buffer.get(), step) != step) {
            throw Exception("copying " + entry.name + " failed");
          }
          left -= step;
        }
        const int64_t copied = Now();
        scratch.Seek(0, vornix::SeekOrigin::Beginning);
        Decompress(scratch, target);
        times.copy += Seconds(start, copied);
        times.decode += Seconds(copied, Now());
      }
      DeleteFileA(scratch_path.c_str());
    }
  }
  times.total = Seconds(all, Now());
  DeleteTree(folder);
  return times;
}

// ---- running the stub ----

struct Folders {
  std::string work;          // the packages
  std::string temp;          // the stub's TMP and TEMP
  std::string started_file;  // the payload's start time
};

struct StubRun {
  DWORD exit_code = 0;
  double to_folder = 0;       // stub process created -> unpack folder appears (the timer fired)
  double unpack = 0;          // unpack folder appears -> the payload's first instruction
  CpuTimes cpu_unpack;        // the stub's processor time from the folder's appearance to the payload's start
  double payload_wall = 0;    // payload start -> payload about to end
  CpuTimes cpu_payload;       // the stub's, meanwhile
  double folder_removed = 0;  // payload about to end -> the stub removed the unpack folder
  double after_payload = 0;   // payload about to end -> stub exited
};

class StubRunner {
 public:
  explicit StubRunner(Folders folders) : folders_(std::move(folders)) {
    const std::string id = std::to_string(GetCurrentProcessId());
    const std::string started_name = "vornix_stub_bench_started_" + id;
    const std::string ending_name = "vornix_stub_bench_ending_" + id;
    started_ = HandleOwner(CreateEventA(nullptr, TRUE, FALSE, started_name.c_str()));
    ending_ = HandleOwner(CreateEventA(nullptr, TRUE, FALSE, ending_name.c_str()));
    if (!started_.Valid() || !ending_.Valid()) throw Exception("CreateEvent failed");
    // The stub passes its environment on to the payload.
    SetEnvironmentVariableA("VORNIX_BENCH_STARTED_FILE", folders_.started_file.c_str());
    SetEnvironmentVariableA("VORNIX_BENCH_STARTED_EVENT", started_name.c_str());
    SetEnvironmentVariableA("VORNIX_BENCH_ENDING_EVENT", ending_name.c_str());
    SetEnvironmentVariableA("TMP", folders_.temp.c_str());
    SetEnvironmentVariableA("TEMP", folders_.temp.c_str());
  }

  StubRun Run(const std::string& package_path, DWORD sleep_ms) {
    DeleteTree(folders_.temp);
    CreateDirectoryA(folders_.temp.c_str(), nullptr);
    DeleteFileA(folders_.started_file.c_str());
    ResetEvent(started_.Get());
    ResetEvent(ending_.Get());
    SetEnvironmentVariableA("VORNIX_BENCH_SLEEP_MS", sleep_ms != 0 ? std::to_string(sleep_ms).c_str() : nullptr);
    // Watching before the start: the stub's first step in its timer handler creates the folder.
    HandleOwner watch(FindFirstChangeNotificationA(folders_.temp.c_str(), FALSE, FILE_NOTIFY_CHANGE_DIR_NAME), true);
    if (!watch.Valid()) throw Exception("FindFirstChangeNotification failed on " + folders_.temp);

    std::string command_line = "\"" + package_path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const int64_t created = Now();
    if (!CreateProcessA(package_path.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folders_.work.c_str(), &startup, &info)) {
      throw Exception("Cannot start " + package_path);
    }
    CloseHandle(info.hThread);
    process_ = HandleOwner(info.hProcess);
    process_id_ = info.dwProcessId;

    StubRun run;
    const std::string unpack_folder = folders_.temp + "vornix_1";
    int64_t folder_seen = 0;
    do {
      if (folder_seen != 0) FindNextChangeNotification(watch.Get());
      WaitOrFail(watch.Get(), kFolderLimitMs, "the unpack folder to appear");
      folder_seen = Now();
    } while (!IsDirectory(unpack_folder));
    run.to_folder = Seconds(created, folder_seen);
    const CpuTimes cpu_at_folder = ProcessCpu(process_id_);

    WaitOrFail(started_.Get(), kStartLimitMs, "the payload to start");
    const CpuTimes cpu_at_start = ProcessCpu(process_id_);
    run.cpu_unpack = cpu_at_start - cpu_at_folder;
    const std::vector<uint8_t> text = ReadWholeFile(folders_.started_file);
    const int64_t payload_started = std::strtoll(std::string(text.begin(), text.end()).c_str(), nullptr, 10);
    if (payload_started <= 0) throw Exception("the payload wrote no start time");
    run.unpack = Seconds(folder_seen, payload_started);

    WaitOrFail(ending_.Get(), kSleepMs + kStartLimitMs, "the payload to end");
    const int64_t ending = Now();
    const CpuTimes cpu_at_end = ProcessCpu(process_id_);
    run.payload_wall = Seconds(payload_started, ending);
    run.cpu_payload = cpu_at_end - cpu_at_start;

    // The stub removes the folder once the payload, and whatever it started from there, has ended. A
    // notification missed between two waits costs at most kRecheckMs.
    constexpr DWORD kRecheckMs = 50;
    for (DWORD waited = 0; IsDirectory(unpack_folder); waited += kRecheckMs) {
      if (waited > kExitLimitMs) Abandon("the stub to remove the unpack folder");
      FindNextChangeNotification(watch.Get());
      HANDLE objects[] = {watch.Get(), process_.Get()};
      if (WaitForMultipleObjects(2, objects, FALSE, kRecheckMs) == WAIT_OBJECT_0 + 1) break;
    }
    run.folder_removed = Seconds(ending, Now());
    if (WaitForSingleObject(process_.Get(), kExitLimitMs) != WAIT_OBJECT_0) Abandon("the stub to exit");
    run.after_payload = Seconds(ending, Now());
    GetExitCodeProcess(process_.Get(), &run.exit_code);
    process_ = HandleOwner();
    if (run.exit_code != 0) throw Exception("the stub ended with exit code " + std::to_string(run.exit_code));
    if (IsDirectory(unpack_folder)) throw Exception("the stub left " + unpack_folder + " behind");
    return run;
  }

 private:
  // Waits for the object while the stub runs; the stub ending first or the limit passing fails.
  void WaitOrFail(HANDLE object, DWORD limit_ms, const char* what) {
    HANDLE objects[] = {object, process_.Get()};
    const DWORD result = WaitForMultipleObjects(2, objects, FALSE, limit_ms);
    if (result == WAIT_OBJECT_0) return;
    if (result == WAIT_OBJECT_0 + 1) {
      DWORD code = 0;
      GetExitCodeProcess(process_.Get(), &code);
      throw Exception(std::string("the stub ended (exit code ") + std::to_string(code) + ") before " + what);
    }
    Abandon(what);
  }

  [[noreturn]] void Abandon(const char* what) {
    TerminateProcess(process_.Get(), 99);  // our own child only, stuck on a message box or a wait
    throw Exception(std::string("timed out waiting for ") + what);
  }

  Folders folders_;
  HandleOwner started_;
  HandleOwner ending_;
  HandleOwner process_;
  DWORD process_id_ = 0;
};

// ---- the report ----

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// "median (min-max)" of MB/s figures computed from the times.
std::string Rate(double megabytes, const std::vector<double>& seconds) {
  const double fastest = *std::min_element(seconds.begin(), seconds.end());
  const double slowest = *std::max_element(seconds.begin(), seconds.end());
  char text[64];
  std::snprintf(text, sizeof text, "%6.1f (%.1f-%.1f)", megabytes / Median(seconds), megabytes / slowest,
                megabytes / fastest);
  return text;
}

struct Figures {
  std::vector<double> memory;
  std::vector<FileTimes> files;
  std::vector<StubRun> stub;
};

template <typename T, typename F>
std::vector<double> Each(const std::vector<T>& items, F field) {
  std::vector<double> values;
  for (const T& item : items) values.push_back(field(item));
  return values;
}

Folders WorkFolders() {
  Folders folders;
  folders.work = ProgramFolder() + "stub_bench_work\\";
  folders.temp = folders.work + "temp\\";
  folders.started_file = folders.work + "payload_started.txt";
  DeleteTree(folders.work);
  CreateDirectoryA(folders.work.c_str(), nullptr);
  return folders;
}

// The given packages, each run `runs` times: the median unpack and clean-up times.
int RunPackages(int runs, int count, char** paths) {
  const Folders folders = WorkFolders();
  StubRunner runner(folders);
  std::printf("%-40s %12s | %9s %10s %9s   (seconds, median of %d runs)\n", "package", "bytes", "unpack", "end->rmdir",
              "end->exit", runs);
  for (int i = 0; i < count; ++i) {
    std::vector<StubRun> stub;
    for (int r = 0; r < runs; ++r) stub.push_back(runner.Run(paths[i], 0));
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(paths[i], GetFileExInfoStandard, &data);
    const unsigned long long bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    std::printf("%-40s %12llu | %9.3f %10.3f %9.3f\n", paths[i], bytes,
                Median(Each(stub, [](const StubRun& run) { return run.unpack; })),
                Median(Each(stub, [](const StubRun& run) { return run.folder_removed; })),
                Median(Each(stub, [](const StubRun& run) { return run.after_payload; })));
  }
  DeleteTree(folders.work);
  return 0;
}

int Main(int argc, char** argv) {
  if (argc > 3 && std::strcmp(argv[1], "--packages") == 0)
    return RunPackages(std::max(1, std::atoi(argv[2])), argc - 3, argv + 3);
  if (argc < 2) {
    std::fprintf(stderr, "usage: stub_bench CORPUS_FILE [RUNS]\n       stub_bench --packages RUNS PACKAGE...\n");
    return 2;
  }
  const std::string corpus_path = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string here = ProgramFolder();
  const Folders folders = WorkFolders();

  const std::vector<uint8_t> corpus = ReadWholeFile(corpus_path);
  const std::vector<uint8_t> stub = ReadWholeFile(here + "vornix_stub.exe");
  const std::vector<uint8_t> payload = ReadWholeFile(here + "stub_payload.exe");
  const double corpus_mb = static_cast<double>(corpus.size()) / 1e6;

  std::vector<Package> packages;
  packages.push_back({"payload only", 1, {}, "", 0, 0, {}});
  for (uint8_t method : {0, 1}) {
    packages.push_back({"1 entry", method, Pieces(corpus.size(), 1, "corpus.cat"), "", 0, 0, {}});
    // The same without the checksums, for their cost.
    packages.push_back(packages.back());
    packages.back().label = "1, no sums";
    packages.back().checksums = false;
    packages.push_back({std::to_string(kSplitPieces) + " entries",
                        method,
                        Pieces(corpus.size(), kSplitPieces, nullptr),
                        "",
                        0,
                        0,
                        {}});
  }
  for (size_t i = 0; i < packages.size(); ++i) {
    packages[i].path = folders.work + "package" + std::to_string(i) + ".exe";
    std::fprintf(stderr, "building %s, %s...\n", packages[i].label.c_str(), MethodName(packages[i].method));
    BuildPackage(packages[i], corpus, stub, payload);
  }

  // The sum over threads against Wine's own answer for this process, which it gets right.
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const CpuTimes own = ProcessCpu(GetCurrentProcessId());

  StubRunner runner(folders);
  std::fprintf(stderr, "warming up: one stub run, not counted...\n");
  runner.Run(packages[0].path, 0);
  std::vector<Figures> figures(packages.size());
  for (size_t i = 0; i < packages.size(); ++i) {
    std::fprintf(stderr, "measuring %s, %s...\n", packages[i].label.c_str(), MethodName(packages[i].method));
    for (int r = 0; r < runs; ++r) {
      if (!packages[i].pieces.empty()) {
        figures[i].memory.push_back(DecodeInMemory(packages[i], corpus));
        figures[i].files.push_back(DecodeThroughFiles(packages[i], folders.work + "files\\"));
      }
      figures[i].stub.push_back(runner.Run(packages[i].path, 0));
    }
  }
  std::fprintf(stderr, "the stub waiting on a payload that sleeps %lu ms...\n", static_cast<unsigned long>(kSleepMs));
  const StubRun idle = runner.Run(packages[0].path, kSleepMs);
  DeleteTree(folders.work);

  std::printf("corpus %s: %lu bytes; payload %lu bytes; stub %lu bytes with its padding\n", corpus_path.c_str(),
              static_cast<unsigned long>(corpus.size()), static_cast<unsigned long>(payload.size()),
              static_cast<unsigned long>(stub.size()));
  std::printf("MB/s = 10^6 corpus bytes per second, median of %d runs (slowest-fastest)\n\n", runs);
  std::printf("%-12s %-8s %9s %7s %7s | %-21s %-21s %-21s\n", "package", "method", "bytes", "ratio%", "build s",
              "decode, memory->memory", "copy+decode via files", "stub: folder->payload");
  for (size_t i = 0; i < packages.size(); ++i) {
    const Package& p = packages[i];
    const Figures& f = figures[i];
    if (p.pieces.empty()) continue;
    const double ratio =
        100.0 * static_cast<double>(p.bytes - vornix::PackageOffset) / static_cast<double>(corpus.size());
    std::printf("%-12s %-8s %9lld %7.2f %7.1f | %-21s %-21s %-21s\n", p.label.c_str(), MethodName(p.method),
                static_cast<long long>(p.bytes), ratio, p.build_seconds, Rate(corpus_mb, f.memory).c_str(),
                Rate(corpus_mb, Each(f.files, [](const FileTimes& t) { return t.total; })).c_str(),
                Rate(corpus_mb, Each(f.stub, [](const StubRun& r) { return r.unpack; })).c_str());
  }

  std::printf("\n%-21s | %-26s | %s\n", "seconds, median", "via files, in stub_bench", "the stub");
  std::printf("%-12s %-8s | %8s %8s %8s | %8s %8s %8s %10s %9s\n", "package", "method", "copy", "decode", "total",
              "unpack", "cpu user", "kernel", "end->rmdir", "end->exit");
  for (size_t i = 0; i < packages.size(); ++i) {
    const Figures& f = figures[i];
    std::printf("%-12s %-8s | ", packages[i].label.c_str(), MethodName(packages[i].method));
    if (!f.files.empty()) {
      std::printf("%8.3f %8.3f %8.3f | ", Median(Each(f.files, [](const FileTimes& t) { return t.copy; })),
                  Median(Each(f.files, [](const FileTimes& t) { return t.decode; })),
                  Median(Each(f.files, [](const FileTimes& t) { return t.total; })));
    } else {
      std::printf("%26s | ", "");
    }
    std::printf("%8.3f %8.3f %8.3f %10.3f %9.3f\n", Median(Each(f.stub, [](const StubRun& r) { return r.unpack; })),
                Median(Each(f.stub, [](const StubRun& r) { return r.cpu_unpack.user; })),
                Median(Each(f.stub, [](const StubRun& r) { return r.cpu_unpack.kernel; })),
                Median(Each(f.stub, [](const StubRun& r) { return r.folder_removed; })),
                Median(Each(f.stub, [](const StubRun& r) { return r.after_payload; })));
  }
  std::printf(
      "copy: into the .~~c files; decode: from them into the targets; total: with file creation, closing and\n");
  std::printf("deletion. unpack: the unpack folder appears -> the payload starts; cpu: the stub's processor time\n");
  std::printf("meanwhile (whole 10 ms ticks); end->rmdir, end->exit: the payload about to end -> the stub removed\n");
  std::printf("the unpack folder, -> the stub exited. The stub's unpack time includes unpacking and starting the\n");
  std::printf("payload: the payload-only row.\n");

  std::vector<double> to_folder;
  for (const Figures& f : figures) {
    for (const StubRun& r : f.stub) to_folder.push_back(r.to_folder);
  }
  std::printf("\nstub process created -> unpack folder appears (its 2000 ms timer): %.3f-%.3f s over %zu runs\n",
              *std::min_element(to_folder.begin(), to_folder.end()),
              *std::max_element(to_folder.begin(), to_folder.end()), to_folder.size());
  std::printf("stub processor time while the payload ran %.3f s: user %.1f ms, kernel %.1f ms\n", idle.payload_wall,
              idle.cpu_payload.user * 1e3, idle.cpu_payload.kernel * 1e3);
  std::printf(
      "processor time as a sum over threads, checked on this process: %.2f s user, %.2f s kernel "
      "(GetProcessTimes: %.2f s, %.2f s)\n",
      own.user, own.kernel, Seconds(user), Seconds(kernel));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "stub_bench: %s\n", failure.what());
    return 1;
  }
}

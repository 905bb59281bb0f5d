// sweep_bench: what the sweep of dead runs' folders adds to the stub's start, with 0, 1 and 20 dead
// runs' folders in TEMP (each holding its mark, 10 files of 4 KB and a subfolder with 10 more) beside
// a live copy's folder and a folder that is no run's, which it must leave. Run under Wine:
// wine sweep_bench.exe [RUNS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process/hprocess.h"
#include "unpack/unpack.h"

namespace {

void WriteFileOf(const std::string& path, size_t size) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::vector<char> bytes(size, 'x');
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

void MakeDeadRun(const std::string& folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA((folder + "sub").c_str(), nullptr);
  WriteFileOf(folder + vornix::kRunMarkName, 0);
  for (int i = 0; i < 10; ++i) {
    WriteFileOf(folder + "file" + std::to_string(i) + ".bin", 4096);
    WriteFileOf(folder + "sub\\file" + std::to_string(i) + ".bin", 4096);
  }
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  vornix::LoadProcessApi();
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  const std::string temp = std::string(base) + "vornix sweep bench\\";
  CreateDirectoryA(temp.c_str(), nullptr);
  // Never swept: a folder without a mark, and a live run's folder, its mark held open.
  CreateDirectoryA((temp + "vornix_1").c_str(), nullptr);
  CreateDirectoryA((temp + "vornix_2").c_str(), nullptr);
  const HANDLE live = CreateFileA((temp + "vornix_2\\" + vornix::kRunMarkName).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, 0, nullptr);
  std::printf("dead folders   sweep (ms, median of %d)   left behind\n", runs);
  for (const int dead : {0, 1, 20}) {
    std::vector<double> times;
    bool all_gone = true;
    for (int run = 0; run < runs; ++run) {
      for (int i = 0; i < dead; ++i) MakeDeadRun(temp + "vornix_" + std::to_string(10 + i) + "\\");
      LARGE_INTEGER start, end;
      QueryPerformanceCounter(&start);
      vornix::SweepDeadRuns(temp);
      QueryPerformanceCounter(&end);
      times.push_back(Milliseconds(start, end));
      for (int i = 0; i < dead; ++i) {
        all_gone = all_gone &&
                   GetFileAttributesA((temp + "vornix_" + std::to_string(10 + i)).c_str()) == INVALID_FILE_ATTRIBUTES;
      }
    }
    std::sort(times.begin(), times.end());
    const bool kept = GetFileAttributesA((temp + "vornix_1").c_str()) != INVALID_FILE_ATTRIBUTES &&
                      GetFileAttributesA((temp + "vornix_2").c_str()) != INVALID_FILE_ATTRIBUTES;
    std::printf("%12d   %24.2f   %s\n", dead, times[times.size() / 2],
                all_gone && kept ? "none of the dead; the live and unmarked ones kept" : "WRONG");
  }
  CloseHandle(live);
  DeleteFileA((temp + "vornix_2\\" + vornix::kRunMarkName).c_str());
  RemoveDirectoryA((temp + "vornix_2").c_str());
  RemoveDirectoryA((temp + "vornix_1").c_str());
  RemoveDirectoryA(temp.c_str());
  return 0;
}

// What the sleep queue costs while the program waits: after the program's unit start-up, one thread
// sleeps 10 s in 400 ms steps, as the stub's worker does while an installer runs. Prints the
// process's and the queue thread's processor time, and how late the sleeps ended.
#include <windows.h>

#include <cstdio>

#include "app/units.h"
#include "threads/qnthreads.h"

namespace {

double CpuMs(BOOL (*query)(HANDLE, FILETIME*, FILETIME*, FILETIME*, FILETIME*), HANDLE handle) {
  FILETIME created, exited, kernel, user;
  if (!query(handle, &created, &exited, &kernel, &user)) return -1;
  auto ticks = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

BOOL ProcessTimes(HANDLE h, FILETIME* a, FILETIME* b, FILETIME* c, FILETIME* d) {
  return GetProcessTimes(h, a, b, c, d);
}
BOOL ThreadTimes(HANDLE h, FILETIME* a, FILETIME* b, FILETIME* c, FILETIME* d) { return GetThreadTimes(h, a, b, c, d); }

constexpr int kSteps = 25;
constexpr DWORD kStepMs = 400;

class Sleeper : public vornix::TQnThread {
 public:
  Sleeper() : TQnThread(true) {}
  DWORD late_total = 0;
  DWORD late_max = 0;

 protected:
  void Execute() override {
    for (int i = 0; i < kSteps; ++i) {
      DWORD start = GetTickCount();
      vornix::SleepQueue->SleepThread(ThreadHandle, kStepMs);
      DWORD late = GetTickCount() - start - kStepMs;
      late_total += late;
      if (late > late_max) late_max = late;
    }
  }
};

}  // namespace

int main() {
  vornix::UnitLifetime units;
  double process_before = CpuMs(ProcessTimes, GetCurrentProcess());
  double queue_before = CpuMs(ThreadTimes, vornix::SleepQueue->ThreadHandle);
  DWORD start = GetTickCount();

  Sleeper sleeper;
  ResumeThread(sleeper.ThreadHandle);
  sleeper.WaitForExit();

  DWORD wall = GetTickCount() - start;
  double process_cpu = CpuMs(ProcessTimes, GetCurrentProcess()) - process_before;
  double queue_cpu = CpuMs(ThreadTimes, vornix::SleepQueue->ThreadHandle) - queue_before;
  std::printf("sleep %d x %lu ms: wall %lu ms\n", kSteps, static_cast<unsigned long>(kStepMs),
              static_cast<unsigned long>(wall));
  std::printf("processor time: process %.1f ms, queue thread %.1f ms\n", process_cpu, queue_cpu);
  std::printf("sleeps ended late by %.1f ms on average, %lu ms at most\n",
              static_cast<double>(sleeper.late_total) / kSteps, static_cast<unsigned long>(sleeper.late_max));
  return 0;
}

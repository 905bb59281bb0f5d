// The start-up and shutdown of the qnthreads unit.
#include "runtime/platform_win32.h"
#include "threads/qnthreads.h"

namespace vornix {

void InitializeQnThreads() {
  MainThreadIdent = GetCurrentThreadId();
  SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
  // The first thread object: it creates the thread window, owned by this (the main) thread.
  SleepQueue = new TSleepQ(false);
  SleepQueuePriority = PlatformIsNT() ? 5 : 0;
}

void FinalizeQnThreads() {
  // The queue ends after the pass in progress and frees itself; nobody waits for it.
  if (SleepQueue != nullptr) SleepQueue->RequestStop();
  SleepQueue = nullptr;
}

}  // namespace vornix

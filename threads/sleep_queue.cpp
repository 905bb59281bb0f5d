// TSleepQ: the queue thread that resumes sleeping threads when their due tick has come.
//
// A pass scans the watched entries (resuming those due, freeing those released), then merges the
// newly posted ones. Between passes the queue thread blocks on wake_ until the nearest due tick,
// a new entry or a stop request; it never spins. The one case that is polled is an entry resumed
// but not yet released: its sleeper may have seen Resumed still false and not yet suspended itself,
// in which case the resume went nowhere and has to be repeated, so such an entry is looked at again
// every millisecond until its sleeper has taken it.
#include "threads/qnthreads.h"

namespace vornix {

TSleepQ* SleepQueue = nullptr;
std::atomic<uint8_t> SleepQueuePriority{4};

namespace {

constexpr DWORD kReleaseRetryMs = 1;

SleepEntry* EntryAt(const TQnList& list, int32_t index) { return static_cast<SleepEntry*>(list.Items[index]); }

}  // namespace

TSleepQ::TSleepQ(bool /*CreateSuspended*/) : TQnThread(true), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
  FreeOnFinish = true;
  ResumeThread(ThreadHandle);  // the lists and the event exist: the first pass may begin
}

TSleepQ::~TSleepQ() {
  if (wake_ != nullptr) CloseHandle(wake_);
}

void TSleepQ::SleepThread(HANDLE thread, DWORD duration) {
  auto* entry = new SleepEntry;
  entry->DueTick = GetTickCount() + duration;  // wraps at 2^32
  entry->Thread = thread;
  IncomingEntries.Add(entry);
  SetEvent(wake_);
  while (!entry->Resumed) SuspendThread(thread);
  entry->Released = true;
}

void TSleepQ::RequestStop() {
  // Once the flag is set the queue may end and close wake_ at any moment: signal through a
  // duplicate, which keeps the event alive until this call is done with it.
  HANDLE wake = nullptr;
  DuplicateHandle(GetCurrentProcess(), wake_, GetCurrentProcess(), &wake, 0, FALSE, DUPLICATE_SAME_ACCESS);
  TQnThread::RequestStop();
  if (wake != nullptr) {
    SetEvent(wake);
    CloseHandle(wake);
  }
}

void TSleepQ::Execute() {
  SetPriorityLevel(SleepQueuePriority);
  DWORD wait = 0;
  for (;;) {
    SetPriorityLevel(SleepQueuePriority);
    if (wait != 0) WaitForSingleObject(wake_, wait);
    ScanActiveEntries();
    SetPriorityLevel(0);
    MergeIncomingEntries();
    if (StopRequested) break;
    wait = TimeToNextPass();
  }
}

void TSleepQ::ScanActiveEntries() {
  const DWORD now = GetTickCount();
  for (int32_t i = 0; i < ActiveEntries.Count;) {
    SleepEntry* entry = EntryAt(ActiveEntries, i);
    if (entry->Kind != SleepEntry::kTimedSleep || !TickReached(now, entry->DueTick)) {
      ++i;
    } else if (entry->Released) {
      ActiveEntries.Remove(entry);  // the same index now holds the next entry
      delete entry;
    } else {
      entry->Resumed = true;
      if (ResumeThread(entry->Thread) == static_cast<DWORD>(-1) &&
          SuspendThread(entry->Thread) != static_cast<DWORD>(-1)) {
        ResumeThread(entry->Thread);
      }
      ++i;
    }
  }
}

void TSleepQ::MergeIncomingEntries() {
  TQnListLock lock(IncomingEntries);
  TQnList& incoming = lock.Items();
  for (int32_t i = 0; i < incoming.Count; ++i) ActiveEntries.Add(incoming.Items[i]);
  incoming.Clear();
}

// 0 when an entry is due and not yet resumed, a short retry while a resumed entry is not yet
// released, else the time to the nearest due tick (INFINITE when nothing is watched).
DWORD TSleepQ::TimeToNextPass() const {
  const DWORD now = GetTickCount();
  DWORD wait = INFINITE;
  for (int32_t i = 0; i < ActiveEntries.Count; ++i) {
    const SleepEntry* entry = EntryAt(ActiveEntries, i);
    if (entry->Kind != SleepEntry::kTimedSleep) continue;
    DWORD entry_wait;
    if (!TickReached(now, entry->DueTick)) {
      entry_wait = entry->DueTick - now;
    } else {
      entry_wait = entry->Resumed ? kReleaseRetryMs : 0;
    }
    if (entry_wait < wait) wait = entry_wait;
  }
  return wait;
}

}  // namespace vornix

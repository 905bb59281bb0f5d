// TAsideThread: a thread that does the unpacking's file work beside the decoder, so that decoding
// goes on while the system copies bytes into a file. Under Wine, hashing and writing a 52 MB entry
// takes some 26 ms, against 42 ms of decoding it with LZRW1/KH. Handing it work must cost the
// decoder next to nothing: Wine answers each event set or wait in its server, some 0.1 ms a round
// trip, which for 49 pieces of 1 MiB handed with semaphores came to 9 to 11 ms of such an entry.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "runtime/bound_handler.h"

namespace vornix {

// One side's sleep until a condition that the other side makes true. Wait checks, says it sleeps,
// checks again and only then waits on the event; Wake, called after the other side changed what the
// condition reads, sets the event only for a side that said it sleeps. So a side that is busy or
// polling costs the other no call into the system.
class TWakeup {
 public:
  TWakeup() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~TWakeup() { CloseHandle(event_); }  // nothing to close is no harm
  TWakeup(const TWakeup&) = delete;
  TWakeup& operator=(const TWakeup&) = delete;

  bool Valid() const { return event_ != nullptr; }
  // While Poll holds, the first kPollMs checks are a millisecond apart before the side says it
  // sleeps: Wine does a plain sleep without its server. Where a 1 ms sleep lasts a timer tick
  // (Windows: 15.6 ms), and events are cheap, the first sleep of 10 ms or more clears Poll for good.
  template <typename Ready>
  void Wait(Ready ready, bool* poll = nullptr) {
    for (int i = 0; poll != nullptr && *poll && i < kPollMs && !ready(); ++i) {
      const DWORD before = GetTickCount();
      Sleep(1);
      *poll = GetTickCount() - before < 10;
    }
    while (!ready()) {
      asleep_ = true;
      if (!ready()) WaitForSingleObject(event_, INFINITE);
      asleep_ = false;
    }
  }
  void Wake() {
    if (asleep_.exchange(false)) SetEvent(event_);
  }

 private:
  static constexpr int kPollMs = 20;

  HANDLE event_;
  std::atomic<bool> asleep_{false};
};

// Jobs are numbered as they are handed, from 0, and done one at a time in that order by Job, in
// the thread. The thread is started by the first Start and ended by the destructor, which waits
// for the jobs handed: the owner has it go before what Job uses.
class TAsideThread {
 public:
  using TJob = TBoundHandler<void(int32_t Job)>;

  explicit TAsideThread(TJob job) : job_(job) {}
  ~TAsideThread();
  TAsideThread(const TAsideThread&) = delete;
  TAsideThread& operator=(const TAsideThread&) = delete;

  // True when the thread runs. Only the first call tries to start it: without it, the owner does
  // its jobs itself.
  bool Start();
  void Hand() {
    ++handed_;
    thread_wakeup_.Wake();
  }
  // Returns once all but Pending of the jobs handed are done.
  void AwaitDone(int32_t pending);
  int32_t Handed() const { return handed_; }

 private:
  static DWORD WINAPI ThreadStart(void* self);

  TJob job_;
  bool tried_ = false;
  HANDLE thread_ = nullptr;
  std::atomic<int32_t> handed_{0};
  std::atomic<int32_t> done_{0};
  std::atomic<bool> stopping_{false};
  TWakeup thread_wakeup_;
  TWakeup caller_wakeup_;
};

}  // namespace vornix

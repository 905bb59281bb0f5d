// TAsideThread: a thread that does part of the unpacking's work beside the decoder (decoding some
// blocks, hashing and writing the file), so that the decoding goes on while the system copies
// bytes into a file. Handing it work must cost next to nothing: Wine answers each event set or wait
// in its server, some 0.1 ms a round trip; for a 52 MB entry the decoder, waiting for a free piece
// on an event, slept 90 to 146 times and lost 12 to 26 ms in all.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "runtime/bound_handler.h"

namespace vornix {

// One side's sleep until a condition that the other side makes true. Wait checks, says it sleeps,
// checks again and only then waits on the event; Wake, called after the other side changed what the
// condition reads, sets the event only for a side that said it sleeps. So a side that is busy or
// yielding costs the other no call into the system.
class TWakeup {
 public:
  TWakeup() : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
  ~TWakeup() { CloseHandle(event_); }  // nothing to close is no harm
  TWakeup(const TWakeup&) = delete;
  TWakeup& operator=(const TWakeup&) = delete;

  bool Valid() const { return event_ != nullptr; }
  // The side first yields its processor, up to kYields times, before it says it sleeps: the other
  // side's step (a piece of 256 KiB) takes a fraction of a millisecond, and a yield costs Wine no
  // call into its server (2 to 4 us here), where an event set and wait cost a round trip each.
  template <typename Ready>
  void Wait(Ready ready) {
    for (int i = 0; i < kYields && !ready(); ++i) SwitchToThread();
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
  static constexpr int kYields = 500;

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

// The system's own thread classes: TThread wraps one platform thread, TQnThread is the class that
// concrete threads derive from, TQnThreadList is a pointer list guarded by a critical section.
// A hidden window of the class "TThreadWindow", owned by the main thread, lets a worker run a call
// in the main thread and wait for it (RunInMainThread). TSleepQ is the sleep queue through which
// threads pause: a sleeper posts an entry, suspends itself, and the queue thread resumes it when due.
//
// Threads stop cooperatively (RequestStop sets a flag the body polls); there is no suspend or resume
// operation: a creator that asks for a suspended thread starts it with ResumeThread(ThreadHandle).
//
// A thread created running may enter Execute before a subclass's constructor has finished, with the
// object not yet complete. Subclasses therefore construct the base suspended and resume the thread
// at the end of their own constructor when they are to run at once (TSleepQ does so).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "runtime/bound_handler.h"
#include "threads/qnlist.h"

namespace vornix {

class TThread;
using TThreadCall = TBoundHandler<void()>;
using TThreadNotify = TBoundHandler<void(TThread*)>;

// The two private messages of the thread window.
constexpr UINT ThreadCallMessage = 0x8FFF;         // sent, lParam = the TThread: run its PendingCall
constexpr UINT ThreadWindowCloseMessage = 0x8FFE;  // posted: destroy the window

// Platform priority for each level 0 (idle) to 6 (time critical).
extern const int ThreadPriorityTable[7];
// The hidden window; valid while ThreadObjectCount is above 0.
extern HWND ThreadWindowHandle;
// Number of live TThread objects, changed atomically.
extern volatile LONG ThreadObjectCount;
// Identifier of the main thread, recorded by the unit start-up before any thread object exists.
extern DWORD MainThreadIdent;

LRESULT CALLBACK ThreadWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

class TThread {
 public:
  explicit TThread(bool CreateSuspended);
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  // Stops a thread that has not finished (RequestStop, then WaitForExit), closes the handle and
  // uncounts the object. A subclass whose body uses the subclass's own members stops the body in
  // its own destructor first, before those members go.
  virtual ~TThread();

  // Sets StopRequested; waits for nothing. Virtual so that a thread that blocks can be woken.
  virtual void RequestStop();
  // Waits until the platform thread has ended and returns its exit code. On the main thread the
  // wait serves sent messages, so a worker blocked in RunInMainThread is served, not deadlocked.
  DWORD WaitForExit();
  // Runs call in the main thread and returns when it has run. An exception the call raised there
  // is raised again here: std::bad_alloc as itself, any other as an Exception with its message
  // (every exception of the system carries only its message). Needs the main thread to keep
  // dispatching messages.
  void RunInMainThread(TThreadCall call);
  // Level 0 to 6, through ThreadPriorityTable; the result is ignored.
  void SetPriorityLevel(int level);

  HANDLE ThreadHandle = nullptr;
  DWORD ThreadIdent = 0;
  std::atomic<bool> StopRequested{false};
  // When set, the thread destroys its own object once Execute and NotifyFinished have run.
  std::atomic<bool> FreeOnFinish{false};
  std::atomic<bool> HasFinished{false};
  int32_t ExitCode = 0;
  // When set, NotifyFinished runs it in the main thread with this object as argument.
  TThreadNotify OnFinished;

 protected:
  // Runs in the thread right after Execute.
  virtual void NotifyFinished();
  // The thread body. An exception escaping it is discarded.
  virtual void Execute() = 0;

 private:
  static DWORD WINAPI ThreadStart(void* parameter);
  void CallOnFinished();
  friend LRESULT CALLBACK ThreadWindowProc(HWND, UINT, WPARAM, LPARAM);

  // What the call raised in the main thread, kept there for the caller to raise again.
  enum class TRaised : uint8_t { Nothing, Message, OutOfMemory };
  TThreadCall PendingCall;
  TRaised PendingRaised = TRaised::Nothing;
  std::string PendingMessage;
};

class TQnThread : public TThread {
 public:
  explicit TQnThread(bool CreateSuspended) : TThread(CreateSuspended) {}
  virtual DWORD Wait() { return WaitForExit(); }
};

class TQnThreadList {
 public:
  TQnThreadList();
  TQnThreadList(const TQnThreadList&) = delete;
  TQnThreadList& operator=(const TQnThreadList&) = delete;
  // Frees the inner list, not its items: they belong to the callers.
  ~TQnThreadList();

  void Add(void* item);
  // Between Lock and Unlock the caller may read and change the inner list freely.
  TQnList& Lock();
  void Unlock();

 private:
  TQnList list_;
  CRITICAL_SECTION guard_;
};

// Holds a TQnThreadList's lock for a scope, so that every Lock meets its Unlock, also when the work
// in between raises.
class TQnListLock {
 public:
  explicit TQnListLock(TQnThreadList& list) : list_(list), items_(list.Lock()) {}
  ~TQnListLock() { list_.Unlock(); }
  TQnListLock(const TQnListLock&) = delete;
  TQnListLock& operator=(const TQnListLock&) = delete;
  TQnList& Items() { return items_; }

 private:
  TQnThreadList& list_;
  TQnList& items_;
};

// One pending sleep, allocated by the sleeper and freed by the queue thread. Each flag has one
// writer: Resumed the queue thread (before it resumes the sleeper), Released the sleeper (once it
// runs again; from then on the entry is the queue thread's alone).
struct SleepEntry {
  static constexpr uint8_t kTimedSleep = 2;

  uint8_t Kind = kTimedSleep;
  DWORD DueTick = 0;
  std::atomic<bool> Resumed{false};
  std::atomic<bool> Released{false};
  HANDLE Thread = nullptr;
};

// True once the tick count now has reached due. The difference is taken as signed, so a due tick
// on the far side of the 49.7-day wrap of GetTickCount is neither reached early nor missed.
inline bool TickReached(DWORD now, DWORD due) { return static_cast<int32_t>(now - due) >= 0; }

class TSleepQ : public TQnThread {
 public:
  // Starts the queue thread at once, whatever CreateSuspended says; the object frees itself when
  // its body ends after RequestStop.
  explicit TSleepQ(bool CreateSuspended);
  // Frees the two lists but not entries still in them.
  ~TSleepQ() override;

  // Suspends the calling thread, whose own handle is thread, for at least duration milliseconds
  // by GetTickCount: it returns once the queue thread has resumed it.
  void SleepThread(HANDLE thread, DWORD duration);
  void RequestStop() override;

 protected:
  void Execute() override;

 private:
  void ScanActiveEntries();
  void MergeIncomingEntries();
  DWORD TimeToNextPass() const;

  TQnList ActiveEntries;          // touched only by the queue thread
  TQnThreadList IncomingEntries;  // where sleepers post new entries
  HANDLE wake_;                   // auto-reset: a new entry or a stop request
};

// The only sleep queue, created by the unit start-up.
extern TSleepQ* SleepQueue;
// The queue thread's priority level while it scans: 4 until the start-up sets 5 on NT, 0 elsewhere.
extern std::atomic<uint8_t> SleepQueuePriority;

// Unit start-up, in the main thread before any window exists: records the main thread, raises the
// process to HIGH_PRIORITY_CLASS, creates SleepQueue (and with it the thread window) and picks the
// queue's priority by platform.
void InitializeQnThreads();
// Unit shutdown: asks the sleep queue to stop, without waiting for it.
void FinalizeQnThreads();

}  // namespace vornix

// TThread: construction and destruction, the start routine, cooperative stop, waiting, and running
// a call in the main thread through the thread window.
#include "threads/qnthreads.h"

#include <new>
#include <utility>

#include "threads/thread_window.h"

namespace vornix {

const int ThreadPriorityTable[7] = {
    THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};

DWORD MainThreadIdent = 0;

TThread::TThread(bool CreateSuspended) {
  AttachThreadWindow();
  // The outcome is not checked: a failed creation leaves ThreadHandle 0, which is never closed.
  ThreadHandle =
      CreateThread(nullptr, 0, &TThread::ThreadStart, this, CreateSuspended ? CREATE_SUSPENDED : 0, &ThreadIdent);
}

TThread::~TThread() {
  if (!HasFinished) {
    RequestStop();
    WaitForExit();
  }
  if (ThreadHandle != nullptr) CloseHandle(ThreadHandle);
  DetachThreadWindow();
}

void TThread::RequestStop() { StopRequested = true; }

DWORD TThread::WaitForExit() {
  if (GetCurrentThreadId() == MainThreadIdent) {
    // A worker may be blocked in RunInMainThread: deliver sent messages while waiting.
    while (MsgWaitForMultipleObjects(1, &ThreadHandle, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
  } else {
    WaitForSingleObject(ThreadHandle, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeThread(ThreadHandle, &code);
  return code;
}

void TThread::RunInMainThread(TThreadCall call) {
  PendingRaised = TRaised::Nothing;
  PendingCall = call;
  // The window's thread runs the call inside ThreadWindowProc; the caller waits for it.
  SendMessageA(ThreadWindowHandle, ThreadCallMessage, 0, reinterpret_cast<LPARAM>(this));
  const TRaised raised = PendingRaised;
  PendingRaised = TRaised::Nothing;
  if (raised == TRaised::OutOfMemory) throw std::bad_alloc();
  if (raised == TRaised::Message) throw Exception(std::move(PendingMessage));
}

void TThread::SetPriorityLevel(int level) {
  if (level >= 0 && level <= 6) SetThreadPriority(ThreadHandle, ThreadPriorityTable[level]);
}

void TThread::CallOnFinished() { OnFinished(this); }

void TThread::NotifyFinished() {
  if (OnFinished) RunInMainThread(TThreadCall::Bind<&TThread::CallOnFinished>(this));
}

// Every step is guarded on its own: nothing may unwind out of a routine that Windows called.
DWORD WINAPI TThread::ThreadStart(void* parameter) {
  auto* thread = static_cast<TThread*>(parameter);
  try {
    thread->Execute();
  } catch (...) {
  }
  bool free_on_finish = false;
  DWORD result = 0;
  try {
    free_on_finish = thread->FreeOnFinish;
    result = static_cast<DWORD>(thread->ExitCode);
  } catch (...) {
  }
  thread->HasFinished = true;
  try {
    thread->NotifyFinished();
  } catch (...) {
  }
  try {
    if (free_on_finish) delete thread;
  } catch (...) {
  }
  return result;
}

}  // namespace vornix

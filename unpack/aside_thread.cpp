// TAsideThread: the thread's loop over the jobs, its start and its end.
#include "unpack/aside_thread.h"

namespace vornix {

bool TAsideThread::Start() {
  if (!tried_) {
    tried_ = true;
    if (thread_wakeup_.Valid() && caller_wakeup_.Valid()) {
      thread_ = CreateThread(nullptr, 64 * 1024, &TAsideThread::ThreadStart, this, STACK_SIZE_PARAM_IS_A_RESERVATION,
                             nullptr);
    }
  }
  return thread_ != nullptr;
}

void TAsideThread::AwaitDone(int32_t pending) {
  caller_wakeup_.Wait([this, pending] { return handed_ - done_ <= pending; });
}

TAsideThread::~TAsideThread() {
  if (thread_ == nullptr) return;
  AwaitDone(0);
  stopping_ = true;
  thread_wakeup_.Wake();
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

DWORD WINAPI TAsideThread::ThreadStart(void* self) {
  auto& aside = *static_cast<TAsideThread*>(self);
  for (int32_t job = 0;; ++job) {
    // While work comes, the thread yields between pieces and the decoder's Hand sets no event.
    aside.thread_wakeup_.Wait([&aside, job] { return aside.handed_ > job || aside.stopping_; });
    if (aside.stopping_) return 0;
    aside.job_(job);
    ++aside.done_;
    aside.caller_wakeup_.Wake();
  }
}

}  // namespace vornix

// A thread whose body is given by the test. It is constructed suspended, as the system's own
// workers are, and started with Start (ResumeThread on its handle).
#pragma once

#include <functional>
#include <utility>

#include "threads/qnthreads.h"

namespace vornix {

class TestThread : public TQnThread {
 public:
  explicit TestThread(std::function<void(TestThread&)> body) : TQnThread(true), body_(std::move(body)) {}
  ~TestThread() override {
    // The body uses body_: stop it before the member goes.
    if (!HasFinished) {
      RequestStop();
      WaitForExit();
    }
  }
  void Start() { ResumeThread(ThreadHandle); }

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TestThread&)> body_;
};

// A handle of its own on the thread's platform thread, valid after a FreeOnFinish object is gone.
inline HANDLE DuplicateThreadHandle(const TThread& thread) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread.ThreadHandle, GetCurrentProcess(), &copy, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  return copy;
}

}  // namespace vornix

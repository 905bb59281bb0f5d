// The thread classes under Wine, with real threads and the real thread window: calls into the main
// thread and their exceptions, waiting on the main thread, self-freeing threads, stopping, the
// window's lifetime and its class. This program does not run the unit start-up, so that the thread
// objects of each test are the only ones and the window's lifetime can be watched.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "runtime/exception.h"
#include "tests/win/test_thread.h"
#include "threads/qnthreads.h"

namespace vornix {
namespace {

// Runs on the main thread when a worker asks for it.
struct MainThreadCall {
  DWORD ran_on = 0;
  int runs = 0;
  bool raise = false;
  bool run_out_of_memory = false;
  void Run() {
    ran_on = GetCurrentThreadId();
    ++runs;
    if (raise) throw Exception("raised in the main thread");
    if (run_out_of_memory) throw std::bad_alloc();
  }
  TThreadCall Bound() { return TThreadCall::Bind<&MainThreadCall::Run>(this); }
};

// Delivers every message waiting for this thread's windows (the posted close message among them).
void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

std::string ClassNameOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PumpMessages();
    ASSERT_EQ(ThreadObjectCount, 0);
  }
  void TearDown() override { PumpMessages(); }
};

TEST_F(ThreadTest, RunInMainThreadFromTheMainThreadRunsAtOnce) {
  TestThread thread([](TestThread&) {});
  thread.Start();
  thread.WaitForExit();
  MainThreadCall call;
  thread.RunInMainThread(call.Bound());
  EXPECT_EQ(call.runs, 1);
  EXPECT_EQ(call.ran_on, GetCurrentThreadId());
}

TEST_F(ThreadTest, WorkerCallRunsOnTheMainThreadWhileItWaitsForExit) {
  MainThreadCall call;
  DWORD worker_id = 0;
  bool returned = false;
  TestThread thread([&](TestThread& self) {
    worker_id = GetCurrentThreadId();
    self.RunInMainThread(call.Bound());
    returned = call.runs == 1;  // the call had run when RunInMainThread came back
  });
  thread.Start();
  // The worker blocks in SendMessageA until this thread serves it from inside WaitForExit.
  EXPECT_EQ(thread.WaitForExit(), 0u);
  EXPECT_EQ(call.runs, 1);
  EXPECT_EQ(call.ran_on, GetCurrentThreadId());
  EXPECT_NE(worker_id, GetCurrentThreadId());
  EXPECT_TRUE(returned);
}

TEST_F(ThreadTest, ExceptionOfTheMainThreadCallIsRaisedInTheWorker) {
  MainThreadCall call;
  call.raise = true;
  std::string caught;
  DWORD caught_on = 0;
  TestThread thread([&](TestThread& self) {
    try {
      self.RunInMainThread(call.Bound());
    } catch (const Exception& e) {
      caught = e.Message();
      caught_on = GetCurrentThreadId();
    }
    call.raise = false;
    self.RunInMainThread(call.Bound());  // the main thread still serves calls
  });
  thread.Start();
  thread.WaitForExit();
  EXPECT_EQ(caught, "raised in the main thread");
  EXPECT_EQ(caught_on, thread.ThreadIdent);
  EXPECT_EQ(call.runs, 2);
}

TEST_F(ThreadTest, ExceptionOfTheMainThreadCallIsRaisedInTheMainThreadCaller) {
  TestThread thread([](TestThread&) {});
  thread.Start();
  thread.WaitForExit();
  MainThreadCall call;
  call.raise = true;
  EXPECT_THROW(thread.RunInMainThread(call.Bound()), Exception);
  call.raise = false;
  call.run_out_of_memory = true;
  EXPECT_THROW(thread.RunInMainThread(call.Bound()), std::bad_alloc);
}

// Records its own destruction; its body raises.
class RaisingThread : public TQnThread {
 public:
  explicit RaisingThread(std::atomic<bool>* destroyed) : TQnThread(true), destroyed_(destroyed) { FreeOnFinish = true; }
  ~RaisingThread() override { *destroyed_ = true; }

 protected:
  void Execute() override { throw Exception("escaped the body"); }

 private:
  std::atomic<bool>* destroyed_;
};

TEST_F(ThreadTest, ExceptionEscapingExecuteIsDiscardedAndFreeOnFinishStillFrees) {
  std::atomic<bool> destroyed{false};
  auto* thread = new RaisingThread(&destroyed);
  HANDLE handle = DuplicateThreadHandle(*thread);
  ResumeThread(thread->ThreadHandle);
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeThread(handle, &code);
  CloseHandle(handle);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(ThreadObjectCount, 0);
}

TEST_F(ThreadTest, OnFinishedRunsInTheMainThreadWithTheObject) {
  struct Observer {
    TThread* seen = nullptr;
    DWORD ran_on = 0;
    void Finished(TThread* thread) {
      seen = thread;
      ran_on = GetCurrentThreadId();
    }
  } observer;
  TestThread thread([](TestThread&) {});
  thread.OnFinished = TThreadNotify::Bind<&Observer::Finished>(&observer);
  thread.Start();
  thread.WaitForExit();
  EXPECT_EQ(observer.seen, &thread);
  EXPECT_EQ(observer.ran_on, GetCurrentThreadId());
  EXPECT_TRUE(thread.HasFinished);
}

TEST_F(ThreadTest, DestroyingARunningThreadStopsItAndWaitsForTheBody) {
  std::atomic<bool> body_returned{false};
  std::atomic<bool> running{false};
  auto* thread = new TestThread([&](TestThread& self) {
    running = true;
    while (!self.StopRequested) Sleep(1);
    Sleep(100);  // the destructor must still be waiting
    body_returned = true;
  });
  thread->Start();
  while (!running) Sleep(1);
  delete thread;
  EXPECT_TRUE(body_returned);
  EXPECT_EQ(ThreadObjectCount, 0);
}

TEST_F(ThreadTest, WindowLivesFromTheFirstToTheLastThreadObject) {
  auto* first = new TestThread([](TestThread&) {});
  HWND window = ThreadWindowHandle;
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(ClassNameOf(window), "TThreadWindow");
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
  auto* second = new TestThread([](TestThread&) {});
  EXPECT_EQ(ThreadWindowHandle, window);  // one window for all thread objects
  EXPECT_EQ(ThreadObjectCount, 2);
  for (TestThread* thread : {first, second}) {
    thread->Start();
    thread->WaitForExit();
  }
  delete first;
  PumpMessages();
  EXPECT_TRUE(IsWindow(window));
  delete second;
  EXPECT_TRUE(IsWindow(window));  // only posted: the window goes when its thread dispatches
  PumpMessages();
  EXPECT_FALSE(IsWindow(window));

  // A new thread object gets a new window that serves calls again.
  MainThreadCall call;
  TestThread third([&](TestThread& self) { self.RunInMainThread(call.Bound()); });
  EXPECT_TRUE(IsWindow(ThreadWindowHandle));
  third.Start();
  third.WaitForExit();
  EXPECT_EQ(call.runs, 1);
}

TEST_F(ThreadTest, LastThreadObjectFreedByItsOwnThreadClosesTheWindow) {
  std::atomic<bool> destroyed{false};
  auto* thread = new RaisingThread(&destroyed);
  HWND window = ThreadWindowHandle;
  HANDLE handle = DuplicateThreadHandle(*thread);
  ResumeThread(thread->ThreadHandle);
  WaitForSingleObject(handle, 10000);
  CloseHandle(handle);
  ASSERT_TRUE(destroyed);
  PumpMessages();
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(ThreadTest, AClassOfTheSameNameWithAnotherProcedureIsReplaced) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  UnregisterClassA("TThreadWindow", instance);
  WNDCLASSA impostor = {};
  impostor.lpfnWndProc = DefWindowProcA;
  impostor.hInstance = instance;
  impostor.lpszClassName = "TThreadWindow";
  ASSERT_NE(RegisterClassA(&impostor), 0);

  MainThreadCall call;
  TestThread thread([&](TestThread& self) { self.RunInMainThread(call.Bound()); });
  WNDCLASSA registered = {};
  ASSERT_TRUE(GetClassInfoA(instance, "TThreadWindow", &registered));
  EXPECT_EQ(registered.lpfnWndProc, ThreadWindowProc);
  thread.Start();
  thread.WaitForExit();
  EXPECT_EQ(call.runs, 1);  // DefWindowProcA would have answered 0 without running it
}

TEST_F(ThreadTest, SetPriorityLevelUsesThePriorityTable) {
  TestThread thread([](TestThread&) {});
  const int expected[7] = {-15, -2, -1, 0, 1, 2, 15};
  for (int level = 0; level < 7; ++level) {
    thread.SetPriorityLevel(level);
    EXPECT_EQ(GetThreadPriority(thread.ThreadHandle), expected[level]) << "level " << level;
  }
  thread.Start();
  thread.WaitForExit();
}

TEST(QnThreadList, ConcurrentAddsAllArrive) {
  TQnThreadList list;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::vector<TestThread*> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(new TestThread([&list, t](TestThread&) {
      for (int i = 0; i < kPerThread; ++i)
        list.Add(reinterpret_cast<void*>(static_cast<intptr_t>(t * kPerThread + i + 1)));
    }));
  }
  for (TestThread* thread : threads) thread->Start();
  for (TestThread* thread : threads) {
    thread->WaitForExit();
    delete thread;
  }
  TQnListLock lock(list);
  TQnList& items = lock.Items();
  EXPECT_EQ(items.Count, kThreads * kPerThread);
  std::vector<bool> seen(kThreads * kPerThread + 1, false);
  for (int32_t i = 0; i < items.Count; ++i) seen[reinterpret_cast<intptr_t>(items.Items[i])] = true;
  for (int i = 1; i <= kThreads * kPerThread; ++i) ASSERT_TRUE(seen[i]) << i;
}

}  // namespace
}  // namespace vornix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vornix::MainThreadIdent = GetCurrentThreadId();  // what the unit start-up records
  return RUN_ALL_TESTS();
}

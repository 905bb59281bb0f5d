// The sleep queue under Wine, after the real unit start-up: the start-up's effects, sleeps that
// never end early by GetTickCount, several sleepers at once, wake-ups racing the sleeper's own
// suspension, a queue that blocks instead of spinning, and a stopped queue that resumes nobody.
// Also built as sleep_queue_win98_tests, which sees Windows 98 and an idle queue thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "runtime/platform_win32.h"
#include "tests/win/test_program.h"
#include "tests/win/test_thread.h"
#include "threads/qnthreads.h"

namespace vornix {
namespace {

// Starts threads and waits for all of them, up to a time limit. A thread that is still running at
// the limit is left alone (its object is not destroyed, which would wait for it).
class Sleepers {
 public:
  ~Sleepers() {
    for (TestThread* thread : threads_) {
      if (thread->HasFinished) delete thread;
    }
  }
  TestThread* Add(std::function<void(TestThread&)> body) {
    threads_.push_back(new TestThread(std::move(body)));
    return threads_.back();
  }
  void Start() {
    for (TestThread* thread : threads_) thread->Start();
  }
  bool WaitAll(DWORD limit_ms) {
    std::vector<HANDLE> handles;
    for (TestThread* thread : threads_) handles.push_back(thread->ThreadHandle);
    return WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, limit_ms) == WAIT_OBJECT_0;
  }
  bool StartAndWait(DWORD limit_ms) {
    Start();
    return WaitAll(limit_ms);
  }

 private:
  std::vector<TestThread*> threads_;
};

// Suspends thread once more, as soon as it has suspended itself (in SleepThread): a suspension
// that comes first is taken back and tried again.
bool SuspendOnceSuspended(HANDLE thread) {
  for (int tries = 0; tries < 10000; ++tries) {
    DWORD previous = SuspendThread(thread);
    if (previous != static_cast<DWORD>(-1) && previous >= 1) return true;
    ResumeThread(thread);
    Sleep(1);
  }
  return false;
}

DWORD ThreadCpuMs(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  auto ms = [](FILETIME t) { return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
  return static_cast<DWORD>(ms(kernel) + ms(user));
}

TEST(SleepQueueStartUp, RecordsTheMainThreadRaisesThePriorityAndStartsTheQueue) {
  EXPECT_EQ(MainThreadIdent, GetCurrentThreadId());
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
  ASSERT_NE(SleepQueue, nullptr);
  EXPECT_EQ(PlatformIsNT(), !NamedForWin98());
  EXPECT_EQ(SleepQueuePriority, PlatformIsNT() ? 5 : 0);  // highest on NT, idle elsewhere
  ASSERT_TRUE(IsWindow(ThreadWindowHandle));
  EXPECT_EQ(GetWindowThreadProcessId(ThreadWindowHandle, nullptr), GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(SleepQueue->ThreadHandle, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(SleepQueue, SleepsNeverEndEarlyByTheTickCount) {
  for (DWORD duration : {0u, 1u, 16u, 50u, 120u, 400u}) {
    DWORD elapsed = 0;
    Sleepers sleepers;
    sleepers.Add([&](TestThread& self) {
      DWORD start = GetTickCount();
      SleepQueue->SleepThread(self.ThreadHandle, duration);
      elapsed = GetTickCount() - start;
    });
    ASSERT_TRUE(sleepers.StartAndWait(10000)) << "a sleep of " << duration << " ms never ended";
    EXPECT_GE(elapsed, duration);
    EXPECT_LT(elapsed, duration + 5000);
  }
}

TEST(SleepQueue, SeveralSleepersWakeEachAtItsOwnTime) {
  const DWORD durations[] = {300, 60, 180, 0, 120};
  constexpr int kCount = 5;
  DWORD elapsed[kCount] = {};
  std::atomic<int> order{0};
  int woke_as[kCount] = {};
  Sleepers sleepers;
  for (int i = 0; i < kCount; ++i) {
    sleepers.Add([&, i](TestThread& self) {
      DWORD start = GetTickCount();
      SleepQueue->SleepThread(self.ThreadHandle, durations[i]);
      elapsed[i] = GetTickCount() - start;
      woke_as[i] = order++;
    });
  }
  ASSERT_TRUE(sleepers.StartAndWait(10000));
  for (int i = 0; i < kCount; ++i) EXPECT_GE(elapsed[i], durations[i]) << "sleeper " << i;
  EXPECT_EQ(woke_as[3], 0);  // 0 ms
  EXPECT_EQ(woke_as[0], 4);  // 300 ms
}

// A sleeper may be resumed before it has suspended itself; the queue must then resume it again.
// One thread sleeping alone, many times, while busy threads take the processors away from it at
// random points, hits that window; with nobody else posting entries, a lost wake-up hangs it.
TEST(SleepQueue, NoWakeUpIsLostWhenTheResumeComesBeforeTheSuspend) {
  constexpr int kSleeps = 3000;
  std::atomic<int> done{0};
  std::atomic<bool> stop_noise{false};
  Sleepers noise;
  for (int n = 0; n < 3; ++n) {
    noise.Add([&](TestThread&) {
      while (!stop_noise) {
      }
    });
  }
  noise.Start();
  Sleepers sleepers;
  sleepers.Add([&](TestThread& self) {
    for (int i = 0; i < kSleeps; ++i) {
      SleepQueue->SleepThread(self.ThreadHandle, 0);
      ++done;
    }
  });
  bool all_ended = sleepers.StartAndWait(60000);
  stop_noise = true;
  EXPECT_TRUE(noise.WaitAll(10000));
  EXPECT_TRUE(all_ended) << done << " of " << kSleeps << " sleeps ended";
}

// The queue resumes a due sleeper on every pass until the sleeper has taken its entry, so a sleeper
// whose suspend count is one higher than the queue knows (its own suspension came after the first
// resume, or someone else suspended it too) still wakes.
TEST(SleepQueue, ADueSleeperIsResumedAgainUntilItRuns) {
  DWORD elapsed = 0;
  Sleepers sleepers;
  TestThread* sleeper = sleepers.Add([&](TestThread& self) {
    DWORD start = GetTickCount();
    SleepQueue->SleepThread(self.ThreadHandle, 150);
    elapsed = GetTickCount() - start;
  });
  sleepers.Start();
  ASSERT_TRUE(SuspendOnceSuspended(sleeper->ThreadHandle));
  ASSERT_TRUE(sleepers.WaitAll(5000));
  EXPECT_GE(elapsed, 150u);
}

// The queue thread blocks between passes: over a one-second sleep it uses next to no processor
// time (a queue that polls would use the whole second).
TEST(SleepQueue, QueueThreadDoesNotSpinWhileAThreadSleeps) {
  DWORD before = ThreadCpuMs(SleepQueue->ThreadHandle);
  Sleepers sleepers;
  sleepers.Add([](TestThread& self) {
    for (int i = 0; i < 5; ++i) SleepQueue->SleepThread(self.ThreadHandle, 200);
  });
  ASSERT_TRUE(sleepers.StartAndWait(10000));
  EXPECT_LT(ThreadCpuMs(SleepQueue->ThreadHandle) - before, 100u);
}

TEST(SleepQueue, AStoppedQueueEndsAtOnceAndResumesNobody) {
  auto* queue = new TSleepQ(false);
  HANDLE queue_thread = DuplicateThreadHandle(*queue);
  // Left suspended for good once the queue is gone: the object is not destroyed, which would wait.
  auto* sleeper = new TestThread([&](TestThread& self) { queue->SleepThread(self.ThreadHandle, 300); });
  sleeper->Start();
  ASSERT_TRUE(SuspendOnceSuspended(sleeper->ThreadHandle));  // its entry is posted
  ResumeThread(sleeper->ThreadHandle);                       // back to its own suspension only
  queue->RequestStop();                                      // the queue frees itself: queue is not touched after this
  EXPECT_EQ(WaitForSingleObject(queue_thread, 5000), WAIT_OBJECT_0);
  CloseHandle(queue_thread);
  EXPECT_EQ(WaitForSingleObject(sleeper->ThreadHandle, 800), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(sleeper->HasFinished);
}

TEST(SleepQueue, TickReachedAcrossTheWrapOfTheTickCount) {
  EXPECT_TRUE(TickReached(1000, 1000));
  EXPECT_FALSE(TickReached(999, 1000));
  EXPECT_TRUE(TickReached(5, 0xFFFFFFF0u));   // due just before the wrap, looked at just after
  EXPECT_FALSE(TickReached(0xFFFFFFF0u, 5));  // due just after the wrap
  EXPECT_FALSE(TickReached(0xFFFFFF00u, 0xFFFFFF00u + 400));
}

}  // namespace
}  // namespace vornix

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  vornix::InitializeQnThreads();
  int result = RUN_ALL_TESTS();
  vornix::FinalizeQnThreads();
  return result;
}

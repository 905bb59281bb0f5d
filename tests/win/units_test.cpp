// The unit start-up and shutdown as the program entry runs them: what each unit has set up after
// the start-up, and that the shutdown releases the process library and ends the sleep queue.
#include "app/units.h"

#include <gtest/gtest.h>

#include "process/hprocess.h"
#include "tests/win/test_thread.h"
#include "threads/qnthreads.h"

namespace vornix {
namespace {

TEST(Units, StartUpAndShutdown) {
  ASSERT_EQ(SleepQueue, nullptr);
  HANDLE queue_thread = nullptr;
  {
    UnitLifetime units;
    EXPECT_EQ(MainThreadIdent, GetCurrentThreadId());
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    ASSERT_NE(SleepQueue, nullptr);
    EXPECT_TRUE(IsWindow(ThreadWindowHandle));
    EXPECT_NE(ProcessApiLibrary, nullptr);
    TStringList processes;
    EXPECT_TRUE(ListProcesses(processes));
    EXPECT_GT(processes.Count(), 0);
    queue_thread = DuplicateThreadHandle(*SleepQueue);
  }
  EXPECT_EQ(ProcessApiLibrary, nullptr);
  EXPECT_EQ(SleepQueue, nullptr);
  // The queue was only asked to stop; it ends by itself, and with it the last thread object.
  EXPECT_EQ(WaitForSingleObject(queue_thread, 5000), WAIT_OBJECT_0);
  CloseHandle(queue_thread);
  EXPECT_EQ(ThreadObjectCount, 0);
  TStringList processes;
  EXPECT_FALSE(ListProcesses(processes));
}

}  // namespace
}  // namespace vornix

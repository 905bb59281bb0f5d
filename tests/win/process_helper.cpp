// A program for the process-listing tests to start: it says it is running (the semaphore
// "vornix_helper_ready") and waits until it is told to end (the event "vornix_helper_quit"), at
// most a minute. Built both as a 32-bit and as a 64-bit program.
#include <windows.h>

int main() {
  HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "vornix_helper_ready");
  HANDLE quit = OpenEventA(SYNCHRONIZE, FALSE, "vornix_helper_quit");
  if (ready != nullptr) ReleaseSemaphore(ready, 1, nullptr);
  if (quit != nullptr) WaitForSingleObject(quit, 60000);
  return 0;
}

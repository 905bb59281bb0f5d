// The hidden "TThreadWindow" window: it runs the calls that workers hand to the main thread, and it
// lives while at least one thread object does. It belongs to the thread that constructed the first
// thread object; in the program that is the main thread, through the sleep queue of the start-up.
#include "threads/thread_window.h"

#include <new>

#include "threads/qnthreads.h"

namespace vornix {

HWND ThreadWindowHandle = nullptr;
volatile LONG ThreadObjectCount = 0;

namespace {

const char kThreadWindowClassName[] = "TThreadWindow";

WNDCLASSA ThreadWindowClass = {0,       ThreadWindowProc, 0,       0,       nullptr,
                               nullptr, nullptr,          nullptr, nullptr, kThreadWindowClassName};

HWND CreateThreadWindow() {
  ThreadWindowClass.hInstance = GetModuleHandleA(nullptr);
  WNDCLASSA registered;
  bool ours = GetClassInfoA(ThreadWindowClass.hInstance, kThreadWindowClassName, &registered) &&
              registered.lpfnWndProc == ThreadWindowProc;
  if (!ours) {
    // A class of that name with another procedure would never run our calls: replace it.
    UnregisterClassA(kThreadWindowClassName, ThreadWindowClass.hInstance);
    RegisterClassA(&ThreadWindowClass);
  }
  return CreateWindowExA(0, kThreadWindowClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, ThreadWindowClass.hInstance,
                         nullptr);
}

}  // namespace

void AttachThreadWindow() {
  if (ThreadObjectCount == 0) ThreadWindowHandle = CreateThreadWindow();
  InterlockedIncrement(&ThreadObjectCount);
}

void DetachThreadWindow() {
  // Posted, not destroyed here: only the window's own thread may destroy it, and the last object
  // is often destroyed by its own worker thread.
  if (InterlockedDecrement(&ThreadObjectCount) == 0) PostMessageA(ThreadWindowHandle, ThreadWindowCloseMessage, 0, 0);
}

// Nothing may unwind out of a window procedure: an exception of a call is handed back to the caller,
// anything else is swallowed.
LRESULT CALLBACK ThreadWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    switch (message) {
      case ThreadCallMessage: {
        auto* thread = reinterpret_cast<TThread*>(lparam);
        // Keeps what the call raised for its caller; copying the message may itself run out of memory.
        const auto hand_back = [thread](const char* message) noexcept {
          try {
            thread->PendingMessage = message;
            thread->PendingRaised = TThread::TRaised::Message;
          } catch (...) {
            thread->PendingRaised = TThread::TRaised::OutOfMemory;
          }
        };
        thread->PendingRaised = TThread::TRaised::Nothing;
        try {
          thread->PendingCall();
        } catch (const std::bad_alloc&) {
          thread->PendingRaised = TThread::TRaised::OutOfMemory;
        } catch (const std::exception& e) {
          hand_back(e.what());
        } catch (...) {
          hand_back("an exception of no known kind");
        }
        return 0;
      }
      case ThreadWindowCloseMessage:
        DestroyWindow(window);
        return 0;
      default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
  } catch (...) {
    return 0;
  }
}

}  // namespace vornix

// The few POSIX thread calls that GCC's exception runtime makes (MinGW's -posix compilers build it
// on POSIX threads), here on plain Win32, so that the stub does not link the whole POSIX threads
// library (about 32 KB with its unwind tables) for them. The runtime uses them only to set itself
// up once, to keep each thread's caught exceptions, and to guard its emergency pool and its table
// of unwind data: short, rarely contended work. The stub itself starts its threads with
// CreateThread and never calls these.
#include <cerrno>  // first: it tells which C++ runtime this is

#if defined(__MINGW32__) && defined(__GLIBCXX__)
#include <pthread.h>
#include <windows.h>

namespace {

// A mutex is one pointer-sized word: 0 free (after pthread_mutex_init), -1 free (the static
// initialiser PTHREAD_MUTEX_INITIALIZER), 1 held. The sections it guards are a few instructions
// long, so a waiter gives up its time slice and tries again.
constexpr intptr_t kHeld = 1;

bool TryTake(pthread_mutex_t* mutex, intptr_t free_value) {
  return InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(mutex), reinterpret_cast<void*>(kHeld),
                                           reinterpret_cast<void*>(free_value)) == reinterpret_cast<void*>(free_value);
}

// pthread_once_t: 0 not run, 1 running, 2 done.
constexpr LONG kOnceRunning = 1;
constexpr LONG kOnceDone = 2;

}  // namespace

extern "C" {

int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
  *mutex = 0;
  return 0;
}

int pthread_mutex_destroy(pthread_mutex_t*) { return 0; }

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  while (!TryTake(mutex, 0) && !TryTake(mutex, PTHREAD_MUTEX_INITIALIZER)) SwitchToThread();
  return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  InterlockedExchangePointer(reinterpret_cast<void* volatile*>(mutex), nullptr);
  return 0;
}

int pthread_once(pthread_once_t* once, void (*init)(void)) {
  volatile LONG* state = reinterpret_cast<volatile LONG*>(once);
  if (*state == kOnceDone) return 0;
  if (InterlockedCompareExchange(state, kOnceRunning, 0) == 0) {
    init();
    InterlockedExchange(state, kOnceDone);
    return 0;
  }
  while (*state != kOnceDone) SwitchToThread();
  return 0;
}

// A key is a TLS index. Its destructor is not run when a thread ends: the runtime's per-thread
// block is a few dozen bytes, and the stub ends few threads before it ends itself.
int pthread_key_create(pthread_key_t* key, void (*)(void*)) {
  const DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return EAGAIN;
  *key = index;
  return 0;
}

// TlsGetValue clears the thread's last error, which the runtime may read between a failing call
// and the exception that reports it.
void* pthread_getspecific(pthread_key_t key) {
  const DWORD last_error = GetLastError();
  void* value = TlsGetValue(key);
  SetLastError(last_error);
  return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
  return TlsSetValue(key, const_cast<void*>(value)) ? 0 : ENOMEM;
}

}  // extern "C"
#endif

// The few POSIX thread calls that GCC's exception runtime makes (MinGW's -posix compilers build it
// on POSIX threads), here on plain Win32, so that the stub does not link the whole POSIX threads
// library (about 32 KB with its unwind tables) for them. The runtime uses them only to set itself
// up once and to guard its emergency pool and its table of unwind data: short, rarely contended
// work. The stub itself starts its threads with CreateThread and never calls these.
//
// Each thread's caught exceptions are kept in a small block that the runtime asks for through
// __cxa_get_globals. MinGW's runtime keeps it in emulated thread-local storage, a general scheme
// of about 1 KB; here it is one TLS slot.
#include <cerrno>  // first: it tells which C++ runtime this is

#if defined(__MINGW32__) && defined(__GLIBCXX__)
#include <pthread.h>
#include <windows.h>

#include <cstdlib>

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

// The runtime's per-thread block, as its exception handling lays it out.
struct TCaughtExceptions {
  void* Caught;
  unsigned int Uncaught;
};

// The TLS slot of that block, taken by the first thread that needs it: a static constructor may
// throw before this unit's own have run. -1 (TLS_OUT_OF_INDEXES) until then.
volatile LONG ExceptionsSlot = -1;

DWORD ExceptionsSlotIndex() {
  const LONG slot = ExceptionsSlot;
  if (slot != -1) return static_cast<DWORD>(slot);
  const DWORD taken = TlsAlloc();
  if (taken == TLS_OUT_OF_INDEXES) std::abort();
  const LONG before = InterlockedCompareExchange(&ExceptionsSlot, static_cast<LONG>(taken), -1);
  if (before == -1) return taken;
  TlsFree(taken);  // another thread took one first
  return static_cast<DWORD>(before);
}

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

// The thread's block: the runtime's list of caught exceptions and its count of uncaught ones, zero
// at first. It is not freed when a thread ends: the stub ends few threads before it ends itself.
// TlsGetValue clears the thread's last error, which the program may read between a failing call
// and the exception that reports it.
void* __cxa_get_globals_fast() noexcept {
  const DWORD last_error = GetLastError();
  void* block = TlsGetValue(ExceptionsSlotIndex());
  SetLastError(last_error);
  return block;
}

void* __cxa_get_globals() noexcept {
  void* block = __cxa_get_globals_fast();
  if (block == nullptr) {
    block = std::calloc(1, sizeof(TCaughtExceptions));
    if (block == nullptr || !TlsSetValue(ExceptionsSlotIndex(), block)) std::abort();
  }
  return block;
}

}  // extern "C"
#endif

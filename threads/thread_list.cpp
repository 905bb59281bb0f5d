// TQnThreadList: a TQnList behind a critical section.
#include "threads/qnthreads.h"

namespace vornix {

TQnThreadList::TQnThreadList() { InitializeCriticalSection(&guard_); }

TQnThreadList::~TQnThreadList() { DeleteCriticalSection(&guard_); }

TQnList& TQnThreadList::Lock() {
  EnterCriticalSection(&guard_);
  return list_;
}

void TQnThreadList::Unlock() { LeaveCriticalSection(&guard_); }

void TQnThreadList::Add(void* item) {
  TQnListLock lock(*this);
  lock.Items().Add(item);
}

}  // namespace vornix

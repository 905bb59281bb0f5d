// The pointer list: growth steps, bounds checks and their messages.
#include "threads/qnlist.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace vornix {

TQnList::~TQnList() { std::free(Items); }

int32_t TQnList::Add(void* item) {
  if (Count == Capacity) Grow();
  Items[Count] = item;
  return Count++;
}

void TQnList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TQnList::Delete(int32_t index) {
  if (index < 0 || index >= Count) RaiseError(list_messages::kIndexOutOfBounds, index);
  --Count;
  if (index < Count) {
    std::memmove(Items + index, Items + index + 1, static_cast<size_t>(Count - index) * sizeof(void*));
  }
}

int32_t TQnList::IndexOf(const void* item) const {
  for (int32_t i = 0; i < Count; ++i) {
    if (Items[i] == item) return i;
  }
  return -1;
}

int32_t TQnList::Remove(const void* item) {
  int32_t index = IndexOf(item);
  if (index != -1) Delete(index);
  return index;
}

// Steps of 4 up to a capacity of 8, of 16 up to 64, then a quarter: 4, 8, 12, 28, 44, 60, 76, 95...
void TQnList::Grow() {
  int32_t increase = Capacity > 64 ? Capacity / 4 : Capacity > 8 ? 16 : 4;
  SetCapacity(Capacity + increase);
}

void TQnList::SetCapacity(int32_t n) {
  if (n < Count || n > MaxListSize) RaiseError(list_messages::kCapacityOutOfBounds, n);
  if (n == Capacity) return;
  if (n == 0) {
    std::free(Items);
    Items = nullptr;
  } else {
    void* grown = std::realloc(Items, static_cast<size_t>(n) * sizeof(void*));
    if (grown == nullptr) throw std::bad_alloc();  // the list is unchanged
    Items = static_cast<void**>(grown);
  }
  Capacity = n;
}

void TQnList::SetCount(int32_t n) {
  if (n < 0 || n > MaxListSize) RaiseError(list_messages::kCountOutOfBounds, n);
  if (n > Capacity) SetCapacity(n);
  if (n > Count) std::memset(Items + Count, 0, static_cast<size_t>(n - Count) * sizeof(void*));
  Count = n;
}

// The value goes in by hand: a printf would bring the C runtime's whole formatter (about 20 KB)
// into the stub for this one message. Every text of the list holds its %d.
void TQnList::RaiseError(const char* text, int32_t value) const {
  const char* mark = text;
  while (mark[0] != '%' || mark[1] != 'd') ++mark;
  std::string message(text, mark);
  message += std::to_string(value);
  message += mark + 2;
  throw EListError(std::move(message));
}

}  // namespace vornix

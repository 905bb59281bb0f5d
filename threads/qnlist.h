// TQnList: a growable array of untyped pointers. It never owns what its items point to: clearing,
// deleting or destroying the list releases only its own storage. Users read Count and the slots of
// Items directly; reading a slot does not check the index.
#pragma once

#include <cstdint>

#include "runtime/exception.h"

namespace vornix {

// Raised by the list for an index, count or capacity out of bounds.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

namespace list_messages {
constexpr const char* kIndexOutOfBounds = "List index out of bounds (%d)";
constexpr const char* kCapacityOutOfBounds = "List capacity out of bounds (%d)";
constexpr const char* kCountOutOfBounds = "List count out of bounds (%d)";
}  // namespace list_messages

class TQnList {
 public:
  // The largest count or capacity accepted.
  static constexpr int32_t MaxListSize = 0x7FFFFFF;

  TQnList() = default;
  TQnList(const TQnList&) = delete;
  TQnList& operator=(const TQnList&) = delete;
  virtual ~TQnList();

  // Appends item and returns the index it got.
  int32_t Add(void* item);
  void Clear();
  // Removes the item at index; the items behind it move one place forward.
  void Delete(int32_t index);
  // Index of the first item equal to item, or -1.
  int32_t IndexOf(const void* item) const;
  // Deletes the first item equal to item and returns the index it had, or -1.
  int32_t Remove(const void* item);
  void SetCapacity(int32_t n);
  // Lowering the count drops items; raising it fills the new slots with null pointers.
  void SetCount(int32_t n);

  void** Items = nullptr;
  int32_t Count = 0;
  int32_t Capacity = 0;

 protected:
  virtual void Grow();
  // Raises EListError with text formatted with value (its one %d).
  [[noreturn]] virtual void RaiseError(const char* text, int32_t value) const;
};

}  // namespace vornix

// The streams the stub has no use for: the memory stream and the discarding stream, in a unit of
// their own so that the stub does not link them.
#include "runtime/stream.h"

#include <algorithm>
#include <cstring>

namespace vornix {

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count < 0) return -1;
  int64_t size = static_cast<int64_t>(data_.size());
  int64_t available = position_ < size ? size - position_ : 0;
  int32_t n = static_cast<int32_t>(std::min<int64_t>(count, available));
  if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count < 0) return -1;
  if (count == 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const size_t end = static_cast<size_t>(position_) + static_cast<size_t>(count);
  if (static_cast<size_t>(position_) == data_.size()) {
    data_.insert(data_.end(), bytes, bytes + count);  // appending: no zero fill first
  } else {
    if (end > data_.size()) data_.resize(end);
    std::memcpy(data_.data() + position_, bytes, static_cast<size_t>(count));
  }
  position_ = static_cast<int64_t>(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::Beginning ? 0
                 : origin == SeekOrigin::Current ? position_
                                                 : static_cast<int64_t>(data_.size());
  int64_t target = base + offset;
  if (target < 0) return -1;
  position_ = target;
  return position_;
}

int32_t TDiscardStream::Write(const void*, int32_t count) {
  if (count < 0) return -1;
  written_ += count;
  return count;
}

}  // namespace vornix

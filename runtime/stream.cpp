// The stream base, the file stream, the window on a stream and the read-ahead.
#include "runtime/stream.h"

#include <algorithm>
#include <cstring>

namespace vornix {

int64_t TStream::Size() {
  int64_t position = Seek(0, SeekOrigin::Current);
  if (position < 0) return -1;
  int64_t size = Seek(0, SeekOrigin::End);
  if (Seek(position, SeekOrigin::Beginning) != position) return -1;
  return size;
}

TFileStream::TFileStream(const std::string& name, Mode mode)
    : file_(mode == Mode::Create           ? FileCreate(name)
            : mode == Mode::CreateNew      ? FileCreateNew(name)
            : mode == Mode::OpenReadShared ? FileOpenReadShared(name)
                                           : FileOpenRead(name)) {
  if (!file_.IsOpen()) {
    const bool creating = mode == Mode::Create || mode == Mode::CreateNew;
    throw Exception((creating ? "Cannot create file " : "Cannot open file ") + name);
  }
}

int32_t TStreamWindow::Read(void* buffer, int32_t count) {
  if (count < 0) return -1;
  const int64_t available = position_ < length_ ? length_ - position_ : 0;
  const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(count, available));
  if (wanted == 0) return 0;
  if (base_.Seek(start_ + position_, SeekOrigin::Beginning) != start_ + position_) return -1;
  const int32_t n = base_.Read(buffer, wanted);
  if (n > 0) position_ += n;
  return n;
}

int64_t TStreamWindow::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : length_;
  if (base + offset < 0) return -1;
  position_ = base + offset;
  return position_;
}

TReadAhead::TReadAhead(TStream& base, int32_t capacity)
    : base_(base), capacity_(capacity), buffer_(new uint8_t[capacity]), position_(base.Position()) {}

int32_t TReadAhead::Read(void* buffer, int32_t count) {
  if (count < 0) return -1;
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const int64_t held_from = position_ - buffer_start_;
    if (held_from >= 0 && held_from < buffered_) {
      const int32_t step = std::min(count - done, buffered_ - static_cast<int32_t>(held_from));
      std::memcpy(out + done, buffer_.get() + held_from, static_cast<size_t>(step));
      position_ += step;
      done += step;
      continue;
    }
    if (base_.Seek(position_, SeekOrigin::Beginning) != position_) break;
    const bool straight = count - done >= capacity_;
    const int32_t n = straight ? base_.Read(out + done, count - done) : base_.Read(buffer_.get(), capacity_);
    if (n <= 0) return n < 0 && done == 0 ? -1 : done;
    if (straight) {
      position_ += n;
      return done + n;
    }
    buffer_start_ = position_;
    buffered_ = n;
  }
  return done;
}

int64_t TReadAhead::Seek(int64_t offset, SeekOrigin origin) {
  const int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : Size();
  if (base < 0 || base + offset < 0) return -1;
  position_ = base + offset;
  return position_;
}

}  // namespace vornix

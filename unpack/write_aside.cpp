// TWriteAside: two pieces, one filled here while the thread writes the other. The thread writes the
// pieces in the order they are handed to it, which alternates like the filling.
#include "unpack/write_aside.h"

#include <algorithm>
#include <cstring>

namespace vornix {

TWriteAside::TWriteAside() {
  pieces_[0].reset(new uint8_t[kPieceBytes]);
  pieces_[1].reset(new uint8_t[kPieceBytes]);
}

TWriteAside::~TWriteAside() {
  if (thread_ != nullptr) {
    WaitForThread();
    stopping_ = true;
    ReleaseSemaphore(full_, 1, nullptr);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (full_ != nullptr) CloseHandle(full_);
  if (free_ != nullptr) CloseHandle(free_);
}

void TWriteAside::Begin(TStream& target) {
  target_ = &target;
  held_ = 0;
  written_ = 0;
  failed_ = false;
}

bool TWriteAside::Finish() {
  WaitForThread();
  if (held_ > 0) {
    lengths_[filling_] = held_;
    WritePiece(filling_);
    held_ = 0;
  }
  return !failed_;
}

void TWriteAside::Abandon() {
  WaitForThread();
  held_ = 0;
}

int32_t TWriteAside::Write(const void* buffer, int32_t count) {
  if (count < 0 || failed_) return -1;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t left = count; left > 0;) {
    const int32_t step = std::min(left, kPieceBytes - held_);
    std::memcpy(pieces_[filling_].get() + held_, bytes, static_cast<size_t>(step));
    held_ += step;
    bytes += step;
    left -= step;
    if (held_ == kPieceBytes) Hand();
  }
  written_ += count;
  return count;
}

int64_t TWriteAside::Seek(int64_t offset, SeekOrigin origin) { return SeekWhereWritten(written_, offset, origin); }

void TWriteAside::Hand() {
  lengths_[filling_] = held_;
  held_ = 0;
  if (!thread_tried_) {
    thread_tried_ = true;
    full_ = CreateSemaphoreA(nullptr, 0, 2, nullptr);
    free_ = CreateSemaphoreA(nullptr, 1, 2, nullptr);  // the piece not being filled
    if (full_ != nullptr && free_ != nullptr) {
      thread_ =
          CreateThread(nullptr, 64 * 1024, &TWriteAside::ThreadStart, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    }
  }
  if (thread_ == nullptr) {  // no thread to be had: the piece is written here
    WritePiece(filling_);
    return;
  }
  ReleaseSemaphore(full_, 1, nullptr);
  with_thread_ = true;
  filling_ ^= 1;
  WaitForSingleObject(free_, INFINITE);  // the thread is done with the piece now to be filled
}

// The thread gives its piece back; the count stays as it was, for the next Hand.
void TWriteAside::WaitForThread() {
  if (!with_thread_) return;
  WaitForSingleObject(free_, INFINITE);
  ReleaseSemaphore(free_, 1, nullptr);
  with_thread_ = false;
}

void TWriteAside::WritePiece(int piece) {
  if (!failed_ && target_->Write(pieces_[piece].get(), lengths_[piece]) != lengths_[piece]) failed_ = true;
}

DWORD WINAPI TWriteAside::ThreadStart(void* self) {
  auto& aside = *static_cast<TWriteAside*>(self);
  for (int piece = 0;; piece ^= 1) {
    WaitForSingleObject(aside.full_, INFINITE);
    if (aside.stopping_) return 0;
    aside.WritePiece(piece);
    ReleaseSemaphore(aside.free_, 1, nullptr);
  }
}

}  // namespace vornix

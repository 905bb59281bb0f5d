// TWriteAside: the pieces are filled here in turn and written by the thread in the same turn.
#include "unpack/write_aside.h"

#include <algorithm>
#include <cstring>

namespace vornix {

void TWriteAside::Begin(TStream& target) {
  target_ = &target;
  held_ = 0;
  written_ = 0;
  failed_ = false;
}

bool TWriteAside::Finish() {
  thread_.AwaitDone(0);
  if (held_ > 0) WritePiece(thread_.Handed() % kPieces, held_);
  held_ = 0;
  return !failed_;
}

void TWriteAside::Abandon() {
  thread_.AwaitDone(0);
  held_ = 0;
}

int32_t TWriteAside::Write(const void* buffer, int32_t count) {
  if (count < 0 || failed_) return -1;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t left = count; left > 0;) {
    const int32_t step = std::min(left, kPieceBytes - held_);
    std::memcpy(Piece(thread_.Handed() % kPieces) + held_, bytes, static_cast<size_t>(step));
    held_ += step;
    bytes += step;
    left -= step;
    if (held_ == kPieceBytes) HandPiece();
  }
  written_ += count;
  return count;
}

int64_t TWriteAside::Seek(int64_t offset, SeekOrigin origin) { return SeekWhereWritten(written_, offset, origin); }

void TWriteAside::HandPiece() {
  held_ = 0;
  if (!thread_.Start()) {  // no thread to be had: the piece is written here
    WritePiece(thread_.Handed() % kPieces, kPieceBytes);
    return;
  }
  thread_.Hand();
  thread_.AwaitDone(kPieces - 1);  // the thread is done with the piece now to be filled
}

void TWriteAside::WritePiece(int piece, int32_t length) {
  if (!failed_ && target_->Write(Piece(piece), length) != length) failed_ = true;
}

}  // namespace vornix

// TWriteAside: the pieces are filled here in turn and written by the thread in the same turn.
#include "unpack/write_aside.h"

#include <algorithm>
#include <cstring>

namespace vornix {

void TWriteAside::Begin(TStream& target, TTaken on_taken) {
  target_ = &target;
  on_taken_ = on_taken;
  held_ = 0;
  written_ = 0;
  failed_ = false;
}

bool TWriteAside::Finish() {
  if (on_taken_) on_taken_(held_);
  thread_.AwaitDone(0);
  if (held_ > 0) WritePiece(Filling(), held_);
  held_ = 0;
  return !failed_;
}

void TWriteAside::Abandon() {
  thread_.AwaitDone(0);
  held_ = 0;
  std::memset(coded_length_, 0, sizeof coded_length_);
}

int32_t TWriteAside::Write(const void* buffer, int32_t count) {
  if (count < 0 || failed_) return -1;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (int32_t left = count; left > 0;) {
    const int32_t step = std::min(left, kPieceBytes - held_);
    std::memcpy(Piece(Filling()) + held_, bytes, static_cast<size_t>(step));
    bytes += step;
    left -= step;
    Fill(step);
  }
  written_ += count;
  return count;
}

bool TWriteAside::TakeCodedBlock(const uint8_t* block, uint16_t length) {
  const int slot = held_ / kBlockBytes;
  if (held_ % kBlockBytes != 0 || slot % 2 == 0) return false;
  const int piece = Filling();
  std::memcpy(Coded(piece, slot), block, length);
  coded_length_[piece][slot] = length;
  written_ += kBlockBytes;
  Fill(kBlockBytes);
  return true;
}

int64_t TWriteAside::Seek(int64_t offset, SeekOrigin origin) { return SeekWhereWritten(written_, offset, origin); }

void TWriteAside::Fill(int32_t count) {
  held_ += count;
  if (held_ < kPieceBytes) return;
  held_ = 0;
  if (on_taken_) on_taken_(kPieceBytes);
  if (!thread_.Start()) {  // no thread to be had: the piece is written here
    WritePiece(Filling(), kPieceBytes);
    return;
  }
  thread_.Hand();
  thread_.AwaitDone(kPieces - 1);  // the thread is done with the piece now to be filled
}

void TWriteAside::WritePiece(int piece, int32_t length) {
  for (int slot = 0; slot < kSlots; ++slot) {
    uint16_t& coded = coded_length_[piece][slot];
    if (coded != 0 &&
        TLZR::DecompressBlock(Coded(piece, slot), Piece(piece) + slot * kBlockBytes, coded) != kBlockBytes) {
      failed_ = true;
    }
    coded = 0;
  }
  if (!failed_ && target_->Write(Piece(piece), length) != length) failed_ = true;
}

}  // namespace vornix

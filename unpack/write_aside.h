// TWriteAside: the unpacking's writes, gathered in pieces of 256 KiB and written by a thread of
// their own, so that the decoder goes on while the system copies the last pieces into the file.
// The thread also decodes every other whole LZRW1/KH block, which the container hands over still
// coded (LZRW1/KH blocks stand alone): under Wine the decoder's side of a 52 MB entry is some 42 ms
// of decoding, 7 of reading and 5 of copying, the thread's 6 of hashing and 13 of writing, so
// halving the decoding evens the two out. Eight pieces: their 2 MiB hold what the decoder makes
// while the thread is busy with one, and the last, partial piece of an entry, which the caller
// writes itself, stays small. Four pieces of 1 MiB made the copying into them slower under Wine.
#pragma once

#include <cstdint>
#include <memory>

#include "compression/lzrw1kh.h"
#include "runtime/stream.h"
#include "unpack/aside_thread.h"

namespace vornix {

// One for a whole unpacking; each entry's writes go between Begin and Finish. A write is taken at
// once and a failure of the target shows at a later write or at Finish. An entry smaller than a
// piece never meets the thread: Finish writes it in one call. The thread is started by the first
// full piece (without it, pieces are written in the caller's thread) and ended by the destructor.
class TWriteAside : public TStream {
 public:
  static constexpr int32_t kPieceBytes = 256 << 10;
  static constexpr int32_t kBlockBytes = kLzrBlockSize;  // a whole LZRW1/KH block

  // Hears of the bytes taken, a piece at a time and the rest at Finish; it may raise (the caller
  // then abandons the entry).
  using TTaken = TBoundHandler<void(int32_t Bytes)>;

  void Begin(TStream& target, TTaken on_taken = {});
  // Everything taken since Begin is in the target: true when each write of it succeeded.
  bool Finish();
  // Waits for the pieces the thread may still be writing and drops the rest: after a failure or a
  // cancel, before the target is closed.
  void Abandon();

  int32_t Read(void*, int32_t) override { return -1; }
  int32_t Write(const void* buffer, int32_t count) override;
  // Takes a coded LZRW1/KH block that must decode to a whole block of 32768 bytes, to be decoded
  // by the thread into its place; a block that decodes to fewer bytes fails the writing. Only some
  // blocks are taken (false: the caller decodes and writes it): the thread's share of the decoding.
  bool TakeCodedBlock(const uint8_t* block, uint16_t length);
  // Only the position is known: a seek to where the writing stands.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return written_; }

 private:
  static constexpr int kPieces = 8;
  static constexpr int kSlots = kPieceBytes / kBlockBytes;  // whole blocks in a piece

  // The thread's job N writes piece N % kPieces, the piece being filled while N was Handed(); the
  // thread is handed only full pieces.
  void WriteJob(int32_t job) { WritePiece(job % kPieces, kPieceBytes); }
  // The piece being filled.
  int Filling() const { return thread_.Handed() % kPieces; }
  // Counts Count more bytes in the piece being filled; a full piece goes to the thread.
  void Fill(int32_t count);
  void WritePiece(int piece, int32_t length);
  uint8_t* Piece(int piece) const { return pieces_.get() + piece * kPieceBytes; }
  uint8_t* Coded(int piece, int slot) const {
    return pieces_.get() + kPieces * kPieceBytes + (piece * kSlots + slot) * kLzrBufferSize;
  }

  TStream* target_ = nullptr;
  TTaken on_taken_;
  // The pieces, then a coded block's room for each of their slots.
  std::unique_ptr<uint8_t[]> pieces_{new uint8_t[kPieces * (kPieceBytes + kSlots * kLzrBufferSize)]};
  // The lengths of the coded blocks taken, each kept for its slot of a piece until the piece is
  // written; 0 for a slot written as it came.
  uint16_t coded_length_[kPieces][kSlots] = {};
  int32_t held_ = 0;     // bytes in the piece being filled
  int64_t written_ = 0;  // bytes taken since Begin
  std::atomic<bool> failed_{false};
  // Last, so that the thread has ended before the pieces go.
  TAsideThread thread_{TAsideThread::TJob::Bind<&TWriteAside::WriteJob>(this)};
};

}  // namespace vornix

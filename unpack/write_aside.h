// TWriteAside: the unpacking's writes, gathered in pieces of 256 KiB and written by a thread of
// their own, so that the decoder goes on while the system copies the last pieces into the file.
// Eight pieces: their 2 MiB hold what the decoder makes (LZRW1/KH, about 1.2 MB a millisecond)
// while the thread looks for work only every millisecond, and the last, partial piece of an entry,
// which the caller writes itself, stays small. Four pieces of 1 MiB made the copying into them
// slower under Wine: 15 to 18 ms for a 52 MB entry, against 9 to 12 ms.
#pragma once

#include <cstdint>
#include <memory>

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

  void Begin(TStream& target);
  // Everything taken since Begin is in the target: true when each write of it succeeded.
  bool Finish();
  // Waits for the pieces the thread may still be writing and drops the rest: after a failure or a
  // cancel, before the target is closed.
  void Abandon();

  int32_t Read(void*, int32_t) override { return -1; }
  int32_t Write(const void* buffer, int32_t count) override;
  // Only the position is known: a seek to where the writing stands.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return written_; }

 private:
  static constexpr int kPieces = 8;

  // The thread's job N writes piece N % kPieces, the piece being filled while N was Handed(); the
  // thread is handed only full pieces.
  void WriteJob(int32_t job) { WritePiece(job % kPieces, kPieceBytes); }
  void HandPiece();
  void WritePiece(int piece, int32_t length);
  uint8_t* Piece(int piece) const { return pieces_.get() + piece * kPieceBytes; }

  TStream* target_ = nullptr;
  std::unique_ptr<uint8_t[]> pieces_{new uint8_t[kPieces * kPieceBytes]};
  int32_t held_ = 0;     // bytes in the piece being filled
  int64_t written_ = 0;  // bytes taken since Begin
  std::atomic<bool> failed_{false};
  // Last, so that the thread has ended before the pieces go.
  TAsideThread thread_{TAsideThread::TJob::Bind<&TWriteAside::WriteJob>(this)};
};

}  // namespace vornix

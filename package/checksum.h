// The hash of the package's integrity record: XXH32 (xxHash) with seed 0, fed in pieces, and a
// stream that hashes every byte written through it on its way into another stream, so that what a
// decoder writes is checked without reading it back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/stream.h"

namespace vornix {

class TChecksum {
 public:
  TChecksum();
  void Add(const void* data, size_t count);
  uint32_t Value() const;

  // The hash of one block of bytes.
  static uint32_t Of(const void* data, size_t count);

 private:
  // xxHash's XXH32_state_t, kept opaque so that only checksum.cpp includes xxhash.h.
  alignas(8) unsigned char state_[48];
};

// Writes pass on to Target and are hashed as far as Target took them. Nothing is kept to move
// about in: only a seek to where the writing stands succeeds.
class THashingStream : public TStream {
 public:
  explicit THashingStream(TStream& Target) : target_(Target) {}

  int32_t Read(void*, int32_t) override { return -1; }
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return written_; }

  uint32_t Value() const { return checksum_.Value(); }

 private:
  TStream& target_;
  TChecksum checksum_;
  int64_t written_ = 0;
};

}  // namespace vornix

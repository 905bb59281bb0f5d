// TLZR: the LZRW1/KH block coder. Compresses and decompresses single, independent blocks of at most
// 32768 bytes: LZRW1 (one hash probe per position, 12-bit offsets, 16 items per control word) with
// a run item and a stored-block fallback. The block format is described in docs/container-format.md.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/exception.h"

namespace vornix {

class ELzrw1KHCompressor : public Exception {
 public:
  using Exception::Exception;
};

// Flag bytes at the start of a coded block.
constexpr uint8_t BlockCompressed = 0x40;
constexpr uint8_t BlockStored = 0x80;

// The largest block, and the size of every buffer handed to the coder: CompressBlock may write up
// to SourceSize + 6 bytes before it falls back to a stored block.
constexpr uint32_t kLzrBlockSize = 32768;
constexpr uint32_t kLzrBufferSize = kLzrBlockSize + 16;
// Entries of the compressor's hash table, one for each 12-bit hash of 3 bytes.
constexpr uint32_t kLzrHashSize = 4096;

class TLZR {
 public:
  // Raises ELzrw1KHCompressor when the hash table cannot be allocated.
  TLZR();

  // Codes SourceSize (0..32768) bytes of source into dest and returns the block's length, 1 to
  // SourceSize + 1. Reads only source[0..SourceSize-1]; writes at most SourceSize + 6 bytes of dest.
  uint16_t CompressBlock(const uint8_t* source, uint8_t* dest, uint16_t SourceSize);

  // Decodes the SourceSize-byte block at source into dest and returns the decoded length (at most
  // 32768). Never reads past the block nor writes past dest[32767]: an item of a damaged block that
  // would (a run or copy past 32768 bytes, a copy from before the output's start, an item cut off at
  // the block's end) ends the block, and the bytes produced before it are returned.
  static uint16_t DecompressBlock(const uint8_t* source, uint8_t* dest, uint16_t SourceSize);

 private:
  // Finds a match of 3..18 bytes for position x through one hash probe and enters x in the table.
  static bool FindMatch(const uint8_t* source, uint32_t x, uint32_t SourceSize, int16_t* table, uint32_t& length,
                        uint32_t& position);

  // For each 12-bit hash, the last block position probed with it, or -1.
  std::unique_ptr<int16_t[]> HashTable;
};

}  // namespace vornix

// LZRW1/KH block compression.
#include <algorithm>
#include <cstring>

#include "compression/lzrw1kh.h"
#include "compression/unaligned.h"

namespace vornix {
namespace {

constexpr uint32_t kMaxOffset = 4095;
constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 18;
constexpr uint32_t kMinRun = 16;
constexpr uint32_t kMaxRun = 4095;

// The hash of the 3 bytes at p: (((p0 << 8) xor (p1 << 4) xor p2) * 40543 >> 4) and 0xFFF.
inline uint32_t Hash(const uint8_t* p) {
  const uint32_t key = (uint32_t{p[0]} << 8) ^ (uint32_t{p[1]} << 4) ^ p[2];
  return ((key * 40543u) >> 4) & (kLzrHashSize - 1);
}

// Length of the run of bytes equal to source[x], counting source[x], capped at kMaxRun.
inline uint32_t RunLength(const uint8_t* source, uint32_t x, uint32_t size) {
  if (size - x < 2 || source[x + 1] != source[x]) return 1;  // the common case, kept short
  const uint32_t limit = std::min(size - x, kMaxRun);
  uint32_t run = 2;
  const uint64_t pattern = 0x0101010101010101ull * source[x];
  while (limit - run >= 8) {
    uint64_t diff = LoadU64(source + x + run) ^ pattern;
    if (diff != 0) return run + FirstDifferentByte(diff);
    run += 8;
  }
  while (run < limit && source[x + run] == source[x]) ++run;
  return run;
}

// Number of equal bytes at a and b, at most limit.
inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t length = 0;
  while (limit - length >= 8) {
    uint64_t diff = LoadU64(a + length) ^ LoadU64(b + length);
    if (diff != 0) return length + FirstDifferentByte(diff);
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

}  // namespace

// Kept inline: it runs at every position that is not inside a run or a match. The table comes as
// a plain pointer so that byte stores into the destination (which may alias anything) do not force
// it to be reloaded.
inline bool TLZR::FindMatch(const uint8_t* source, uint32_t x, uint32_t SourceSize, int16_t* table, uint32_t& length,
                            uint32_t& position) {
  // With fewer than 3 bytes left no match is possible here or at any later position, so neither
  // the probe nor the table entry can change the block; skipping them keeps reads inside the block.
  if (SourceSize - x < kMinMatch) return false;
  const uint32_t h = Hash(source + x);
  // An empty entry (-1) reads as 65535 here, and x - 65535 wraps far above any usable offset, so
  // one test rejects both empty and distant candidates.
  const uint32_t candidate = static_cast<uint16_t>(table[h]);
  table[h] = static_cast<int16_t>(x);
  if (x - candidate > kMaxOffset) return false;
  position = candidate;
  length = MatchLength(source + x, source + position, std::min(kMaxMatch, SourceSize - x));
  return length >= kMinMatch;
}

uint16_t TLZR::CompressBlock(const uint8_t* source, uint8_t* dest, uint16_t SourceSize) {
  const uint32_t size = SourceSize;
  int16_t* const table = HashTable.get();
  std::memset(table, 0xFF, kLzrHashSize * sizeof(int16_t));
  dest[0] = BlockCompressed;
  uint32_t x = 0;        // source position
  uint32_t y = 3;        // output position
  uint32_t z = 1;        // position of the current control word
  uint32_t bit = 0;      // items under the current control word
  uint32_t command = 0;  // the control word's bits so far, first item highest
  while (x < size && y <= size) {
    if (bit == 16) {
      dest[z] = static_cast<uint8_t>(command >> 8);
      dest[z + 1] = static_cast<uint8_t>(command);
      z = y;
      bit = 0;
      y += 2;
    }
    const uint32_t run = RunLength(source, x, size);
    uint32_t length = 0;
    uint32_t position = 0;
    if (run >= kMinRun) {
      const uint32_t m = run - kMinRun;
      dest[y] = 0;
      dest[y + 1] = static_cast<uint8_t>(m >> 8);
      dest[y + 2] = static_cast<uint8_t>(m);
      dest[y + 3] = source[x];
      y += 4;
      x += run;
      command = (command << 1) | 1;
    } else if (FindMatch(source, x, size, table, length, position)) {
      const uint32_t key = ((x - position) << 4) + (length - kMinMatch);
      dest[y] = static_cast<uint8_t>(key >> 8);
      dest[y + 1] = static_cast<uint8_t>(key);
      y += 2;
      x += length;
      command = (command << 1) | 1;
    } else {
      dest[y] = source[x];
      y += 1;
      x += 1;
      command <<= 1;
    }
    ++bit;
  }
  command = (command << (16 - bit)) & 0xFFFF;
  dest[z] = static_cast<uint8_t>(command >> 8);
  dest[z + 1] = static_cast<uint8_t>(command);
  if (y > size) {
    if (size > 0) std::memcpy(dest + 1, source, size);  // an empty source may be a null pointer
    dest[0] = BlockStored;
    y = size + 1;
  }
  return static_cast<uint16_t>(y);
}

}  // namespace vornix

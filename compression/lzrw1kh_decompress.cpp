// LZRW1/KH block decompression, safe on damaged blocks.
//
// State: x is the next unread source byte, y the next output byte; command holds the current
// control word with the next item's bit in bit 15, and left counts the items it still describes.
// Every item is checked before it writes: its bytes must lie inside the block (size - x), its
// output inside the 32768-byte block (kLzrBlockSize - y), and a copy's offset inside the output.
// When a group of 16 items surely lies inside the block (16 items of at most 4 bytes plus the next
// control word), the source checks are skipped; the output checks never are.
#include <algorithm>
#include <cstring>

#include "compression/lzrw1kh.h"
#include "compression/unaligned.h"

namespace vornix {
namespace {

constexpr uint32_t kMaxItemBytes = 4;
constexpr uint32_t kGroupBytes = 16 * kMaxItemBytes + 2;
constexpr uint32_t kWideCopyBytes = 24;  // three 8-byte moves cover the longest copy, 18 bytes

struct Decoder {
  const uint8_t* source;
  uint8_t* dest;
  uint32_t size;
  uint32_t x;
  uint32_t y;

  // Decodes one item; false when it is damaged (nothing of it is written then).
  template <bool kCheckSource>
  bool Item(bool is_copy) {
    if (!is_copy) {
      if (kCheckSource && x >= size) return false;
      if (y >= kLzrBlockSize) return false;
      dest[y++] = source[x++];
      return true;
    }
    if (kCheckSource && size - x < 2) return false;
    const uint32_t offset = (uint32_t{source[x]} << 4) | (source[x + 1] >> 4);
    if (offset == 0) {
      if (kCheckSource && size - x < 4) return false;
      const uint32_t count = ((uint32_t{source[x + 1]} << 8) | source[x + 2]) + 16;
      if (count > kLzrBlockSize - y) return false;
      std::memset(dest + y, source[x + 3], count);
      x += 4;
      y += count;
      return true;
    }
    const uint32_t count = (source[x + 1] & 15u) + 3;
    if (offset > y || count > kLzrBlockSize - y) return false;
    uint8_t* out = dest + y;
    const uint8_t* from = out - offset;
    if (offset >= 8 && kLzrBlockSize - y >= kWideCopyBytes) {
      // Each 8-byte move reads only bytes written before it, so the overlap semantics hold.
      Copy8(out, from);
      Copy8(out + 8, from + 8);
      Copy8(out + 16, from + 16);
    } else if (offset == 1) {
      std::memset(out, from[0], count);
    } else {
      for (uint32_t k = 0; k < count; ++k) out[k] = from[k];
    }
    x += 2;
    y += count;
    return true;
  }
};

}  // namespace

uint16_t TLZR::DecompressBlock(const uint8_t* source, uint8_t* dest, uint16_t SourceSize) {
  const uint32_t size = SourceSize;
  if (size <= 1) return 0;
  if (source[0] == BlockStored) {
    const uint32_t count = std::min(size - 1, kLzrBlockSize);
    std::memcpy(dest, source + 1, count);
    return static_cast<uint16_t>(count);
  }
  if (size < 3) return 0;  // the first control word is cut off: no items
  Decoder d{source, dest, size, 3, 0};
  uint32_t command = (uint32_t{source[1]} << 8) | source[2];
  while (d.x < size) {
    if (size - d.x >= kGroupBytes) {
      // Consecutive literals (0 bits) go in one 16-byte move where the block and the output have
      // room for it: one decision per run of literals instead of one per item.
      for (uint32_t left = 16; left > 0;) {
        const uint32_t literals = LeadingZeros32(((command & 0xFFFF) << 16) | (1u << (31 - left)));
        if (literals > 0) {
          if (kLzrBlockSize - d.y < 16 || size - d.x < 16) {
            for (uint32_t k = 0; k < literals; ++k) {
              if (!d.Item<false>(false)) return static_cast<uint16_t>(d.y);
            }
          } else {
            Copy8(dest + d.y, source + d.x);
            Copy8(dest + d.y + 8, source + d.x + 8);
            d.x += literals;
            d.y += literals;
          }
          command <<= literals;
          left -= literals;
          if (left == 0) break;
        }
        if (!d.Item<false>(true)) return static_cast<uint16_t>(d.y);
        command <<= 1;
        --left;
      }
      command = (uint32_t{source[d.x]} << 8) | source[d.x + 1];
      d.x += 2;
      continue;
    }
    // The tail: fewer than a full group's bytes remain.
    for (int bit = 0; bit < 16 && d.x < size; ++bit, command <<= 1) {
      if (!d.Item<true>((command & 0x8000) != 0)) return static_cast<uint16_t>(d.y);
    }
    if (size - d.x < 2) break;  // no further control word (or one cut off): the block ends
    command = (uint32_t{source[d.x]} << 8) | source[d.x + 1];
    d.x += 2;
    if (d.x >= size) break;
  }
  return static_cast<uint16_t>(d.y);
}

}  // namespace vornix

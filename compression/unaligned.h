// Little-endian and big-endian loads and stores: the stream header's fields, and the coders' wide
// compares and copies.
#pragma once

#include <cstdint>
#include <cstring>

namespace vornix {

// Loads 8 bytes as a little-endian number: one unaligned move where the machine is little-endian.
inline uint64_t LoadU64(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
#else
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
#endif
}

// Loads 8 bytes as a big-endian number, so that comparing two loads as numbers compares the bytes
// in memory order, first byte most significant.
inline uint64_t LoadBE64(const uint8_t* p) {
#if defined(__GNUC__) || defined(__clang__)
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
#else
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
#endif
}

// The little-endian fields of the stream and package headers.
inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline uint32_t LoadLE32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

inline void StoreLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Copies 8 bytes; source and destination must not overlap.
inline void Copy8(uint8_t* dest, const uint8_t* source) { std::memcpy(dest, source, 8); }

// Index (0..7) of the first differing byte of two words loaded by LoadU64, given their XOR
// (which must not be 0).
inline uint32_t FirstDifferentByte(uint64_t diff) {
#if defined(__GNUC__) || defined(__clang__)
  return static_cast<uint32_t>(__builtin_ctzll(diff)) / 8;
#else
  uint32_t i = 0;
  while ((diff & 0xFF) == 0) {
    diff >>= 8;
    ++i;
  }
  return i;
#endif
}

// Number of leading zero bytes (0..7) of a word, which must not be 0.
inline uint32_t LeadingZeroBytes(uint64_t v) {
#if defined(__GNUC__) || defined(__clang__)
  return static_cast<uint32_t>(__builtin_clzll(v)) / 8;
#else
  uint32_t n = 0;
  while ((v >> 56) == 0) {
    v <<= 8;
    ++n;
  }
  return n;
#endif
}

// Number of leading zero bits (0..31) of a 32-bit word, which must not be 0.
inline uint32_t LeadingZeros32(uint32_t v) {
#if defined(__GNUC__) || defined(__clang__)
  return static_cast<uint32_t>(__builtin_clz(v));
#else
  uint32_t n = 0;
  while ((v & 0x80000000u) == 0) {
    v <<= 1;
    ++n;
  }
  return n;
#endif
}

}  // namespace vornix

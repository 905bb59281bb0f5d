// A plain LZRW1/KH block compressor for the tests, written step by step from the block format's
// description with no speed work: byte-at-a-time run scan and match compare. The coder's
// optimised CompressBlock must produce exactly its bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace vornix::test {

inline std::vector<uint8_t> ReferenceLzrwBlock(const std::vector<uint8_t>& src) {
  const uint32_t size = static_cast<uint32_t>(src.size());
  std::vector<uint8_t> dest(size + 8, 0);
  std::vector<int32_t> table(4096, -1);
  // Reads past the end count as 0; their values never change the block.
  auto at = [&](uint32_t i) -> uint32_t { return i < size ? src[i] : 0; };
  dest[0] = 0x40;
  uint32_t x = 0, y = 3, z = 1, bit = 0, command = 0;
  while (x < size && y <= size) {
    if (bit == 16) {
      dest[z] = static_cast<uint8_t>(command >> 8);
      dest[z + 1] = static_cast<uint8_t>(command);
      z = y;
      bit = 0;
      y += 2;
    }
    uint32_t run = 1;
    while (x + run < size && src[x + run] == src[x] && run < 4095) ++run;
    if (run >= 16) {
      dest[y] = 0;
      dest[y + 1] = static_cast<uint8_t>((run - 16) >> 8);
      dest[y + 2] = static_cast<uint8_t>((run - 16) & 0xFF);
      dest[y + 3] = src[x];
      y += 4;
      x += run;
      command = ((command << 1) | 1) & 0xFFFF;
    } else {
      const uint32_t h = ((((at(x) << 8) ^ (at(x + 1) << 4) ^ at(x + 2)) * 40543u) >> 4) & 0x0FFF;
      const int32_t candidate = table[h];
      table[h] = static_cast<int32_t>(x);
      uint32_t length = 0;
      if (candidate != -1 && x - static_cast<uint32_t>(candidate) < 4096) {
        while (length < 18 && x + length < size && src[x + length] == src[static_cast<uint32_t>(candidate) + length]) {
          ++length;
        }
      }
      if (length >= 3) {
        const uint32_t key = ((x - static_cast<uint32_t>(candidate)) << 4) + (length - 3);
        dest[y] = static_cast<uint8_t>(key >> 8);
        dest[y + 1] = static_cast<uint8_t>(key);
        y += 2;
        x += length;
        command = ((command << 1) | 1) & 0xFFFF;
      } else {
        dest[y] = src[x];
        y += 1;
        x += 1;
        command = (command << 1) & 0xFFFF;
      }
    }
    ++bit;
  }
  command = bit == 0 ? 0 : (command << (16 - bit)) & 0xFFFF;
  dest[z] = static_cast<uint8_t>(command >> 8);
  dest[z + 1] = static_cast<uint8_t>(command);
  if (y > size) {
    dest[0] = 0x80;
    for (uint32_t i = 0; i < size; ++i) dest[1 + i] = src[i];
    y = size + 1;
  }
  dest.resize(y);
  return dest;
}

}  // namespace vornix::test

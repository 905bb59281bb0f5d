// The adaptive Huffman tree of the LZH coder and its fixed offset code, on plain arrays so that
// the encoder and the decoder share them.
//
// Node positions 0..626 are kept in ascending frequency (freq[627] is a sentinel of 4095). For an
// inner node, child[pos] is the position of its first child (the second is at +1); a leaf holds
// 627 + symbol. parent[pos] is the position of a node's parent (the root's holds 0), and
// parent[627 + symbol] the position of that symbol's leaf.
#pragma once

#include <cstdint>

#include "compression/unaligned.h"

namespace vornix::lzh {

constexpr int kSymbols = 314;
constexpr int kNodes = 2 * kSymbols - 1;
constexpr int kRoot = kNodes - 1;
constexpr int kFreqLimit = 2048;
// freq has 4 entries past the sentinel, all holding the sentinel's value, so that the update may
// compare 4 frequencies at a time.
constexpr int kFreqEntries = kNodes + 1 + 4;
// parent has one spare entry past the last leaf's: a node's second-child link is written there
// when the node is a leaf (which has none), so that the choice needs no branch.
constexpr int kParentSpare = kNodes + kSymbols;
constexpr int kParentEntries = kParentSpare + 1;

constexpr int16_t kSentinel = 4095;

void InitTree(int16_t* freq, int16_t* parent, int16_t* child);
// Halves every leaf frequency (rounding up) and rebuilds the inner nodes and parent links; leaves of
// equal frequency keep their order and each inner node goes after every node of equal frequency.
void RebuildTree(int16_t* freq, int16_t* parent, int16_t* child);

// Counts one more of symbol, keeping the order of frequencies (rebuilds first at the limit). Inline:
// it runs once per coded symbol on both sides.
inline void UpdateTree(int16_t* freq, int16_t* parent, int16_t* child, int symbol) {
  if (freq[kRoot] == kFreqLimit) RebuildTree(freq, parent, child);
  int c = parent[kNodes + symbol];
  do {
    const int k = ++freq[c];
    // The order broke: swap this node with the last one of lower frequency (the sentinel stops
    // the scan), then go on from there. The nodes passed over all hold k - 1 (they are ordered, and
    // none is below the old k - 1), so whole groups of 4 can be passed at once.
    if (k > freq[c + 1]) {
      int l = c + 1;
      const int16_t run[4] = {static_cast<int16_t>(k - 1), static_cast<int16_t>(k - 1), static_cast<int16_t>(k - 1),
                              static_cast<int16_t>(k - 1)};
      const uint64_t same = LoadU64(reinterpret_cast<const uint8_t*>(run));
      for (;; l += 4) {
        const uint64_t differ = LoadU64(reinterpret_cast<const uint8_t*>(freq + l + 1)) ^ same;
        if (differ != 0) {
          l += static_cast<int>(FirstDifferentByte(differ) / 2);  // the last one still equal
          break;
        }
      }
      freq[c] = freq[l];
      freq[l] = static_cast<int16_t>(k);
      const int i = child[c];
      parent[i] = static_cast<int16_t>(l);
      parent[i < kNodes ? i + 1 : kParentSpare] = static_cast<int16_t>(l);
      const int j = child[l];
      child[l] = static_cast<int16_t>(i);
      parent[j] = static_cast<int16_t>(c);
      parent[j < kNodes ? j + 1 : kParentSpare] = static_cast<int16_t>(c);
      child[c] = static_cast<int16_t>(j);
      c = l;
    }
    c = parent[c];
  } while (c != 0);
}

// The fixed code of the upper 6 bits u of a match offset: its length in bits (3 to 8) and the code
// left-aligned in a byte; and, indexed by the next 8 input bits, the u and code length they start.
struct OffsetTables {
  uint8_t encode_length[64];
  uint8_t encode_code[64];
  uint8_t decode_value[256];
  uint8_t decode_length[256];
};
extern const OffsetTables kOffsetTables;

}  // namespace vornix::lzh

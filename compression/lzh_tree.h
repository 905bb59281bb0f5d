// The adaptive Huffman tree of the LZH coder and its fixed offset code, on plain arrays so that
// the encoder and the decoder share them.
//
// Node positions 0..626 are kept in ascending frequency (freq[627] is a sentinel of 4095). For an
// inner node, child[pos] is the position of its first child (the second is at +1); a leaf holds
// 627 + symbol. parent[pos] is the position of a node's parent (the root's holds 0), and
// parent[627 + symbol] the position of that symbol's leaf.
#pragma once

#include <cstdint>

namespace vornix::lzh {

constexpr int kSymbols = 314;
constexpr int kNodes = 2 * kSymbols - 1;
constexpr int kRoot = kNodes - 1;
constexpr int kFreqLimit = 2048;
// freq has 4 entries past the sentinel, all holding the sentinel's value, so that the update may
// compare 4 frequencies at a time.
constexpr int kFreqEntries = kNodes + 1 + 4;
constexpr int kParentEntries = kNodes + kSymbols;

void InitTree(int16_t* freq, int16_t* parent, int16_t* child);
// Counts one more of symbol, keeping the order of frequencies (rebuilds first at the limit).
void UpdateTree(int16_t* freq, int16_t* parent, int16_t* child, int symbol);
// Halves every leaf frequency (rounding up) and rebuilds the inner nodes and parent links; leaves of
// equal frequency keep their order and each inner node goes after every node of equal frequency.
void RebuildTree(int16_t* freq, int16_t* parent, int16_t* child);

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

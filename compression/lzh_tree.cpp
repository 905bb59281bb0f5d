// The LZH coder's adaptive Huffman tree and offset code tables.
#include "compression/lzh_tree.h"

#include <cstring>

namespace vornix::lzh {
namespace {

constexpr int OffsetCodeLength(int u) { return u < 1 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8; }

// Codes are given in increasing u: code(0) = 0 and code(u + 1) = code(u) + 2^(8 - length(u)).
constexpr OffsetTables MakeOffsetTables() {
  OffsetTables t{};
  int code = 0;
  for (int u = 0; u < 64; ++u) {
    const int length = OffsetCodeLength(u);
    t.encode_length[u] = static_cast<uint8_t>(length);
    t.encode_code[u] = static_cast<uint8_t>(code);
    const int span = 1 << (8 - length);
    for (int i = 0; i < span; ++i) {
      t.decode_value[code + i] = static_cast<uint8_t>(u);
      t.decode_length[code + i] = static_cast<uint8_t>(length);
    }
    code += span;
  }
  return t;
}

}  // namespace

const OffsetTables kOffsetTables = MakeOffsetTables();

void InitTree(int16_t* freq, int16_t* parent, int16_t* child) {
  for (int s = 0; s < kSymbols; ++s) {
    freq[s] = 1;
    child[s] = static_cast<int16_t>(kNodes + s);
    parent[kNodes + s] = static_cast<int16_t>(s);
  }
  for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
    freq[j] = static_cast<int16_t>(freq[i] + freq[i + 1]);
    child[j] = static_cast<int16_t>(i);
    parent[i] = parent[i + 1] = static_cast<int16_t>(j);
  }
  for (int i = kNodes; i < kFreqEntries; ++i) freq[i] = kSentinel;
  parent[kRoot] = 0;
}

void RebuildTree(int16_t* freq, int16_t* parent, int16_t* child) {
  // Past the last leaf and past the last inner node made so far stands a frequency no node has,
  // so that the merge below needs no bounds tests. Both loops choose without branches: which way
  // they go depends on the data.
  constexpr int16_t kNone = 0x7FFF;
  // Gather the leaves in position order; their halved frequencies stay ascending.
  int16_t leaf_freq[kSymbols + 1];
  int16_t leaf_child[kSymbols + 1];
  int leaves = 0;
  for (int i = 0; i < kNodes; ++i) {
    leaf_freq[leaves] = static_cast<int16_t>((freq[i] + 1) / 2);
    leaf_child[leaves] = child[i];
    leaves += child[i] >= kNodes;
  }
  leaf_freq[kSymbols] = kNone;
  // Inner node t joins positions 2t and 2t + 1 and is placed after every node of lower or equal
  // frequency. Inner nodes come out in ascending frequency, and each lands above 2t + 1, so the
  // whole order is a merge of two sorted queues (leaves first on ties): linear time, and the same
  // tree as inserting each new node into place one by one.
  int16_t node_freq[kSymbols];
  node_freq[0] = kNone;
  int next_leaf = 0, next_node = 0;
  auto place = [&](int pos) {
    const int16_t leaf = leaf_freq[next_leaf];
    const int16_t node = node_freq[next_node];
    const bool take_leaf = leaf <= node;
    freq[pos] = take_leaf ? leaf : node;
    child[pos] = take_leaf ? leaf_child[next_leaf] : static_cast<int16_t>(2 * next_node);
    next_leaf += take_leaf;
    next_node += !take_leaf;
  };
  for (int t = 0; t < kSymbols - 1; ++t) {
    place(2 * t);
    place(2 * t + 1);
    node_freq[t] = static_cast<int16_t>(freq[2 * t] + freq[2 * t + 1]);
    node_freq[t + 1] = kNone;
  }
  place(kNodes - 1);
  for (int i = 0; i < kNodes; ++i) {
    const int k = child[i];
    parent[k] = static_cast<int16_t>(i);
    parent[k < kNodes ? k + 1 : kParentSpare] = static_cast<int16_t>(i);
  }
}

}  // namespace vornix::lzh

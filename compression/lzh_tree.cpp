// The LZH coder's adaptive Huffman tree and offset code tables.
#include "compression/lzh_tree.h"

#include <cstring>

namespace vornix::lzh {
namespace {

constexpr int16_t kSentinel = 4095;

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
  // Gather the leaves in position order; their halved frequencies stay ascending.
  int16_t leaf_freq[kSymbols];
  int16_t leaf_child[kSymbols];
  int leaves = 0;
  for (int i = 0; i < kNodes; ++i) {
    if (child[i] >= kNodes) {
      leaf_freq[leaves] = static_cast<int16_t>((freq[i] + 1) / 2);
      leaf_child[leaves] = child[i];
      ++leaves;
    }
  }
  // Inner node t joins positions 2t and 2t + 1 and is placed after every node of lower or equal
  // frequency. Inner nodes come out in ascending frequency, and each lands above 2t + 1, so the
  // whole order is a merge of two sorted queues (leaves first on ties): linear time, and the same
  // tree as inserting each new node into place one by one.
  int16_t node_freq[kSymbols - 1];
  int next_leaf = 0, next_node = 0, created = 0;
  for (int pos = 0; pos < kNodes; ++pos) {
    const bool take_leaf =
        next_leaf < kSymbols && (next_node == created || leaf_freq[next_leaf] <= node_freq[next_node]);
    if (take_leaf) {
      freq[pos] = leaf_freq[next_leaf];
      child[pos] = leaf_child[next_leaf++];
    } else {
      freq[pos] = node_freq[next_node];
      child[pos] = static_cast<int16_t>(2 * next_node++);
    }
    while (created < kSymbols - 1 && 2 * created + 1 <= pos) {
      node_freq[created] = static_cast<int16_t>(freq[2 * created] + freq[2 * created + 1]);
      ++created;
    }
  }
  for (int i = 0; i < kNodes; ++i) {
    const int k = child[i];
    parent[k] = static_cast<int16_t>(i);
    if (k < kNodes) parent[k + 1] = static_cast<int16_t>(i);
  }
}

void UpdateTree(int16_t* freq, int16_t* parent, int16_t* child, int symbol) {
  if (freq[kRoot] == kFreqLimit) RebuildTree(freq, parent, child);
  int c = parent[kNodes + symbol];
  do {
    const int k = ++freq[c];
    // The order broke: swap this node with the last one of lower frequency (the sentinel stops
    // the scan), then go on from there. The nodes passed over all hold k - 1 (they are ordered, and
    // none is below the old k - 1), so whole groups of 4 can be passed at once.
    if (k > freq[c + 1]) {
      int l = c + 1;
      const uint64_t same = 0x0001000100010001ull * static_cast<uint16_t>(k - 1);
      for (uint64_t next;; l += 4) {
        std::memcpy(&next, freq + l + 1, sizeof next);
        if (next != same) break;
      }
      while (k > freq[l + 1]) ++l;
      freq[c] = freq[l];
      freq[l] = static_cast<int16_t>(k);
      const int i = child[c];
      parent[i] = static_cast<int16_t>(l);
      if (i < kNodes) parent[i + 1] = static_cast<int16_t>(l);
      const int j = child[l];
      child[l] = static_cast<int16_t>(i);
      parent[j] = static_cast<int16_t>(c);
      if (j < kNodes) parent[j + 1] = static_cast<int16_t>(c);
      child[c] = static_cast<int16_t>(j);
      c = l;
    }
    c = parent[c];
  } while (c != 0);
}

}  // namespace vornix::lzh

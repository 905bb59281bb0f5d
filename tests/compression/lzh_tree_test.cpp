// The adaptive Huffman tree: the linear-time rebuild gives exactly the tree of inserting each new
// inner node into place one by one, and updates keep the frequencies in order.
#include "compression/lzh_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vornix::lzh {
namespace {

struct Tree {
  std::vector<int16_t> freq = std::vector<int16_t>(kFreqEntries);
  std::vector<int16_t> parent = std::vector<int16_t>(kParentEntries);
  std::vector<int16_t> child = std::vector<int16_t>(kNodes);
  Tree() { InitTree(freq.data(), parent.data(), child.data()); }
  // The spare parent entry past the last leaf's holds nothing of the tree.
  bool operator==(const Tree& other) const {
    return freq == other.freq && child == other.child &&
           std::equal(parent.begin(), parent.begin() + kParentSpare, other.parent.begin());
  }
};

// The rebuild as a sequence of insertions, each shifting the nodes above it up by one.
void RebuildByInsertion(Tree& t) {
  int j = 0;
  for (int i = 0; i < kNodes; ++i) {
    if (t.child[i] >= kNodes) {
      t.freq[j] = static_cast<int16_t>((t.freq[i] + 1) / 2);
      t.child[j] = t.child[i];
      ++j;
    }
  }
  for (int i = 0, jj = kSymbols; jj < kNodes; i += 2, ++jj) {
    const int f = t.freq[i] + t.freq[i + 1];
    int k = jj - 1;
    while (f < t.freq[k]) --k;
    ++k;
    for (int m = jj; m > k; --m) {
      t.freq[m] = t.freq[m - 1];
      t.child[m] = t.child[m - 1];
    }
    t.freq[k] = static_cast<int16_t>(f);
    t.child[k] = static_cast<int16_t>(i);
  }
  for (int i = 0; i < kNodes; ++i) {
    const int k = t.child[i];
    t.parent[k] = static_cast<int16_t>(i);
    if (k < kNodes) t.parent[k + 1] = static_cast<int16_t>(i);
  }
}

TEST(LzhTree, FreshTreeHas198CodesOf8BitsAnd116Of9) {
  Tree t;
  int lengths[20] = {};
  for (int s = 0; s < kSymbols; ++s) {
    int n = 0;
    for (int k = t.parent[kNodes + s]; k != kRoot; k = t.parent[k]) ++n;
    ++lengths[n];
  }
  EXPECT_EQ(lengths[8], 198);
  EXPECT_EQ(lengths[9], 116);
}

// The code of a symbol, read from its leaf up to the root: an odd position is a second child (1).
std::string CodeOf(const Tree& t, int symbol) {
  std::string code;
  for (int k = t.parent[kNodes + symbol]; k != kRoot; k = t.parent[k]) code.insert(code.begin(), k & 1 ? '1' : '0');
  return code;
}

TEST(LzhTree, FreshTreeCodesOfSomeSymbols) {
  Tree t;
  EXPECT_EQ(CodeOf(t, 0x00), "110001100");
  EXPECT_EQ(CodeOf(t, 0x20), "110101100");
  EXPECT_EQ(CodeOf(t, 0x41), "111001101");
  EXPECT_EQ(CodeOf(t, 0xFF), "10001011");
  EXPECT_EQ(CodeOf(t, 256), "10001100");
  EXPECT_EQ(CodeOf(t, 313), "11000101");
}

TEST(LzhTree, LinearRebuildEqualsInsertionRebuild) {
  uint32_t state = 12345;
  for (int round = 0; round < 40; ++round) {
    Tree t;
    // Skewed symbol choices, so that frequencies tie and spread in many ways; stop just before the
    // limit so that UpdateTree's own rebuild does not run first.
    while (t.freq[kRoot] < kFreqLimit - 1) {
      state = state * 1103515245u + 12345u;
      const int symbol = static_cast<int>((state >> 16) % (round % 2 ? 314 : 20 + round));
      UpdateTree(t.freq.data(), t.parent.data(), t.child.data(), symbol);
    }
    Tree expected = t;
    RebuildByInsertion(expected);
    RebuildTree(t.freq.data(), t.parent.data(), t.child.data());
    ASSERT_TRUE(t == expected) << "round " << round;
  }
}

TEST(LzhTree, UpdatesKeepFrequenciesAscendingAcrossRebuilds) {
  Tree t;
  uint32_t state = 99;
  int rebuilds = 0;
  for (int n = 0; n < 20000; ++n) {
    state = state * 1103515245u + 12345u;
    if (t.freq[kRoot] == kFreqLimit) ++rebuilds;
    UpdateTree(t.freq.data(), t.parent.data(), t.child.data(), static_cast<int>((state >> 16) % 100));
    for (int i = 0; i + 1 < kNodes; ++i) ASSERT_LE(t.freq[i], t.freq[i + 1]);
    ASSERT_EQ(t.freq[kNodes], 4095);
  }
  EXPECT_GT(rebuilds, 5);
}

TEST(LzhTree, FirstRebuildComesWithThe1735thSymbol) {
  Tree t;
  for (int n = 1; n <= 1734; ++n) UpdateTree(t.freq.data(), t.parent.data(), t.child.data(), 65);
  EXPECT_EQ(t.freq[kRoot], kFreqLimit);  // 314 + 1734
  UpdateTree(t.freq.data(), t.parent.data(), t.child.data(), 65);
  // 313 leaves of 1 stay 1, the leaf of 1735 becomes 868; then the symbol counts once more.
  EXPECT_EQ(t.freq[kRoot], 313 + 868 + 1);
}

TEST(LzhTree, OffsetCodesMatchTheirTable) {
  const auto& t = kOffsetTables;
  EXPECT_EQ(t.encode_code[0], 0x00);
  EXPECT_EQ(t.encode_length[0], 3);
  EXPECT_EQ(t.encode_code[1], 0x20);
  EXPECT_EQ(t.encode_code[3], 0x40);
  EXPECT_EQ(t.encode_code[4], 0x50);
  EXPECT_EQ(t.encode_code[12], 0x90);
  EXPECT_EQ(t.encode_code[24], 0xC0);
  EXPECT_EQ(t.encode_code[48], 0xF0);
  EXPECT_EQ(t.encode_code[63], 0xFF);
  EXPECT_EQ(t.encode_length[63], 8);
  for (int u = 0; u < 64; ++u) {
    EXPECT_EQ(t.decode_value[t.encode_code[u]], u);
    EXPECT_EQ(t.decode_length[t.encode_code[u]], t.encode_length[u]);
  }
}

}  // namespace
}  // namespace vornix::lzh

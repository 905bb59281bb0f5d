// The LZH encoder: the dictionary trees over the ring, and the coding rounds.
//
// The dictionary is one binary search tree per first byte (roots at RightChild[4097 + b]) holding
// the ring positions of the last 4096 - 60 bytes, ordered by their next 60 bytes taken as unsigned
// values. Parent[p] is NilNode for a position not in a tree; writes through NilNode links land in
// the scratch entry Parent[4096].
#include <cstring>

#include "compression/lzh.h"
#include "compression/lzh_tree.h"
#include "compression/unaligned.h"

namespace vornix {
namespace {

// How the 60 bytes at a ring position compare with the key's, given that their first `start` bytes
// are known to be equal: returns the number of equal bytes (start to 60) and tells whether the key's
// first differing byte is the greater, as unsigned values. Bytes are taken 8 at a time as
// big-endian numbers, so the order of two words is the order of their first differing bytes and
// the direction needs no second look at the bytes: it is on the critical path of the tree walk.
// Loads may reach 7 bytes past the 60th; the window has 8 spare bytes beyond position 4154.
inline int CompareKey(const uint8_t* key, const uint8_t* other, int start, bool& key_greater) {
  // Not unrolled: nearly every compare ends at its first word, and unrolled copies take the
  // registers that the tree walk around it needs.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC unroll 1
#endif
  for (int i = start; i < TLZH::LookAhead; i += 8) {
    uint64_t a = LoadBE64(key + i);
    uint64_t b = LoadBE64(other + i);
    const int counted = TLZH::LookAhead - i;
    if (counted < 8) {
      const uint64_t mask = ~uint64_t{0} << (8 * (8 - counted));
      a &= mask;
      b &= mask;
    }
    key_greater = a > b;
    if (a != b) return i + static_cast<int>(LeadingZeroBytes(a ^ b));
  }
  return TLZH::LookAhead;
}

}  // namespace

void TLZH::InitDictionary() {
  for (int i = RingSize + 1; i <= RingSize + 256; ++i) RightChild[i] = NilNode;
  for (int i = 0; i <= RingSize; ++i) Parent[i] = NilNode;
}

void TLZH::InsertString(int r) {
  int16_t* left = LeftChild.get();
  int16_t* right = RightChild.get();
  int16_t* parent = Parent.get();
  const uint8_t* window = Window.get();
  const uint8_t* key = window + r;
  right[r] = left[r] = NilNode;
  // The best match so far as one number, length above nearness: (length << 12) | (4096 - distance),
  // so that a longer match, or an equally long nearer one, is simply a greater number; 0 is none.
  // Which match is best and which side the walk takes are as good as random, so both are chosen
  // without branches.
  int best = 0;
  // Every key in the subtree being searched lies between the last node the walk went right at and
  // the last it went left at, so it shares with the key at least the shorter of their common
  // prefixes with it (1 at a root: the first byte chose the tree). Comparing from there finds the
  // same first difference with fewer loads.
  int common_below = 1;
  int common_above = 1;
  // Both children of a node are loaded while its bytes are compared, and the comparison only picks
  // one: the walk is a chain of dependent loads, and this takes one load off each step.
  int p = RingSize + 1 + key[0];
  int next = right[p];
  bool went_right = true;  // whether next is p's right child
  int i = 0;
  while (next != NilNode) {
    p = next;
    const int left_child = left[p];
    const int right_child = right[p];
    i = CompareKey(key, window + p, common_below < common_above ? common_below : common_above, went_right);
    const int candidate = (i << 12) | ((p - r) & (RingSize - 1));  // (p - r) mod 4096 = 4096 - distance
    best = (i > Threshold && candidate > best) ? candidate : best;
    if (i >= LookAhead) break;
    next = went_right ? right_child : left_child;
    common_below = went_right ? i : common_below;
    common_above = went_right ? common_above : i;
  }
  MatchLen = static_cast<int16_t>(best >> 12);
  MatchPos = static_cast<int16_t>(RingSize - 1 - (best & (RingSize - 1)));
  if (i < LookAhead) {
    (went_right ? right : left)[p] = static_cast<int16_t>(r);
    parent[r] = static_cast<int16_t>(p);
    return;
  }
  // A full-length match: r takes p's place in the tree, and p leaves it.
  parent[r] = parent[p];
  left[r] = left[p];
  right[r] = right[p];
  parent[left[p]] = static_cast<int16_t>(r);
  parent[right[p]] = static_cast<int16_t>(r);
  if (right[parent[p]] == p) {
    right[parent[p]] = static_cast<int16_t>(r);
  } else {
    left[parent[p]] = static_cast<int16_t>(r);
  }
  parent[p] = NilNode;
}

void TLZH::RemoveString(int p) {
  int16_t* left = LeftChild.get();
  int16_t* right = RightChild.get();
  int16_t* parent = Parent.get();
  if (parent[p] == NilNode) return;
  int q;
  if (right[p] == NilNode) {
    q = left[p];
  } else if (left[p] == NilNode) {
    q = right[p];
  } else {
    // Replace p by its in-order predecessor.
    q = left[p];
    if (right[q] != NilNode) {
      do {
        q = right[q];
      } while (right[q] != NilNode);
      right[parent[q]] = left[q];
      parent[left[q]] = parent[q];
      left[q] = left[p];
      parent[left[p]] = static_cast<int16_t>(q);
    }
    right[q] = right[p];
    parent[right[p]] = static_cast<int16_t>(q);
  }
  parent[q] = parent[p];
  if (right[parent[p]] == p) {
    right[parent[p]] = static_cast<int16_t>(q);
  } else {
    left[parent[p]] = static_cast<int16_t>(q);
  }
  parent[p] = NilNode;
}

void TLZH::EncodeSymbol(const TByteWriter& Writer, int symbol) {
  const int16_t* parent = HuffParent.get();
  uint16_t code = 0;
  int n = 0;
  // Walk from the leaf to the root; an odd position is the second child (bit 1). The bit chosen
  // at the root ends up first.
  int k = parent[NodeCount + symbol];
  do {
    code = static_cast<uint16_t>(code >> 1);
    if (k & 1) code = static_cast<uint16_t>(code + 0x8000);
    ++n;
    k = parent[k];
  } while (k != RootNode);
  WriteBits(Writer, n, code);
  UpdateHuffman(symbol);
}

void TLZH::EncodeOffset(const TByteWriter& Writer, int offset) {
  const int u = offset >> 6;
  WriteBits(Writer, lzh::kOffsetTables.encode_length[u], static_cast<uint16_t>(lzh::kOffsetTables.encode_code[u] << 8));
  WriteBits(Writer, 6, static_cast<uint16_t>((offset & 63) << 10));
}

void TLZH::Encode(TLZHProgress& Progress, TByteReader Reader, TByteWriter Writer, TProgressEvent OnProgress) {
  AllocTables();
  struct Guard {
    TLZH* coder;
    ~Guard() { coder->FreeTables(); }
  } guard{this};
  uint8_t* window = Window.get();
  // Reads one byte; false at the end of the input.
  auto read_byte = [&](uint8_t& byte) {
    uint16_t delivered = 0;
    Reader(&byte, 1, delivered);
    Progress.BytesDone += delivered;
    Progress.BytesIn += delivered;
    return delivered != 0;
  };

  Progress.BytesDone = 0;
  BytesRead = 0;
  int rounds = 0;
  InitHuffman();
  InitDictionary();
  int s = 0;
  int r = RingStart;
  std::memset(window, ' ', RingStart);
  int len = 0;
  for (uint8_t byte; len < LookAhead && read_byte(byte); ++len) window[r + len] = byte;
  BytesRead = len;
  for (int i = 1; i <= LookAhead; ++i) InsertString(r - i);
  InsertString(r);
  do {
    if (OnProgress && rounds % 10 == 0) {
      OnProgress(Progress);
      rounds = 0;
    }
    if (MatchLen > len) MatchLen = static_cast<int16_t>(len);
    if (MatchLen <= Threshold) {
      MatchLen = 1;
      EncodeSymbol(Writer, window[r]);
    } else {
      EncodeSymbol(Writer, 255 - Threshold + MatchLen);
      EncodeOffset(Writer, MatchPos);
    }
    const int last = MatchLen;
    int i = 0;
    for (uint8_t byte; i < last && read_byte(byte); ++i) {
      RemoveString(s);
      window[s] = byte;
      if (s < LookAhead - 1) window[s + RingSize] = byte;
      s = (s + 1) & (RingSize - 1);
      r = (r + 1) & (RingSize - 1);
      InsertString(r);
    }
    BytesRead += i;
    while (i < last) {
      ++i;
      RemoveString(s);
      s = (s + 1) & (RingSize - 1);
      r = (r + 1) & (RingSize - 1);
      if (--len != 0) InsertString(r);
    }
    ++rounds;
  } while (len > 0);
  FlushBits(Writer);
  Progress.BytesDone = BytesRead;
}

}  // namespace vornix

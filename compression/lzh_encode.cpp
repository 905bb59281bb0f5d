// The LZH encoder: the dictionary trees over the ring, the bit output and the coding rounds.
//
// The dictionary is one binary search tree per first byte holding the ring positions of the last
// 4096 - 60 bytes, ordered by their next 60 bytes taken as unsigned values. Node p's left child is
// Children[2p] and its right child Children[2p + 1], side by side so that the tree walk fetches both
// with one load from one base; p runs over the ring positions 0..4095, NilNode (4096) and the roots
// 4097 + b, whose tree hangs at their right link (their left links are never used). Parent[p] is
// NilNode for a position not in a tree; writes through NilNode links land in the scratch entry
// Parent[4096].
#include <cstring>

#include "compression/lzh.h"
#include "compression/lzh_tree.h"
#include "compression/unaligned.h"

namespace vornix {
namespace {

// How the 60 bytes at key and at other compare, given that their first `start` bytes are equal:
// returns the number of equal bytes and tells whether the key's first differing byte is the
// greater, as unsigned values. The count comes from the lowest differing byte of two little-endian
// words (a trailing-zero count, quick on current machines), the order from the same words as
// big-endian numbers, whose order is that of their first differing bytes: the two are worked out
// side by side. A difference past the 60th byte gives a count of 60 to 66, which the caller takes
// as 60; the order of a full-length match is never used. Loads may reach 7 bytes past the 60th;
// the window has 8 spare bytes beyond position 4154.
inline int CompareKey(const uint8_t* key, const uint8_t* other, int start, bool& key_greater) {
  uint64_t a = LoadU64(key + start);
  uint64_t b = LoadU64(other + start);
  // Nearly every compare ends at its first word; the loop only runs for longer shared prefixes.
  while (a == b) {
    start += 8;
    if (start >= TLZH::LookAhead) return TLZH::LookAhead;
    a = LoadU64(key + start);
    b = LoadU64(other + start);
  }
  key_greater = LoadBE64(key + start) > LoadBE64(other + start);
  return start + static_cast<int>(FirstDifferentByte(a ^ b));
}

// Children seen as each node's left and right links (laid out as above); Child(p, true) is the right.
struct ChildLinks {
  int16_t* links;
  int16_t& Child(size_t p, bool right) const { return links[2 * p + right]; }
  int16_t& Left(size_t p) const { return links[2 * p]; }
  int16_t& Right(size_t p) const { return links[2 * p + 1]; }
  // Both links of p in one load, the left one in the low half.
  uint32_t Both(size_t p) const {
    uint32_t word;
    std::memcpy(&word, links + 2 * p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = (word << 16) | (word >> 16);
#endif
    return word;
  }
};

}  // namespace

void TLZH::InitDictionary() {
  const ChildLinks tree{Children.get()};
  for (int i = RingSize + 1; i <= RingSize + 256; ++i) tree.Right(i) = NilNode;
  for (int i = 0; i <= RingSize; ++i) Parent[i] = NilNode;
}

void TLZH::InsertString(int r) {
  const ChildLinks tree{Children.get()};
  int16_t* parent = Parent.get();
  const uint8_t* window = Window.get();
  const uint8_t* key = window + r;
  tree.Right(r) = tree.Left(r) = NilNode;
  // The best match so far as one number, length above nearness: (length << 12) | (4096 - distance),
  // so that a longer match, or an equally long nearer one, is simply a greater number. Lengths of 2
  // or less may win too: the coder takes any match that short as a literal.
  int best = 0;
  // Every key in the subtree being searched lies between the last node the walk went right at and
  // the last it went left at, so it shares with the key at least the shorter of their common
  // prefixes with it (1 at a root: the first byte chose the tree). Comparing from any count up to
  // that finds the same first difference; the walk compares from the one known a step earlier, so
  // that where the next compare loads does not wait for the current one.
  int common_below = 1;
  int common_above = 1;
  int start = 1;
  // The walk is a chain of dependent loads, and which side it takes is as good as random: both
  // children are loaded while the bytes are compared, in one word (left low, right high), and the
  // side picks one by a shift, which the compiler cannot turn into a branch.
  size_t p = RingSize + 1 + key[0];
  size_t next = static_cast<uint16_t>(tree.Right(p));
  int i = 0;  // stays 0 when the tree is empty
  while (next != NilNode) {
    p = next;
    const uint32_t children = tree.Both(p);
    bool key_greater = false;
    i = CompareKey(key, window + p, start, key_greater);
    const int nearness = static_cast<int>(p - r) & (RingSize - 1);  // (p - r) mod 4096 = 4096 - distance
    if (i >= LookAhead) {
      i = LookAhead;
      best = (LookAhead << 12) | nearness;
      break;
    }
    const int candidate = (i << 12) | nearness;
    best = candidate > best ? candidate : best;
    next = (children >> (16 * key_greater)) & 0xFFFF;
    start = common_below < common_above ? common_below : common_above;
    common_below = key_greater ? i : common_below;
    common_above = key_greater ? common_above : i;
  }
  MatchLen = static_cast<int16_t>(best >> 12);
  MatchPos = static_cast<int16_t>(RingSize - 1 - (best & (RingSize - 1)));
  if (i < LookAhead) {
    // r hangs below the last node, on the side its first differing byte (byte i) says; an empty
    // tree takes it at the root's right link.
    tree.Child(p, i == 0 || key[i] > window[p + i]) = static_cast<int16_t>(r);
    parent[r] = static_cast<int16_t>(p);
    return;
  }
  // A full-length match: r takes p's place in the tree, and p leaves it.
  parent[r] = parent[p];
  tree.Left(r) = tree.Left(p);
  tree.Right(r) = tree.Right(p);
  parent[tree.Left(p)] = static_cast<int16_t>(r);
  parent[tree.Right(p)] = static_cast<int16_t>(r);
  tree.Child(parent[p], tree.Right(parent[p]) == static_cast<int16_t>(p)) = static_cast<int16_t>(r);
  parent[p] = NilNode;
}

void TLZH::RemoveString(int p) {
  const ChildLinks tree{Children.get()};
  int16_t* parent = Parent.get();
  if (parent[p] == NilNode) return;
  int q;
  if (tree.Right(p) == NilNode) {
    q = tree.Left(p);
  } else if (tree.Left(p) == NilNode) {
    q = tree.Right(p);
  } else {
    // Replace p by its in-order predecessor.
    q = tree.Left(p);
    if (tree.Right(q) != NilNode) {
      do {
        q = tree.Right(q);
      } while (tree.Right(q) != NilNode);
      tree.Right(parent[q]) = tree.Left(q);
      parent[tree.Left(q)] = parent[q];
      tree.Left(q) = tree.Left(p);
      parent[tree.Left(p)] = static_cast<int16_t>(q);
    }
    tree.Right(q) = tree.Right(p);
    parent[tree.Right(p)] = static_cast<int16_t>(q);
  }
  parent[q] = parent[p];
  tree.Child(parent[p], tree.Right(parent[p]) == p) = static_cast<int16_t>(q);
  parent[p] = NilNode;
}

void TLZH::WriteBits(const TByteWriter& Writer, int n, uint16_t v) {
  uint16_t written = 0;
  OutBits = static_cast<uint16_t>(OutBits | (v >> OutBitCount));
  OutBitCount = static_cast<uint8_t>(OutBitCount + n);
  if (OutBitCount >= 8) {
    uint8_t byte = static_cast<uint8_t>(OutBits >> 8);
    Writer(&byte, 1, written);
    OutBitCount = static_cast<uint8_t>(OutBitCount - 8);
    if (OutBitCount >= 8) {
      byte = static_cast<uint8_t>(OutBits);
      Writer(&byte, 1, written);
      OutBitCount = static_cast<uint8_t>(OutBitCount - 8);
      OutBits = static_cast<uint16_t>(v << (n - OutBitCount));
    } else {
      OutBits = static_cast<uint16_t>(OutBits << 8);
    }
  }
}

void TLZH::FlushBits(const TByteWriter& Writer) {
  if (OutBitCount == 0) return;
  uint8_t byte = static_cast<uint8_t>(OutBits >> 8);
  uint16_t written = 0;
  Writer(&byte, 1, written);
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

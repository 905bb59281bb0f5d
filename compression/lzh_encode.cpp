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

// Number of equal bytes at key[1..] and other[1..], plus the first byte (equal by the tree's
// choice of root): 1 to 60. Loads 8 bytes at a time; both windows have 8 spare bytes beyond
// position 4154, the last a 60-byte compare reaches.
int CommonLength(const uint8_t* key, const uint8_t* other) {
  for (int i = 1; i < TLZH::LookAhead; i += 8) {
    const uint64_t diff = LoadU64(key + i) ^ LoadU64(other + i);
    if (diff != 0) {
      const int length = i + static_cast<int>(FirstDifferentByte(diff));
      return length < TLZH::LookAhead ? length : TLZH::LookAhead;
    }
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
  // The best match so far, kept in locals and chosen without branches: which side the search
  // takes and whether a node beats the best are as good as random, and mispredicted branches
  // would cost more than the whole compare.
  int best_length = 0;
  int best_offset = 0;
  int cmp = 1;
  int p = RingSize + 1 + key[0];
  for (;;) {
    int16_t* link = (cmp >= 0 ? right : left) + p;
    if (*link == NilNode) {
      *link = static_cast<int16_t>(r);
      parent[r] = static_cast<int16_t>(p);
      MatchLen = static_cast<int16_t>(best_length);
      MatchPos = static_cast<int16_t>(best_offset);
      return;
    }
    p = *link;
    const int i = CommonLength(key, window + p);
    const int c = ((r - p) & (RingSize - 1)) - 1;
    // Longer wins; among equally long matches the nearest wins.
    const bool better = i > Threshold && (i > best_length || (i == best_length && c < best_offset));
    best_length = better ? i : best_length;
    best_offset = better ? c : best_offset;
    if (i >= LookAhead) break;
    cmp = int{key[i]} - int{window[p + i]};
  }
  MatchLen = static_cast<int16_t>(best_length);
  MatchPos = static_cast<int16_t>(best_offset);
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

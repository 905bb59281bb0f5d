// The LZH coder's tables, its bit input and the decoder.
#include "compression/lzh.h"

#include <cstring>
#include <new>

#include "compression/lzh_tree.h"

namespace vornix {
namespace {

const char kNoTableMemory[] = "LZH : Cannot get memory for dictionary tables";
const char kStreamCutShort[] = "LZH : Unexpected end of the code stream";

// The ring plus the 59 mirror bytes that let a 60-byte compare run without wrapping, plus 8 bytes
// so that the compare may load 8 bytes at a time past its last position.
constexpr int kWindowBytes = TLZH::RingSize + TLZH::LookAhead - 1;
constexpr int kWindowAllocation = kWindowBytes + 8;
// A left and a right link for every ring position, the nil node and the 256 roots.
constexpr int kChildLinks = 2 * (TLZH::RingSize + 1 + 256);

template <typename T>
std::unique_ptr<T[]> Allocate(int count) {
  std::unique_ptr<T[]> block(new (std::nothrow) T[count]);
  if (!block) throw ElzhException(kNoTableMemory);
  return block;
}

}  // namespace

void TLZH::AllocTables() {
  InBits = 0;
  InBitCount = 0;
  OutBitCount = 0;
  OutBits = 0;
  BytesRead = 0;
  MatchPos = 0;
  MatchLen = 0;
  MissingBytes = 0;
  try {
    Children = Allocate<int16_t>(kChildLinks);
    Parent = Allocate<int16_t>(RingSize + 1);
    Window = Allocate<uint8_t>(kWindowAllocation);
    Freq = Allocate<int16_t>(lzh::kFreqEntries);
    HuffParent = Allocate<int16_t>(lzh::kParentEntries);
    HuffChild = Allocate<int16_t>(NodeCount);
  } catch (...) {
    FreeTables();
    throw;
  }
  // Cleared whole so that ring bytes read before they are written (the look-ahead of a short input,
  // the mirror bytes) are 0x00 and the encoder's output is the same on every run.
  std::memset(Window.get(), 0, kWindowAllocation);
}

void TLZH::FreeTables() {
  HuffChild.reset();
  HuffParent.reset();
  Freq.reset();
  Window.reset();
  Parent.reset();
  Children.reset();
}

void TLZH::InitHuffman() { lzh::InitTree(Freq.get(), HuffParent.get(), HuffChild.get()); }

void TLZH::RebuildHuffman() { lzh::RebuildTree(Freq.get(), HuffParent.get(), HuffChild.get()); }

void TLZH::UpdateHuffman(int symbol) { lzh::UpdateTree(Freq.get(), HuffParent.get(), HuffChild.get(), symbol); }

// Keeps at least 9 bits in InBits; a byte the reader no longer delivers reads as 0x00.
inline void TLZH::RefillBits(const TByteReader& Reader) {
  while (InBitCount <= 8) {
    uint8_t byte = 0;
    uint16_t delivered = 0;
    Reader(&byte, 1, delivered);
    if (delivered == 0) {
      byte = 0;
      ++MissingBytes;
    }
    InBits = static_cast<uint16_t>(InBits | (byte << (8 - InBitCount)));
    InBitCount = static_cast<uint8_t>(InBitCount + 8);
  }
}

inline int TLZH::ReadByte(const TByteReader& Reader) {
  RefillBits(Reader);
  const int byte = InBits >> 8;
  InBits = static_cast<uint16_t>(InBits << 8);
  InBitCount = static_cast<uint8_t>(InBitCount - 8);
  return byte;
}

// The last MissingBytes * 8 bits taken into InBits were made up; while InBits still holds at least
// that many, every bit consumed so far was real.
void TLZH::CheckStreamEnd() const {
  if (MissingBytes > 0 && InBitCount < 8 * MissingBytes) throw ElzhException(kStreamCutShort);
}

int TLZH::DecodeSymbol(const TByteReader& Reader) {
  const int16_t* child = HuffChild.get();
  int c = child[RootNode];
  // The walk down the tree takes one bit per level, refilling the bit buffer whenever it holds 8
  // bits or fewer; the buffer stays in locals for the length of the walk.
  uint32_t bits = InBits;
  int count = InBitCount;
  while (c < NodeCount) {
    if (count <= 8) {
      InBits = static_cast<uint16_t>(bits);
      InBitCount = static_cast<uint8_t>(count);
      RefillBits(Reader);
      bits = InBits;
      count = InBitCount;
    }
    c = child[c + (bits >> 15)];
    bits = (bits << 1) & 0xFFFF;
    --count;
  }
  InBits = static_cast<uint16_t>(bits);
  InBitCount = static_cast<uint8_t>(count);
  const int symbol = c - NodeCount;
  UpdateHuffman(symbol);
  return symbol;
}

int TLZH::DecodeOffset(const TByteReader& Reader) {
  int i = ReadByte(Reader);
  const int upper = lzh::kOffsetTables.decode_value[i] << 6;
  // The code's remaining 1 to 6 bits, taken at once: one refill leaves at least 9 bits. The bits
  // are those ReadBit would take one by one; the next byte is only fetched later.
  const int extra = lzh::kOffsetTables.decode_length[i] - 2;
  RefillBits(Reader);
  i = (i << extra) | (InBits >> (16 - extra));
  InBits = static_cast<uint16_t>(InBits << extra);
  InBitCount = static_cast<uint8_t>(InBitCount - extra);
  return upper | (i & 63);
}

void TLZH::Decode(int64_t OriginalSize, TByteReader Reader, TByteWriter Writer) {
  AllocTables();
  struct Guard {
    TLZH* coder;
    ~Guard() { coder->FreeTables(); }
  } guard{this};
  InitHuffman();
  uint8_t* window = Window.get();
  std::memset(window, ' ', RingStart);
  int r = RingStart;
  int64_t count = 0;
  uint16_t written = 0;
  while (count < OriginalSize) {
    const int c = DecodeSymbol(Reader);
    if (c < 256) {
      CheckStreamEnd();
      const uint8_t byte = static_cast<uint8_t>(c);
      Writer(&byte, 1, written);
      window[r] = byte;
      r = (r + 1) & (RingSize - 1);
      ++count;
      continue;
    }
    const int start = r - DecodeOffset(Reader) - 1;
    CheckStreamEnd();
    const int length = c - 253;
    for (int k = 0; k < length; ++k) {
      const uint8_t byte = window[(start + k) & (RingSize - 1)];
      Writer(&byte, 1, written);
      window[r] = byte;
      r = (r + 1) & (RingSize - 1);
    }
    count += length;
  }
}

}  // namespace vornix

// TLZH: the LZH coder. LZSS over a 4096-byte ring (matches of 3 to 60 bytes found through binary
// search trees) whose literals and match lengths share one adaptive Huffman code of 314 symbols,
// and whose match offsets use a fixed prefix code for their upper 6 bits plus 6 plain bits. The
// tree is rebuilt when the root frequency reaches 2048. A whole stream is coded in one call; bytes
// come and go one at a time through the caller's reader and writer. The bit stream is described in
// docs/container-format.md.
#pragma once

#include <cstdint>
#include <memory>

#include "runtime/bound_handler.h"
#include "runtime/exception.h"

namespace vornix {

class ElzhException : public Exception {
 public:
  using Exception::Exception;
};

// The caller's progress record: BytesIn is a running count the coder adds to and never resets,
// BytesDone the input bytes consumed by the current Encode.
struct TLZHProgress {
  int64_t BytesIn = 0;
  int64_t BytesDone = 0;
};

// Delivers up to count input bytes into buffer and reports how many; 0 means the input is
// exhausted, and it goes on answering 0 when asked again.
using TByteReader = TBoundHandler<void(uint8_t* buffer, uint16_t count, uint16_t& delivered)>;
// Takes count output bytes; reports failures by raising.
using TByteWriter = TBoundHandler<void(const uint8_t* buffer, uint16_t count, uint16_t& written)>;
using TProgressEvent = TBoundHandler<void(TLZHProgress& progress)>;

class TLZH {
 public:
  static constexpr int RingSize = 4096;
  static constexpr int LookAhead = 60;
  static constexpr int Threshold = 2;
  static constexpr int RingStart = RingSize - LookAhead;
  static constexpr int NilNode = RingSize;
  static constexpr int SymbolCount = 256 + LookAhead - Threshold;
  static constexpr int NodeCount = 2 * SymbolCount - 1;
  static constexpr int RootNode = NodeCount - 1;
  static constexpr int FreqLimit = 2048;

  // Reads the whole input through Reader and writes the bit stream through Writer; leaves the
  // number of input bytes in Progress.BytesDone. OnProgress, when set, is called on the first
  // coding round and on every tenth after it.
  void Encode(TLZHProgress& Progress, TByteReader Reader, TByteWriter Writer, TProgressEvent OnProgress);

  // Writes OriginalSize decoded bytes (or up to 59 more when the last match runs past it) through
  // Writer. Raises ElzhException when the stream ends before the symbols it holds do, that is
  // when a symbol needs bits past the last byte Reader delivered.
  void Decode(int64_t OriginalSize, TByteReader Reader, TByteWriter Writer);

 private:
  void AllocTables();
  void FreeTables();
  void InitDictionary();
  void InsertString(int r);
  void RemoveString(int p);
  void InitHuffman();
  void RebuildHuffman();
  void UpdateHuffman(int symbol);
  int ReadByte(const TByteReader& Reader);
  void RefillBits(const TByteReader& Reader);
  void CheckStreamEnd() const;
  void WriteBits(const TByteWriter& Writer, int n, uint16_t v);
  void FlushBits(const TByteWriter& Writer);
  void EncodeSymbol(const TByteWriter& Writer, int symbol);
  void EncodeOffset(const TByteWriter& Writer, int offset);
  int DecodeSymbol(const TByteReader& Reader);
  int DecodeOffset(const TByteReader& Reader);

  uint16_t InBits = 0;
  uint8_t InBitCount = 0;
  uint8_t OutBitCount = 0;
  uint16_t OutBits = 0;
  int64_t BytesRead = 0;
  int16_t MatchPos = 0;
  int16_t MatchLen = 0;
  // Zero bytes that stand in for input the reader no longer delivered; the stream was cut short
  // if a symbol reaches into them.
  int32_t MissingBytes = 0;
  std::unique_ptr<uint8_t[]> Window;
  // The dictionary trees' left and right child links, interleaved (laid out in lzh_encode.cpp).
  std::unique_ptr<int16_t[]> Children;
  std::unique_ptr<int16_t[]> Parent;
  std::unique_ptr<int16_t[]> Freq;
  std::unique_ptr<int16_t[]> HuffParent;
  std::unique_ptr<int16_t[]> HuffChild;
};

}  // namespace vornix

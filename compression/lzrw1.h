// Tlzrw1: the compressed stream container. Turns a named file or a caller's stream into a
// compressed stream (an 8-byte header naming the method and the original size, then LZRW1/KH blocks
// or one LZH code stream) and back, owns all input and output, the buffers, the choice of coder,
// the size check and every error message. The format is described in docs/container-format.md.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "compression/lzh.h"
#include "compression/lzrw1kh.h"
#include "runtime/bound_handler.h"
#include "runtime/exception.h"
#include "runtime/stream.h"

namespace vornix {

class ELzrw1Exception : public Exception {
 public:
  using Exception::Exception;
};

// Method identifiers, stored little-endian in the first 4 bytes of a stream: "LZRW" and "LZH!"
// read from the most significant byte.
constexpr uint32_t LzrwHeaderId = 0x4C5A5257;
constexpr uint32_t LzhHeaderId = 0x4C5A4821;

class Tlzrw1 {
 public:
  static constexpr int32_t kWindowSize = 32768;
  static constexpr int32_t kBufferSize = kWindowSize + 16;

  Tlzrw1();

  // Decodes the input into the output and returns the bytes written (the header's original size,
  // an unsigned 32-bit count).
  int64_t Decompress();
  // Codes the input with CompressionMethod (0 LZH, 1 LZRW1/KH, 2 ask Advise, others LZH) and
  // returns the bytes written, the 8-byte header included. Progress goes to the LZH coder. An input
  // of 2^32 bytes or more does not fit the header's size field and fails as a size not learnt.
  int64_t Compress(TLZHProgress& Progress);
  // True when LZRW1/KH codes two samples of the input below AdvicePercent per cent of their size.
  // Inputs below 98304 bytes are not sampled: the result is false and CompressionMethod becomes 0.
  bool Advise();

  // Raise the read or write error of the current mode unless actual equals expected.
  void CheckRead(int32_t actual, int32_t expected);
  void CheckWrite(int32_t actual, int32_t expected);

  // The LZH coder's byte source and sink, one byte per call in practice: that case is inline and
  // needs no registers saved; any other count, the window refill and the flush are not inline.
  void CoderRead(uint8_t* dest, uint16_t count, uint16_t& delivered) {
    const int32_t position = ReadPos;
    if (count == 1 && position <= ReadFill) {
      *dest = ReadWindow[position - 1];
      ReadPos = static_cast<uint16_t>(position + 1);
      delivered = 1;
      return;
    }
    ReadMany(dest, count, delivered);
  }
  void CoderWrite(const uint8_t* source, uint16_t count, uint16_t& written) {
    const int32_t position = WritePos;
    if (count == 1 && position <= kWindowSize) {
      WriteWindow[position - 1] = *source;
      WritePos = static_cast<uint16_t>(position + 1);
      written = 1;
      return;
    }
    WriteMany(source, count, written);
  }

  TProgressEvent OnProgress;
  // Decompression of LZRW1/KH in stream mode: when set, each block that must decode to 32768 bytes
  // (every block but the stream's last) is offered here still coded. A taker that answers true
  // decodes the block into the output in its place, maybe in another thread, and answers itself for
  // a block that decodes to fewer bytes (a damaged stream); the container counts the block written.
  // The block's bytes are reused once the handler returns.
  TBoundHandler<bool(const uint8_t* Block, uint16_t Length)> OnFullBlock;
  TLZH LzhCoder;
  TLZR LzrCoder;
  std::string InputFile;
  std::string OutputFile;
  uint8_t CompressionMethod = 0;
  bool UseStreams = false;
  TStream* InputStream = nullptr;
  TStream* OutputStream = nullptr;
  int32_t AdvicePercent = 40;
  uint8_t* ReadWindow = nullptr;
  uint8_t* WriteWindow = nullptr;
  std::unique_ptr<uint8_t[]> InBuffer;
  std::unique_ptr<uint8_t[]> OutBuffer;
  int32_t InHandle = 0;
  int32_t OutHandle = 0;
  int32_t BlockLength = 0;
  int32_t BlockResult = 0;
  int32_t LastCount = 0;
  uint32_t HeaderIdRead = 0;
  uint32_t HeaderIdWrite = 0;
  int64_t BytesWritten = 0;
  int64_t InputSize = 0;
  int32_t ReadFill = 0;
  uint16_t ReadPos = 0;
  uint16_t WritePos = 0;
  TByteReader ReadCallback;
  TByteWriter WriteCallback;

 private:
  // Releases the buffers and closes the files of one operation, whichever way it ends.
  class OperationGuard;

  void ReadMany(uint8_t* dest, uint16_t count, uint16_t& delivered);
  void WriteMany(const uint8_t* source, uint16_t count, uint16_t& written);
  void RefillAndRead(uint8_t* dest, uint16_t count, uint16_t& delivered);
  void FlushAndWrite(const uint8_t* source, uint16_t count, uint16_t& written);
  void AllocateBuffers(const char* failure);
  int32_t ReadInput(void* buffer, int32_t count);
  int32_t WriteOutput(const void* buffer, int32_t count);
  void ReadChecked(void* buffer, int32_t count);
  void WriteChecked(const void* buffer, int32_t count);
  int64_t LearnInputSize(const char* stream_failure, const char* file_failure);
  void PrepareInputAndOutput();
  void DeleteOutputAfterFailure();
  // Raises the read error of the current mode, with suffix naming the coder where one was reading.
  [[noreturn]] void FailRead(const char* suffix);
  void BindCallbacks();
  void DecompressLzrw();
  void DecompressLzh();
  void CompressLzrw();
  void CompressLzh(TLZHProgress& Progress);
  int32_t ReadSample(int64_t offset);
};

}  // namespace vornix

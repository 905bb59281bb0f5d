// The container's write side: compression with either method, and the advice between them.
#include <cstdint>

#include "compression/lzrw1.h"
#include "compression/lzrw1_messages.h"
#include "compression/lzrw1_operation.h"
#include "compression/unaligned.h"

namespace vornix {

using namespace lzrw1_messages;

namespace {

enum Method : uint8_t { kMethodLzh = 0, kMethodLzrw = 1, kMethodAdvise = 2 };

// Inputs below three blocks are not sampled.
constexpr int32_t kAdviseMinimumSize = 3 * Tlzrw1::kWindowSize;

int64_t RoundDownToWindow(int64_t offset) { return offset / Tlzrw1::kWindowSize * Tlzrw1::kWindowSize; }

}  // namespace

// The whole size of the input, whatever the stream's position; sizes the unsigned 32-bit header
// field cannot hold fail like a size that cannot be learnt.
int64_t Tlzrw1::LearnInputSize(const char* stream_failure, const char* file_failure) {
  int64_t size = -1;
  if (UseStreams) {
    size = InputStream->Size();
  } else {
    FileOwner probe(FileOpenRead(InputFile));
    if (probe.IsOpen()) size = FileSeek(probe.Get(), 0, SeekOrigin::End);
  }
  if (size < 0 || size > int64_t{UINT32_MAX}) {
    throw ELzrw1Exception(UseStreams ? std::string(stream_failure) : file_failure + InputFile);
  }
  return size;
}

int64_t Tlzrw1::Compress(TLZHProgress& Progress) {
  uint8_t method = CompressionMethod == kMethodLzrw ? kMethodLzrw : kMethodLzh;
  if (CompressionMethod == kMethodAdvise) method = Advise() ? kMethodLzrw : kMethodLzh;
  OperationGuard guard(*this);
  AllocateBuffers(kNoBufferMemory);
  HeaderIdWrite = method == kMethodLzrw ? LzrwHeaderId : LzhHeaderId;
  InHandle = 0;
  OutHandle = 0;
  if (UseStreams && InputStream == nullptr) throw ELzrw1Exception(kInitInputStream);
  InputSize = LearnInputSize(kSizeStream, kSizeFile);
  PrepareInputAndOutput();
  try {
    uint8_t header[8];
    StoreLE32(header, HeaderIdWrite);
    StoreLE32(header + 4, static_cast<uint32_t>(InputSize));
    WriteChecked(header, 4);
    BytesWritten = 4;
    WriteChecked(header + 4, 4);
    BytesWritten += 4;
    if (method == kMethodLzrw) {
      CompressLzrw();
    } else {
      CompressLzh(Progress);
    }
  } catch (...) {
    DeleteOutputAfterFailure();
    throw;
  }
  return BytesWritten;
}

void Tlzrw1::CompressLzrw() {
  BlockLength = kWindowSize;
  // The first read short of a whole window makes the last block, possibly of no bytes at all.
  while (BlockLength == kWindowSize) {
    BlockLength = ReadInput(InBuffer.get(), kWindowSize);
    if (BlockLength < 0) FailRead(kLzrwSuffix);
    BlockResult = LzrCoder.CompressBlock(InBuffer.get(), OutBuffer.get(), static_cast<uint16_t>(BlockLength));
    const uint8_t length[2] = {static_cast<uint8_t>(BlockResult), static_cast<uint8_t>(BlockResult >> 8)};
    int32_t done = WriteOutput(length, 2);
    CheckWrite(done, 2);
    BytesWritten += done;
    done = WriteOutput(OutBuffer.get(), BlockResult);
    CheckWrite(done, BlockResult);
    BytesWritten += done;
  }
}

void Tlzrw1::CompressLzh(TLZHProgress& Progress) {
  BindCallbacks();
  ReadFill = 0;
  ReadPos = 1;
  WritePos = 1;
  LzhCoder.Encode(Progress, ReadCallback, WriteCallback, OnProgress);
  uint16_t unused = 0;
  CoderWrite(nullptr, 0, unused);
}

int32_t Tlzrw1::ReadSample(int64_t offset) {
  if (UseStreams) {
    InputStream->Seek(offset, SeekOrigin::Beginning);
  } else {
    FileSeek(InHandle, offset, SeekOrigin::Beginning);
  }
  BlockLength = ReadInput(InBuffer.get(), kWindowSize);
  if (BlockLength < 0) {
    throw ELzrw1Exception(UseStreams ? std::string(kAdviseReadStream) : kAdviseReadFile + InputFile);
  }
  return BlockLength;
}

bool Tlzrw1::Advise() {
  bool result = false;
  if (UseStreams && InputStream == nullptr) throw ELzrw1Exception(kAdviseInitStream);
  const int64_t position = UseStreams ? InputStream->Position() : 0;
  OperationGuard guard(*this);
  AllocateBuffers(kAdviseNoBuffers);
  InHandle = 0;
  InputSize = LearnInputSize(kAdviseSizeStream, kAdviseSizeFile);
  if (UseStreams) {
    if (InputStream->Seek(0, SeekOrigin::Beginning) < 0) throw ELzrw1Exception(kAdviseInitStream);
  } else {
    InHandle = FileOpenRead(InputFile);
    if (InHandle < 0) throw ELzrw1Exception(kAdviseOpenFile + InputFile);
  }
  // From the rewind on, the stream goes back where it was, whatever happens.
  struct RestorePosition {
    TStream* stream;
    int64_t position;
    ~RestorePosition() {
      if (stream != nullptr) stream->Seek(position, SeekOrigin::Beginning);
    }
  } restore{UseStreams ? InputStream : nullptr, position};

  if (InputSize < kAdviseMinimumSize) {
    CompressionMethod = kMethodLzh;
    return result;
  }
  const int64_t size = InputSize;
  const int32_t s1 = ReadSample(RoundDownToWindow(size / 3));
  const int32_t c1 = LzrCoder.CompressBlock(InBuffer.get(), OutBuffer.get(), static_cast<uint16_t>(s1));
  const int32_t s2 = ReadSample(RoundDownToWindow(2 * size / 3));
  const int32_t c2 = LzrCoder.CompressBlock(InBuffer.get(), OutBuffer.get(), static_cast<uint16_t>(s2));
  result = c1 + c2 < int64_t{AdvicePercent} * (s1 + s2) / 100;
  return result;
}

}  // namespace vornix

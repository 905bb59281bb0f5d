// The container's shared operations (transfers, checks) and decompression.
#include "compression/lzrw1.h"

#include <cstring>
#include <new>

#include "compression/lzrw1_messages.h"
#include "compression/lzrw1_operation.h"
#include "compression/unaligned.h"

namespace vornix {

using namespace lzrw1_messages;

namespace {

// The writer never stores a block longer than 32768 bytes plus the stored-block flag.
constexpr int32_t kMaxStoredLength = 32769;

}  // namespace

Tlzrw1::Tlzrw1() = default;

void Tlzrw1::AllocateBuffers(const char* failure) {
  InBuffer.reset(new (std::nothrow) uint8_t[kBufferSize]);
  OutBuffer.reset(new (std::nothrow) uint8_t[kBufferSize]);
  if (!InBuffer || !OutBuffer) {
    InBuffer.reset();
    OutBuffer.reset();
    throw ELzrw1Exception(failure);
  }
  ReadWindow = InBuffer.get();
  WriteWindow = OutBuffer.get();
}

int32_t Tlzrw1::ReadInput(void* buffer, int32_t count) {
  LastCount = UseStreams ? InputStream->Read(buffer, count) : FileRead(InHandle, buffer, count);
  return LastCount;
}

int32_t Tlzrw1::WriteOutput(const void* buffer, int32_t count) {
  LastCount = UseStreams ? OutputStream->Write(buffer, count) : FileWrite(OutHandle, buffer, count);
  return LastCount;
}

void Tlzrw1::FailRead(const char* suffix) {
  if (UseStreams) throw ELzrw1Exception(kReadStream + std::string(suffix));
  throw ELzrw1Exception(kReadFile + InputFile + suffix);
}

void Tlzrw1::CheckRead(int32_t actual, int32_t expected) {
  if (actual != expected) FailRead("");
}

void Tlzrw1::CheckWrite(int32_t actual, int32_t expected) {
  if (actual == expected) return;
  if (UseStreams) throw ELzrw1Exception(kWriteStream);
  throw ELzrw1Exception(kWriteFile + OutputFile);
}

void Tlzrw1::ReadChecked(void* buffer, int32_t count) { CheckRead(ReadInput(buffer, count), count); }

void Tlzrw1::WriteChecked(const void* buffer, int32_t count) { CheckWrite(WriteOutput(buffer, count), count); }

void Tlzrw1::PrepareInputAndOutput() {
  if (UseStreams) {
    if (InputStream == nullptr || InputStream->Seek(0, SeekOrigin::Current) < 0) {
      throw ELzrw1Exception(kInitInputStream);
    }
    if (OutputStream == nullptr || OutputStream->Seek(0, SeekOrigin::Current) < 0) {
      throw ELzrw1Exception(kInitOutputStream);
    }
    return;
  }
  InHandle = FileOpenRead(InputFile);
  if (InHandle < 0) throw ELzrw1Exception(kOpenInputFile + InputFile);
  OutHandle = FileCreate(OutputFile);
  if (OutHandle < 0) throw ELzrw1Exception(kOpenOutputFile + OutputFile);
}

void Tlzrw1::DeleteOutputAfterFailure() {
  if (UseStreams) return;
  if (OutHandle > 0) FileClose(OutHandle);
  OutHandle = 0;
  FileDelete(OutputFile);
}

void Tlzrw1::BindCallbacks() {
  ReadCallback = TByteReader::Bind<&Tlzrw1::CoderRead>(this);
  WriteCallback = TByteWriter::Bind<&Tlzrw1::CoderWrite>(this);
}

int64_t Tlzrw1::Decompress() {
  OperationGuard guard(*this);
  AllocateBuffers(kNoBufferMemory);
  InHandle = 0;
  OutHandle = 0;
  PrepareInputAndOutput();
  try {
    uint8_t id[4];
    ReadChecked(id, 4);
    HeaderIdRead = LoadLE32(id);
    if (HeaderIdRead != LzrwHeaderId && HeaderIdRead != LzhHeaderId) {
      throw ELzrw1Exception(UseStreams ? std::string(kNoHeaderStream) : InputFile + kNoHeaderFile);
    }
    BlockResult = kWindowSize;
    BytesWritten = 0;
    if (HeaderIdRead == LzrwHeaderId) {
      DecompressLzrw();
    } else {
      DecompressLzh();
    }
  } catch (...) {
    DeleteOutputAfterFailure();
    throw;
  }
  return BytesWritten;
}

void Tlzrw1::DecompressLzrw() {
  uint8_t field[4];
  ReadChecked(field, 4);
  const int64_t original_size = LoadLE32(field);
  while (BlockResult == kWindowSize) {
    ReadChecked(field, 2);
    BlockLength = field[0] | (field[1] << 8);
    // A longer block cannot come from the writer and would not fit the buffer.
    if (BlockLength > kMaxStoredLength) CheckRead(-1, BlockLength);
    ReadChecked(InBuffer.get(), BlockLength);
    if (original_size - BytesWritten >= kWindowSize && OnFullBlock &&
        OnFullBlock(InBuffer.get(), static_cast<uint16_t>(BlockLength))) {
      BytesWritten += kWindowSize;
      continue;
    }
    BlockResult = TLZR::DecompressBlock(InBuffer.get(), OutBuffer.get(), static_cast<uint16_t>(BlockLength));
    // Output beyond the stated size can only come from a damaged stream; stop before writing it,
    // so that a small stream cannot make an unbounded output.
    if (BlockResult > original_size - BytesWritten) throw ELzrw1Exception(kLzrwSizeMismatch);
    const int32_t done = WriteOutput(OutBuffer.get(), BlockResult);
    CheckWrite(done, BlockResult);
    BytesWritten += done;
  }
  if (BytesWritten != original_size) throw ELzrw1Exception(kLzrwSizeMismatch);
}

void Tlzrw1::DecompressLzh() {
  BindCallbacks();
  uint8_t field[4];
  ReadChecked(field, 4);
  const int64_t original_size = LoadLE32(field);
  ReadPos = 1;
  ReadFill = 0;
  WritePos = 1;
  LzhCoder.Decode(original_size, ReadCallback, WriteCallback);
  uint16_t unused = 0;
  CoderWrite(nullptr, 0, unused);
  if (BytesWritten != original_size) throw ELzrw1Exception(kLzhSizeMismatch);
}

}  // namespace vornix

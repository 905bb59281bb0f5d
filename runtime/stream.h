// The stream: a byte sequence with a position. Read and Write return the number of bytes moved (a
// negative number means failure), Seek returns the new position (negative on failure). A stream
// handed to another object stays its creator's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/exception.h"
#include "runtime/file.h"

namespace vornix {

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;

  // The whole size, whatever the position; the position is left as it was. Negative on failure.
  virtual int64_t Size();
  int64_t Position() { return Seek(0, SeekOrigin::Current); }
};

// A stream on a named file. Opening fails with the general exception naming the file.
class TFileStream : public TStream {
 public:
  // OpenRead denies other writers, OpenReadShared lets others read and write, Create truncates,
  // CreateNew fails when the name exists.
  enum class Mode { OpenRead, OpenReadShared, Create, CreateNew };

  TFileStream(const std::string& name, Mode mode);

  int32_t Read(void* buffer, int32_t count) override { return FileRead(file_.Get(), buffer, count); }
  int32_t Write(const void* buffer, int32_t count) override { return FileWrite(file_.Get(), buffer, count); }
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return FileSeek(file_.Get(), offset, origin); }

 private:
  FileOwner file_;
};

// A stream in memory that grows as it is written; seeking past the end is allowed and a write
// there fills the gap with zero bytes.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }

  const std::vector<uint8_t>& Data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// A read-only view of Length bytes of another stream from Start: it reads as a stream of its own,
// so a decoder given one entry of a package cannot read into the next.
class TStreamWindow : public TStream {
 public:
  TStreamWindow(TStream& base, int64_t start, int64_t length) : base_(base), start_(start), length_(length) {}

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return -1; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return length_; }

 private:
  TStream& base_;
  int64_t start_;
  int64_t length_;
  int64_t position_ = 0;
};

// Reads the base through a buffer of `capacity` bytes, so that a decoder's many small reads cost
// the base one large read each. Seeks move only this stream's own position; the base is positioned
// before each read of it, so others may move it between reads. Reads as large as the buffer go
// straight to the base.
class TReadAhead : public TStream {
 public:
  TReadAhead(TStream& base, int32_t capacity);

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return -1; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return base_.Size(); }

 private:
  TStream& base_;
  int32_t capacity_;
  std::unique_ptr<uint8_t[]> buffer_;
  int64_t buffer_start_ = 0;  // where the buffered bytes stand in the base
  int32_t buffered_ = 0;
  int64_t position_;
};

// Seek of a stream that is only ever written forward and keeps nothing to move about in: only a
// seek to where it stands (written bytes in) succeeds.
inline int64_t SeekWhereWritten(int64_t written, int64_t offset, SeekOrigin origin) {
  const int64_t base = origin == SeekOrigin::Beginning ? 0 : written;
  return base + offset == written ? written : -1;
}

// A stream that takes every write and keeps nothing but the count, for decoding only to check.
class TDiscardStream : public TStream {
 public:
  int32_t Read(void*, int32_t) override { return -1; }
  int32_t Write(const void*, int32_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override { return SeekWhereWritten(written_, offset, origin); }
  int64_t Size() override { return written_; }

 private:
  int64_t written_ = 0;
};

}  // namespace vornix

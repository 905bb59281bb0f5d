// The project's coders as benchmark codecs: LZRW1/KH over independent 32768-byte blocks, the LZH
// coder over the whole input through a minimal memory reader and writer, and the Tlzrw1 container
// in stream mode with either method (memory streams in and out).
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "bench/codec.h"
#include "compression/lzh.h"
#include "compression/lzrw1.h"
#include "compression/lzrw1kh.h"
#include "runtime/stream.h"

namespace vornix_bench {
namespace {

using vornix::kLzrBlockSize;
using vornix::kLzrBufferSize;

// Each block is stored as a 2-byte little-endian length and the coded block, so the packed size
// counts what a reader needs to find the blocks again.
class LzrwBlocks : public Codec {
 public:
  LzrwBlocks() : Codec({kLzrwBlocks, 5, 5, 0}) {}

  size_t PackedBound(size_t n) const override { return (n / kLzrBlockSize + 1) * (kLzrBlockSize + 3) + kLzrBufferSize; }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t /*capacity*/) override {
    uint8_t* out = packed;
    for (size_t pos = 0; pos < n; pos += kLzrBlockSize) {
      const auto length = static_cast<uint16_t>(std::min<size_t>(kLzrBlockSize, n - pos));
      const uint16_t coded = coder_.CompressBlock(input + pos, out + 2, length);
      out[0] = static_cast<uint8_t>(coded & 0xFF);
      out[1] = static_cast<uint8_t>(coded >> 8);
      out += 2 + coded;
    }
    return static_cast<size_t>(out - packed);
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) override {
    const uint8_t* in = packed;
    const uint8_t* end = packed + size;
    size_t produced = 0;
    while (in + 2 <= end && produced < original) {
      const auto coded = static_cast<uint16_t>(in[0] | (in[1] << 8));
      produced += vornix::TLZR::DecompressBlock(in + 2, output + produced, coded);
      in += 2 + coded;
    }
    return produced;
  }

 private:
  vornix::TLZR coder_;
};

// The LZH coder's byte source over memory; one byte per call in practice.
class MemoryReader {
 public:
  MemoryReader(const uint8_t* data, size_t size) : pos_(data), end_(data + size) {}

  void Read(uint8_t* buffer, uint16_t count, uint16_t& delivered) {
    const size_t n = std::min<size_t>(count, static_cast<size_t>(end_ - pos_));
    if (n == 1) {
      *buffer = *pos_;
    } else if (n != 0) {
      std::memcpy(buffer, pos_, n);
    }
    pos_ += n;
    delivered = static_cast<uint16_t>(n);
  }

 private:
  const uint8_t* pos_;
  const uint8_t* end_;
};

// The LZH coder's byte sink over memory; raises when the buffer would overflow.
class MemoryWriter {
 public:
  MemoryWriter(uint8_t* data, size_t capacity) : begin_(data), pos_(data), end_(data + capacity) {}

  void Write(const uint8_t* buffer, uint16_t count, uint16_t& written) {
    if (count > static_cast<size_t>(end_ - pos_)) throw std::runtime_error("LZH output buffer overflow");
    if (count == 1) {
      *pos_ = *buffer;
    } else if (count != 0) {
      std::memcpy(pos_, buffer, count);
    }
    pos_ += count;
    written = count;
  }

  size_t Written() const { return static_cast<size_t>(pos_ - begin_); }

 private:
  uint8_t* begin_;
  uint8_t* pos_;
  uint8_t* end_;
};

class LzhRaw : public Codec {
 public:
  LzhRaw() : Codec({kLzhRaw, 2, 5, 0}) {}

  size_t PackedBound(size_t n) const override { return n + n / 4 + 4096; }

  void PrepareCompress(const uint8_t* /*input*/, size_t /*n*/) override { coder_ = std::make_unique<vornix::TLZH>(); }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t capacity) override {
    MemoryReader reader(input, n);
    MemoryWriter writer(packed, capacity);
    vornix::TLZHProgress progress;
    coder_->Encode(progress, vornix::TByteReader::Bind<&MemoryReader::Read>(&reader),
                   vornix::TByteWriter::Bind<&MemoryWriter::Write>(&writer), vornix::TProgressEvent());
    return writer.Written();
  }

  void PrepareDecompress(const uint8_t* /*packed*/, size_t /*size*/, size_t /*original*/) override {
    coder_ = std::make_unique<vornix::TLZH>();
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) override {
    MemoryReader reader(packed, size);
    MemoryWriter writer(output, original + kOutputSlack);
    coder_->Decode(static_cast<int64_t>(original), vornix::TByteReader::Bind<&MemoryReader::Read>(&reader),
                   vornix::TByteWriter::Bind<&MemoryWriter::Write>(&writer));
    // The last match may run up to 59 bytes past the original size; those bytes do not count.
    return std::min(writer.Written(), original);
  }

 private:
  std::unique_ptr<vornix::TLZH> coder_;
};

// Tlzrw1 in stream mode; the memory streams are filled and emptied outside the timed calls.
class Container : public Codec {
 public:
  Container(const char* name, uint8_t method, int compress_reps)
      : Codec({name, compress_reps, 3, 0}), method_(method) {}

  size_t PackedBound(size_t n) const override { return n + n / 4 + 65536; }

  void PrepareCompress(const uint8_t* input, size_t n) override { Prepare(input, n, PackedBound(n)); }
  size_t Compress(const uint8_t* /*input*/, size_t /*n*/, uint8_t* /*packed*/, size_t /*capacity*/) override {
    vornix::TLZHProgress progress;
    return static_cast<size_t>(container_->Compress(progress));
  }
  void FinishCompress(uint8_t* packed, size_t size) override { CopyOut(packed, size); }

  void PrepareDecompress(const uint8_t* packed, size_t size, size_t original) override {
    Prepare(packed, size, original);
  }
  size_t Decompress(const uint8_t* /*packed*/, size_t /*size*/, uint8_t* /*output*/, size_t /*original*/) override {
    return static_cast<size_t>(container_->Decompress());
  }
  void FinishDecompress(uint8_t* output, size_t original) override { CopyOut(output, original); }

 private:
  void Prepare(const uint8_t* data, size_t n, size_t output_capacity) {
    input_ = std::make_unique<vornix::TMemoryStream>(std::vector<uint8_t>(data, data + n));
    // The output's memory is touched once here, as the other codecs' output buffers are before
    // they are timed: first-touch page faults are no cost of the coder.
    std::vector<uint8_t> reserved(output_capacity);
    reserved.clear();
    output_ = std::make_unique<vornix::TMemoryStream>(std::move(reserved));
    container_ = std::make_unique<vornix::Tlzrw1>();
    container_->UseStreams = true;
    container_->InputStream = input_.get();
    container_->OutputStream = output_.get();
    container_->CompressionMethod = method_;
  }

  void CopyOut(uint8_t* dest, size_t size) {
    const std::vector<uint8_t>& data = output_->Data();
    if (data.size() != size) throw std::runtime_error(Settings().name + ": the output stream size disagrees");
    std::memcpy(dest, data.data(), size);
  }

  uint8_t method_;
  std::unique_ptr<vornix::TMemoryStream> input_;
  std::unique_ptr<vornix::TMemoryStream> output_;
  std::unique_ptr<vornix::Tlzrw1> container_;
};

}  // namespace

void AddVornixCodecs(CodecList& codecs) {
  codecs.push_back(std::make_unique<LzrwBlocks>());
  codecs.push_back(std::make_unique<LzhRaw>());
  codecs.push_back(std::make_unique<Container>(kContainerLzh, 0, 2));
  codecs.push_back(std::make_unique<Container>(kContainerLzrw, 1, 5));
}

}  // namespace vornix_bench

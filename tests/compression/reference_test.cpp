// The optimised encoders against plain ones written straight from the format: the same bytes for
// every input, so that no speed work (wide compares, branch-free choices, the linear tree rebuild)
// changes a single bit of the streams. The inputs cover text, binary data, runs, noise, inputs
// shorter than the look-ahead and inputs long enough for many tree rebuilds and ring wraps.
#include <gtest/gtest.h>

#include "compression/lzh.h"
#include "compression/lzrw1kh.h"
#include "tests/compression/reference_lzh.h"
#include "tests/compression/reference_lzrw.h"
#include "tests/compression/test_data.h"

namespace vornix {
namespace {

using test::Bytes;

std::vector<Bytes> Inputs() {
  std::vector<Bytes> inputs;
  for (size_t n = 0; n <= 70; ++n) inputs.push_back(test::MixedData(n, static_cast<uint32_t>(n)));
  for (size_t n : {100u, 4095u, 4097u, 20000u, 150000u}) {
    inputs.push_back(test::MixedData(n, static_cast<uint32_t>(n)));
    inputs.push_back(test::RandomData(n, static_cast<uint32_t>(n)));
  }
  Bytes bytes_of_every_value(70000);
  for (size_t i = 0; i < bytes_of_every_value.size(); ++i) {
    bytes_of_every_value[i] = static_cast<uint8_t>((i * 7) ^ (i >> 5));  // bytes above 0x7F throughout
  }
  inputs.push_back(bytes_of_every_value);
  inputs.push_back(Bytes(30000, 0));
  inputs.push_back(Bytes(5000, 0xFF));
  return inputs;
}

struct Source {
  const Bytes* data;
  size_t position = 0;
  void Read(uint8_t* buffer, uint16_t, uint16_t& delivered) {
    delivered = position < data->size() ? 1 : 0;
    if (delivered) buffer[0] = (*data)[position++];
  }
};

struct Sink {
  Bytes data;
  void Write(const uint8_t* buffer, uint16_t count, uint16_t& written) {
    data.insert(data.end(), buffer, buffer + count);
    written = count;
  }
};

TEST(Reference, LzhEncoderWritesTheSameBytes) {
  auto reference = std::make_unique<test::ReferenceLzhEncoder>();
  TLZH coder;
  for (const Bytes& input : Inputs()) {
    Source source{&input};
    Sink sink;
    TLZHProgress progress;
    coder.Encode(progress, TByteReader::Bind<&Source::Read>(&source), TByteWriter::Bind<&Sink::Write>(&sink),
                 TProgressEvent());
    ASSERT_EQ(sink.data, reference->Encode(input)) << input.size() << " bytes";
  }
}

TEST(Reference, LzrwCompressorWritesTheSameBlocks) {
  TLZR coder;
  Bytes dest(kLzrBufferSize);
  for (const Bytes& whole : Inputs()) {
    const Bytes input(whole.begin(),
                      whole.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(whole.size(), 32768)));
    const uint16_t length = coder.CompressBlock(input.data(), dest.data(), static_cast<uint16_t>(input.size()));
    ASSERT_EQ(Bytes(dest.begin(), dest.begin() + length), test::ReferenceLzrwBlock(input)) << input.size() << " bytes";
  }
}

}  // namespace
}  // namespace vornix

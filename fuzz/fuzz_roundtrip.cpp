// Fuzzes compression: every input goes through the container with LZH and with LZRW1/KH and must
// come back byte for byte, with the header's size field right; the first block's worth also goes
// through TLZR directly, whose block must be at most one byte longer than its source. Both encoders
// must also write exactly what the plain step-by-step encoders of the tests write.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "compression/lzrw1.h"
#include "compression/lzrw1kh.h"
#include "compression/unaligned.h"
#include "runtime/stream.h"
#include "tests/compression/reference_lzh.h"
#include "tests/compression/reference_lzrw.h"

namespace {

using namespace vornix;

// The LZH stream must be the one the plain step-by-step encoder writes, bit for bit.
void SameAsReferenceLzh(const std::vector<uint8_t>& original, const std::vector<uint8_t>& packed) {
  static test::ReferenceLzhEncoder reference;
  if (std::vector<uint8_t>(packed.begin() + 8, packed.end()) != reference.Encode(original)) std::abort();
}

// One container codes and then decodes: an instance runs any number of operations in turn.
void ContainerRoundTrip(const std::vector<uint8_t>& original, uint8_t method) {
  TMemoryStream source(original);
  TMemoryStream packed;
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &source;
  container.OutputStream = &packed;
  container.CompressionMethod = method;
  TLZHProgress progress;
  const int32_t packed_size = container.Compress(progress);
  const std::vector<uint8_t>& code = packed.Data();
  if (packed_size < 8 || static_cast<size_t>(packed_size) != code.size()) std::abort();
  if (LoadLE32(code.data()) != (method == 1 ? LzrwHeaderId : LzhHeaderId)) std::abort();
  if (LoadLE32(code.data() + 4) != original.size()) std::abort();
  if (method == 0 && static_cast<size_t>(progress.BytesDone) != original.size()) std::abort();
  // Up to 16 KB: enough for several tree rebuilds, and the plain encoder stays quick there.
  if (method == 0 && original.size() <= 16384) SameAsReferenceLzh(original, code);

  TMemoryStream coded(code);
  TMemoryStream unpacked;
  container.InputStream = &coded;
  container.OutputStream = &unpacked;
  const int32_t unpacked_size = container.Decompress();
  if (static_cast<size_t>(unpacked_size) != original.size()) std::abort();
  if (unpacked.Data() != original) std::abort();
}

void BlockRoundTrip(const uint8_t* data, size_t size) {
  static TLZR coder;
  const uint16_t n = static_cast<uint16_t>(size > kLzrBlockSize ? kLzrBlockSize : size);
  std::unique_ptr<uint8_t[]> source(new uint8_t[n]);
  if (n > 0) std::memcpy(source.get(), data, n);
  std::unique_ptr<uint8_t[]> block(new uint8_t[n + 6]);
  const uint16_t length = coder.CompressBlock(source.get(), block.get(), n);
  if (length < 1 || length > n + 1) std::abort();
  std::unique_ptr<uint8_t[]> exact(new uint8_t[length]);
  std::memcpy(exact.get(), block.get(), length);
  std::unique_ptr<uint8_t[]> output(new uint8_t[kLzrBlockSize]);
  const uint16_t decoded = TLZR::DecompressBlock(exact.get(), output.get(), length);
  if (decoded != n) std::abort();
  if (n > 0 && std::memcmp(output.get(), source.get(), n) != 0) std::abort();
  // The same block as the plain step-by-step compressor writes.
  if (std::vector<uint8_t>(block.get(), block.get() + length) !=
      test::ReferenceLzrwBlock(std::vector<uint8_t>(data, data + n))) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> original(data, data + size);
  ContainerRoundTrip(original, 0);
  ContainerRoundTrip(original, 1);
  BlockRoundTrip(data, size);
  return 0;
}

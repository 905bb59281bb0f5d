// Fuzzes TLZR::DecompressBlock with arbitrary blocks. The block sits in a heap buffer of exactly its
// length and the destination is exactly 32768 heap bytes, so AddressSanitizer reports any read past
// the block or write past the largest output; the returned length must fit the destination.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "compression/lzrw1kh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint16_t n = static_cast<uint16_t>(size > 65535 ? 65535 : size);
  std::unique_ptr<uint8_t[]> block(new uint8_t[n]);
  if (n > 0) std::memcpy(block.get(), data, n);
  std::unique_ptr<uint8_t[]> output(new uint8_t[vornix::kLzrBlockSize]);
  const uint16_t length = vornix::TLZR::DecompressBlock(block.get(), output.get(), n);
  if (length > vornix::kLzrBlockSize) std::abort();
  return 0;
}

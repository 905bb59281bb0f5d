// Fuzzes TLZH::Decode with arbitrary code streams. The first 4 bytes (little-endian) give the
// original size, folded to at most 1 MB; the rest is the stream. A normal return must have written
// the size plus at most 59 bytes; a cut-off stream must raise ElzhException and nothing else.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "compression/lzh.h"
#include "fuzz/byte_io.h"

namespace {

constexpr int32_t kMaxSize = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vornix;
  if (size < 4) return 0;
  int32_t original_size = static_cast<int32_t>(uint32_t{data[0]} | (uint32_t{data[1]} << 8) |
                                               (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 24));
  if (original_size > kMaxSize) original_size %= kMaxSize + 1;
  fuzz::MemoryReader reader(data + 4, size - 4);
  fuzz::MemoryWriter writer;
  TLZH coder;
  try {
    coder.Decode(original_size, TByteReader::Bind<&fuzz::MemoryReader::Read>(&reader),
                 TByteWriter::Bind<&fuzz::MemoryWriter::Write>(&writer));
  } catch (const ElzhException& e) {
    if (std::strncmp(e.what(), "LZH :", 5) != 0) std::abort();
    return 0;
  }
  const int64_t written = static_cast<int64_t>(writer.bytes.size());
  const int64_t expected = original_size < 0 ? 0 : original_size;
  if (written < expected || written > expected + TLZH::LookAhead - 1) std::abort();
  return 0;
}

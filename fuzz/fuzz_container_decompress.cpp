// Fuzzes Tlzrw1::Decompress in stream mode with arbitrary streams. Every failure must arrive as a
// vornix::Exception; a success must return the header's original size and have written exactly
// that many bytes. Streams that state more than 8 MB are skipped to keep the output bounded.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

#include "compression/lzrw1.h"
#include "runtime/stream.h"

namespace {

constexpr int32_t kMaxSize = 8 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vornix;
  int64_t original_size = -1;
  if (size >= 8) {
    original_size =
        uint32_t{data[4]} | (uint32_t{data[5]} << 8) | (uint32_t{data[6]} << 16) | (uint32_t{data[7]} << 24);
    if (original_size > kMaxSize) return 0;
  }
  TMemoryStream input(std::vector<uint8_t>(data, data + size));
  TMemoryStream output;
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &input;
  container.OutputStream = &output;
  int32_t result = 0;
  try {
    result = container.Decompress();
  } catch (const Exception&) {
    return 0;
  } catch (const std::exception&) {
    std::abort();  // only the library's own exceptions may leave the container
  }
  if (size < 8) std::abort();  // a stream without a whole header cannot decode
  if (result != original_size) std::abort();
  if (static_cast<int64_t>(output.Data().size()) != original_size) std::abort();
  return 0;
}

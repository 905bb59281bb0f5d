// The benchmark's view of a codec: a timed compression and decompression over plain memory, with
// untimed set-up and wind-down steps around each, so that stream set-up and result copies stay off
// the clock. Also the byte buffer the harness hands to codecs, and the registry of all codecs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vornix_bench {

// Output buffers get this many spare bytes past the original size: the LZRW1/KH block decoder may
// use a whole 32768-byte block buffer and the LZH decoder may run up to 59 bytes past the end.
constexpr size_t kOutputSlack = 32784;

// An uninitialised byte buffer (no zero fill, so allocation cost stays out of the measurements).
struct Buffer {
  explicit Buffer(size_t capacity_bytes = 0) : data(new uint8_t[capacity_bytes]), capacity(capacity_bytes) {}
  std::unique_ptr<uint8_t[]> data;
  size_t capacity = 0;
  size_t size = 0;
};

struct CodecSettings {
  std::string name;
  int compress_reps = 3;    // the best of this many timed compressions counts
  int decompress_reps = 3;  // likewise for decompression
  size_t slice = 0;         // when not 0, only the first slice bytes of the input are used
};

class Codec {
 public:
  explicit Codec(CodecSettings settings) : settings_(std::move(settings)) {}
  virtual ~Codec() = default;

  const CodecSettings& Settings() const { return settings_; }

  // The largest packed size for n input bytes (a little more is fine).
  virtual size_t PackedBound(size_t n) const = 0;

  // Untimed, before each Compress.
  virtual void PrepareCompress(const uint8_t* /*input*/, size_t /*n*/) {}
  // Timed: codes input[0..n) into packed (capacity bytes) and returns the packed size.
  virtual size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t capacity) = 0;
  // Untimed, after each Compress: leaves the packed bytes in packed if Compress kept them elsewhere.
  virtual void FinishCompress(uint8_t* /*packed*/, size_t /*size*/) {}

  // Untimed, before each Decompress.
  virtual void PrepareDecompress(const uint8_t* /*packed*/, size_t /*size*/, size_t /*original*/) {}
  // Timed: decodes packed into output (original + kOutputSlack bytes) and returns the number of
  // original bytes produced.
  virtual size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) = 0;
  // Untimed, after each Decompress: leaves the decoded bytes in output if Decompress kept them elsewhere.
  virtual void FinishDecompress(uint8_t* /*output*/, size_t /*original*/) {}

 private:
  CodecSettings settings_;
};

using CodecList = std::vector<std::unique_ptr<Codec>>;

// The project's own coders (vornix_codecs.cpp) and the general-purpose peers (peer_codecs.cpp).
void AddVornixCodecs(CodecList& codecs);
void AddPeerCodecs(CodecList& codecs);

// Names of the project's codecs, used by the goal table and by --op.
inline constexpr const char* kLzrwBlocks = "LZRW1/KH blocks";
inline constexpr const char* kLzhRaw = "LZH";
inline constexpr const char* kContainerLzh = "container LZH";
inline constexpr const char* kContainerLzrw = "container LZRW1/KH";

}  // namespace vornix_bench

// The general-purpose peers the project measures itself against: zlib (one-shot compress2 and
// uncompress), lz4 (default and HC), zstd (levels 1, 3 and 19, the last on a slice) and memcpy
// as the upper limit of any decoder.
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>
#include <zstd.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "bench/codec.h"

namespace vornix_bench {
namespace {

class Zlib : public Codec {
 public:
  Zlib(int level, int compress_reps) : Codec({"zlib-" + std::to_string(level), compress_reps, 5, 0}), level_(level) {}

  size_t PackedBound(size_t n) const override { return compressBound(static_cast<uLong>(n)); }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t capacity) override {
    uLongf size = static_cast<uLongf>(capacity);
    if (compress2(packed, &size, input, static_cast<uLong>(n), level_) != Z_OK) Fail("compress2");
    return size;
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) override {
    uLongf produced = static_cast<uLongf>(original);
    if (uncompress(output, &produced, packed, static_cast<uLong>(size)) != Z_OK) Fail("uncompress");
    return produced;
  }

 private:
  [[noreturn]] void Fail(const char* call) const {
    throw std::runtime_error(Settings().name + ": " + call + " failed");
  }
  int level_;
};

class Lz4 : public Codec {
 public:
  explicit Lz4(bool high) : Codec({high ? "lz4-HC" : "lz4", 5, 5, 0}), high_(high) {}

  size_t PackedBound(size_t n) const override { return static_cast<size_t>(LZ4_compressBound(static_cast<int>(n))); }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t capacity) override {
    const char* src = reinterpret_cast<const char*>(input);
    char* dst = reinterpret_cast<char*>(packed);
    const int result =
        high_ ? LZ4_compress_HC(src, dst, static_cast<int>(n), static_cast<int>(capacity), LZ4HC_CLEVEL_DEFAULT)
              : LZ4_compress_default(src, dst, static_cast<int>(n), static_cast<int>(capacity));
    if (result <= 0) throw std::runtime_error(Settings().name + ": compression failed");
    return static_cast<size_t>(result);
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) override {
    const int result = LZ4_decompress_safe(reinterpret_cast<const char*>(packed), reinterpret_cast<char*>(output),
                                           static_cast<int>(size), static_cast<int>(original));
    if (result < 0) throw std::runtime_error(Settings().name + ": decompression failed");
    return static_cast<size_t>(result);
  }

 private:
  bool high_;
};

class Zstd : public Codec {
 public:
  Zstd(int level, int compress_reps, size_t slice)
      : Codec({"zstd-" + std::to_string(level), compress_reps, 3, slice}),
        level_(level),
        cctx_(ZSTD_createCCtx()),
        dctx_(ZSTD_createDCtx()) {
    if (cctx_ == nullptr || dctx_ == nullptr) throw std::runtime_error("zstd: cannot create contexts");
  }
  ~Zstd() override {
    ZSTD_freeCCtx(cctx_);
    ZSTD_freeDCtx(dctx_);
  }
  Zstd(const Zstd&) = delete;
  Zstd& operator=(const Zstd&) = delete;

  size_t PackedBound(size_t n) const override { return ZSTD_compressBound(n); }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t capacity) override {
    return Check(ZSTD_compressCCtx(cctx_, packed, capacity, input, n, level_), "compression");
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t original) override {
    return Check(ZSTD_decompressDCtx(dctx_, output, original, packed, size), "decompression");
  }

 private:
  size_t Check(size_t result, const char* what) const {
    if (ZSTD_isError(result)) {
      throw std::runtime_error(Settings().name + ": " + what + " failed: " + ZSTD_getErrorName(result));
    }
    return result;
  }

  int level_;
  ZSTD_CCtx* cctx_;
  ZSTD_DCtx* dctx_;
};

class Memcpy : public Codec {
 public:
  Memcpy() : Codec({"memcpy", 5, 5, 0}) {}

  size_t PackedBound(size_t n) const override { return n; }

  size_t Compress(const uint8_t* input, size_t n, uint8_t* packed, size_t /*capacity*/) override {
    std::memcpy(packed, input, n);
    return n;
  }

  size_t Decompress(const uint8_t* packed, size_t size, uint8_t* output, size_t /*original*/) override {
    std::memcpy(output, packed, size);
    return size;
  }
};

}  // namespace

// zstd-19 codes only the first 8 MiB of the input: on the whole corpus it alone would take minutes.
constexpr size_t kZstd19Slice = size_t{8} << 20;

void AddPeerCodecs(CodecList& codecs) {
  codecs.push_back(std::make_unique<Zlib>(1, 3));
  codecs.push_back(std::make_unique<Zlib>(6, 5));
  codecs.push_back(std::make_unique<Zlib>(9, 2));
  codecs.push_back(std::make_unique<Lz4>(false));
  codecs.push_back(std::make_unique<Lz4>(true));
  codecs.push_back(std::make_unique<Zstd>(1, 3, 0));
  codecs.push_back(std::make_unique<Zstd>(3, 3, 0));
  codecs.push_back(std::make_unique<Zstd>(19, 1, kZstd19Slice));
  codecs.push_back(std::make_unique<Memcpy>());
}

}  // namespace vornix_bench

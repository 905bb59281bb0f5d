// vornix_bench: measures ratio and compress/decompress speed of the project's coders and of zlib,
// lz4, zstd and memcpy on one corpus file, checks every round trip byte for byte, and prints the
// speed ratios against the peers the project's goals name. With --op NAME it runs one operation
// once instead (for instruction counting under callgrind; see callgrind.sh).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "bench/codec.h"

namespace vornix_bench {

// The one function callgrind.sh collects instructions in (--toggle-collect=*MeasuredOperation*):
// everything it calls counts, the loading and preparation around it does not.
[[gnu::noinline]] size_t MeasuredOperation(Codec& codec, bool compress, const uint8_t* source, size_t source_size,
                                           uint8_t* dest, size_t dest_size) {
  return compress ? codec.Compress(source, source_size, dest, dest_size)
                  : codec.Decompress(source, source_size, dest, dest_size);
}

namespace {

using Clock = std::chrono::steady_clock;

struct Result {
  std::string name;
  size_t input = 0;
  size_t packed = 0;
  double compress_mbs = 0;
  double decompress_mbs = 0;
  int compress_reps = 0;
  int decompress_reps = 0;
};

Buffer LoadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(std::string("cannot open ") + path);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Buffer buffer(bytes.size());
  std::memcpy(buffer.data.get(), bytes.data(), bytes.size());
  buffer.size = bytes.size();
  return buffer;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

size_t TimedCompress(Codec& codec, const uint8_t* input, size_t n, Buffer& packed, double& seconds) {
  codec.PrepareCompress(input, n);
  const Clock::time_point start = Clock::now();
  const size_t size = codec.Compress(input, n, packed.data.get(), packed.capacity);
  seconds = Seconds(start);
  if (size > packed.capacity) throw std::runtime_error(codec.Settings().name + ": packed bound exceeded");
  codec.FinishCompress(packed.data.get(), size);
  packed.size = size;
  return size;
}

// Decodes packed into output (first filled with a pattern, so a decoder that writes nothing fails)
// and checks the result against the original bytes.
void TimedDecompress(Codec& codec, const Buffer& packed, const uint8_t* original, size_t n, Buffer& output,
                     double& seconds) {
  std::memset(output.data.get(), 0xA5, output.capacity);
  codec.PrepareDecompress(packed.data.get(), packed.size, n);
  const Clock::time_point start = Clock::now();
  const size_t produced = codec.Decompress(packed.data.get(), packed.size, output.data.get(), n);
  seconds = Seconds(start);
  codec.FinishDecompress(output.data.get(), produced);
  if (produced != n || std::memcmp(output.data.get(), original, n) != 0) {
    throw std::runtime_error(codec.Settings().name + ": round trip mismatch (" + std::to_string(produced) + " of " +
                             std::to_string(n) + " bytes produced)");
  }
}

Result Measure(Codec& codec, const Buffer& input) {
  const CodecSettings& settings = codec.Settings();
  const size_t n = settings.slice != 0 ? std::min(settings.slice, input.size) : input.size;
  Buffer packed(codec.PackedBound(n));
  Buffer output(n + kOutputSlack);
  double best_compress = 1e30;
  double best_decompress = 1e30;
  double seconds = 0;
  for (int i = 0; i < settings.compress_reps; ++i) {
    TimedCompress(codec, input.data.get(), n, packed, seconds);
    best_compress = std::min(best_compress, seconds);
  }
  for (int i = 0; i < settings.decompress_reps; ++i) {
    TimedDecompress(codec, packed, input.data.get(), n, output, seconds);
    best_decompress = std::min(best_decompress, seconds);
  }
  const double mb = static_cast<double>(n) / 1e6;
  return {settings.name,           n, packed.size, mb / best_compress, mb / best_decompress, settings.compress_reps,
          settings.decompress_reps};
}

const Result& Find(const std::vector<Result>& results, const std::string& name) {
  for (const Result& result : results) {
    if (result.name == name) return result;
  }
  throw std::runtime_error("no result for " + name);
}

void PrintTable(const char* path, size_t size, const std::vector<Result>& results) {
  std::printf("corpus: %s (%zu bytes)\n", path, size);
  std::printf(
      "MB/s = 10^6 bytes of original data per second, best of the runs shown; ratio = compressed / original\n\n");
  std::printf("%-20s %12s %9s %15s %17s %7s\n", "codec", "input bytes", "ratio %", "compress MB/s", "decompress MB/s",
              "runs");
  bool sliced = false;
  for (const Result& r : results) {
    const bool slice = r.input != size;
    sliced = sliced || slice;
    const double ratio = 100.0 * static_cast<double>(r.packed) / static_cast<double>(r.input);
    std::printf("%-20s %11zu%s %9.2f %15.1f %17.1f %3d/%-3d\n", r.name.c_str(), r.input, slice ? "*" : " ", ratio,
                r.compress_mbs, r.decompress_mbs, r.compress_reps, r.decompress_reps);
  }
  std::printf("\nLZRW1/KH blocks: 32768-byte blocks, each stored with a 2-byte length (counted in the ratio).\n");
  std::printf("LZH: the raw coder over the whole input through a memory reader and writer.\n");
  std::printf("container: Tlzrw1 in stream mode, memory streams (8-byte header and framing counted).\n");
  if (sliced) std::printf("* only the first bytes of the corpus (a slice), to keep the run short.\n");
}

struct Goal {
  const char* label;
  double measured;
  double goal;
};

void PrintGoals(const std::vector<Result>& results) {
  const Result& lzrw = Find(results, kLzrwBlocks);
  const Result& lzh = Find(results, kLzhRaw);
  const Result& zlib6 = Find(results, "zlib-6");
  const Result& lz4 = Find(results, "lz4");
  const Goal goals[] = {
      {"LZRW1/KH decompress / zlib-6 inflate", lzrw.decompress_mbs / zlib6.decompress_mbs, 2.7},
      {"LZRW1/KH compress / lz4 compress", lzrw.compress_mbs / lz4.compress_mbs, 0.35},
      {"LZH decode / zlib-6 inflate", lzh.decompress_mbs / zlib6.decompress_mbs, 0.13},
      {"LZH encode / zlib-6 compress", lzh.compress_mbs / zlib6.compress_mbs, 0.25},
  };
  std::printf("\n%-38s %9s %8s  %s\n", "speed ratio", "measured", "goal", "");
  for (const Goal& g : goals) {
    std::printf("%-38s %9.3f %8s  %s\n", g.label, g.measured, (">= " + std::to_string(g.goal).substr(0, 4)).c_str(),
                g.measured >= g.goal ? "met" : "NOT met");
  }
}

struct OpName {
  const char* op;
  const char* codec;
  bool compress;
};

constexpr OpName kOps[] = {
    {"lzrw-compress", kLzrwBlocks, true},
    {"lzrw-decompress", kLzrwBlocks, false},
    {"lzh-encode", kLzhRaw, true},
    {"lzh-decode", kLzhRaw, false},
    {"container-lzh-compress", kContainerLzh, true},
    {"container-lzh-decompress", kContainerLzh, false},
    {"container-lzrw-compress", kContainerLzrw, true},
    {"container-lzrw-decompress", kContainerLzrw, false},
};

// Runs one operation once on the whole input; "none" only loads the input.
int RunOne(const std::string& op, CodecList& codecs, const Buffer& input) {
  if (op == "none") return 0;
  for (const OpName& entry : kOps) {
    if (op != entry.op) continue;
    Codec* codec = nullptr;
    for (auto& candidate : codecs) {
      if (candidate->Settings().name == entry.codec) codec = candidate.get();
    }
    if (codec == nullptr) throw std::runtime_error(std::string("no codec ") + entry.codec);
    const size_t n = input.size;
    Buffer packed(codec->PackedBound(n));
    Buffer output(n + kOutputSlack);
    codec->PrepareCompress(input.data.get(), n);
    packed.size = entry.compress
                      ? MeasuredOperation(*codec, true, input.data.get(), n, packed.data.get(), packed.capacity)
                      : codec->Compress(input.data.get(), n, packed.data.get(), packed.capacity);
    codec->FinishCompress(packed.data.get(), packed.size);
    std::memset(output.data.get(), 0xA5, output.capacity);
    codec->PrepareDecompress(packed.data.get(), packed.size, n);
    const size_t produced =
        entry.compress ? codec->Decompress(packed.data.get(), packed.size, output.data.get(), n)
                       : MeasuredOperation(*codec, false, packed.data.get(), packed.size, output.data.get(), n);
    codec->FinishDecompress(output.data.get(), produced);
    if (produced != n || std::memcmp(output.data.get(), input.data.get(), n) != 0) {
      throw std::runtime_error(op + ": round trip mismatch");
    }
    std::printf("%s: %zu -> %zu bytes, round trip checked\n", op.c_str(), n, packed.size);
    return 0;
  }
  throw std::runtime_error("unknown --op " + op);
}

int Main(int argc, char** argv) {
  std::string op;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--op") == 0 && i + 1 < argc) {
      op = argv[++i];
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (path == nullptr) {
    std::fprintf(stderr, "usage: vornix_bench [--op NAME] CORPUS_FILE\n  NAME: none");
    for (const OpName& entry : kOps) std::fprintf(stderr, ", %s", entry.op);
    std::fprintf(stderr, "\n");
    return 2;
  }
  const Buffer input = LoadFile(path);
  CodecList codecs;
  AddVornixCodecs(codecs);
  AddPeerCodecs(codecs);
  if (!op.empty()) return RunOne(op, codecs, input);

  std::vector<Result> results;
  for (auto& codec : codecs) {
    std::fprintf(stderr, "measuring %s...\n", codec->Settings().name.c_str());
    results.push_back(Measure(*codec, input));
  }
  PrintTable(path, input.size, results);
  PrintGoals(results);
  return 0;
}

}  // namespace
}  // namespace vornix_bench

int main(int argc, char** argv) {
  try {
    return vornix_bench::Main(argc, argv);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vornix_bench: %s\n", failure.what());
    return 1;
  }
}

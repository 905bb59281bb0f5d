// Tlzrw1: the worked streams, round trips in both modes and with both methods, the stream format's
// rules, and damaged streams with their exact messages.
#include "compression/lzrw1.h"

#include <gtest/gtest.h>

#include "tests/compression/container_harness.h"

namespace vornix {
namespace {

using test::Bytes;
using test::ContainerRun;
using test::FromString;
using test::Hex;
using test::Mode;

constexpr uint8_t kLzh = 0;
constexpr uint8_t kLzrw = 1;
constexpr uint8_t kAuto = 2;

class Container : public ::testing::TestWithParam<Mode> {
 protected:
  ContainerRun run{GetParam()};

  // File mode: whether an output file is left behind (stream mode has none).
  bool OutputFileLeft() const { return GetParam() == Mode::File && test::FileExists(run.output_file); }

  std::string ReadError() const {
    return GetParam() == Mode::Stream ? "Lzrw1 : Error reading from input stream !"
                                      : "Lzrw1 : Error reading from input file : " + run.input_file;
  }
};

INSTANTIATE_TEST_SUITE_P(BothModes, Container, ::testing::Values(Mode::Stream, Mode::File),
                         [](const auto& info) { return std::string(test::ModeName(info.param)); });

TEST_P(Container, WorkedStreams) {
  EXPECT_EQ(run.Compress({}, kLzrw), Hex("57 52 5A 4C 00 00 00 00 01 00 80"));
  EXPECT_EQ(run.returned, 11);
  EXPECT_EQ(run.Compress(FromString("abc"), kLzrw), Hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62 63"));
  EXPECT_EQ(run.returned, 14);
  EXPECT_EQ(run.Compress(FromString("abc"), kLzh), Hex("21 48 5A 4C 03 00 00 00 F6 FB BD E0"));
  EXPECT_EQ(run.returned, 12);
  EXPECT_EQ(run.Compress({}, kLzh), Hex("21 48 5A 4C 00 00 00 00 C6 00"));
  for (const char* stream : {"57 52 5A 4C 03 00 00 00 04 00 80 61 62 63", "21 48 5A 4C 03 00 00 00 F6 FB BD E0"}) {
    EXPECT_EQ(run.Decompress(Hex(stream)), FromString("abc"));
    EXPECT_EQ(run.returned, 3);
  }
}

TEST_P(Container, RoundTripsBothMethods) {
  for (size_t n : {0u, 1u, 3u, 32767u, 32768u, 32769u, 98303u, 98304u, 3000000u}) {
    const Bytes input = test::MixedData(n, static_cast<uint32_t>(n + 1));
    for (uint8_t method : {kLzh, kLzrw}) {
      Bytes stream = run.Compress(input, method);
      EXPECT_EQ(static_cast<size_t>(run.returned), stream.size());
      EXPECT_EQ(run.Decompress(stream), input) << n << " bytes, method " << int{method};
      EXPECT_EQ(static_cast<size_t>(run.returned), n);
    }
  }
}

TEST_P(Container, LzrwReturnCountsEveryBlockAndItsLength) {
  Bytes input = test::MixedData(100000);
  Bytes stream = run.Compress(input, kLzrw);
  // Walk the framing: 8 + the sum of 2 + stored length, and 32768 bytes per block but the last.
  size_t position = 8, blocks = 0;
  while (position < stream.size()) {
    position += 2 + (stream[position] | (stream[position + 1] << 8));
    ++blocks;
  }
  EXPECT_EQ(position, stream.size());
  EXPECT_EQ(blocks, 4u);  // three whole blocks and the 1696-byte rest
}

TEST_P(Container, MultipleOfTheBlockSizeEndsWithAnEmptyBlock) {
  Bytes stream = run.Compress(Bytes(32768, 'v'), kLzrw);
  // One block coding 32768 bytes, then one coding none (length 1, flag 80).
  ASSERT_GE(stream.size(), 3u);
  EXPECT_EQ(Bytes(stream.end() - 3, stream.end()), Hex("01 00 80"));
  EXPECT_EQ(run.Decompress(stream), Bytes(32768, 'v'));
  // The same stream without its last block ends after a whole block: a read error, not a size error.
  stream.resize(stream.size() - 3);
  EXPECT_EQ(run.DecompressFailure(stream), ReadError());
}

TEST_P(Container, MethodsOtherThanOneAndTwoMeanLzh) {
  const Bytes input = FromString("abcabcabc");
  const Bytes lzh = run.Compress(input, kLzh);
  for (int method : {3, 77, 255}) EXPECT_EQ(run.Compress(input, static_cast<uint8_t>(method)), lzh);
}

TEST_P(Container, AdviceBelowThreeBlocksChoosesLzhWithoutSampling) {
  Tlzrw1 container;
  container.CompressionMethod = kAuto;
  TLZHProgress progress;
  Bytes input = Bytes(98303, 'x');  // LZRW1/KH would code it very well, but it is too short to ask
  run.Run(container, input, [&](Tlzrw1& c) { return c.Compress(progress); });
  EXPECT_EQ(Bytes(run.output.begin(), run.output.begin() + 4), Hex("21 48 5A 4C"));
  EXPECT_EQ(container.CompressionMethod, 0);
}

TEST_P(Container, AdviceTakesLzrwForWellCompressingSamples) {
  Bytes repetitive(1000000, 0);
  for (size_t i = 0; i < repetitive.size(); ++i) repetitive[i] = static_cast<uint8_t>("abcdefgh"[i % 8]);
  const Bytes noise = test::RandomData(1000000);
  Tlzrw1 container;
  bool advice = true;
  run.Run(container, repetitive, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_TRUE(advice);
  EXPECT_EQ(container.CompressionMethod, 0);  // a true advice leaves the setting alone
  run.Run(container, noise, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_FALSE(advice);
  EXPECT_TRUE(run.output.empty());  // Advise never writes
  // Compress with method 2 follows the advice.
  container.CompressionMethod = kAuto;
  TLZHProgress progress;
  run.Run(container, repetitive, [&](Tlzrw1& c) { return c.Compress(progress); });
  EXPECT_EQ(Bytes(run.output.begin(), run.output.begin() + 4), Hex("57 52 5A 4C"));
}

TEST_P(Container, AdvicePercentIsTheThreshold) {
  // Two full samples of 32768 bytes: the advice is true when the two coded blocks together are
  // below AdvicePercent * 65536 / 100. Find the coded size, then put the threshold on either side.
  const Bytes input = test::MixedData(1000000, 3);
  TLZR coder;
  Bytes block(kLzrBufferSize);
  int32_t coded = 0;
  for (size_t offset : {327680u, 655360u}) {
    coded += coder.CompressBlock(input.data() + offset, block.data(), 32768);
  }
  Tlzrw1 container;
  bool advice = false;
  // Smallest percent p with coded < p * 65536 / 100.
  int32_t p = 0;
  while (!(coded < int64_t{p} * 65536 / 100)) ++p;
  container.AdvicePercent = p;
  run.Run(container, input, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_TRUE(advice);
  container.AdvicePercent = p - 1;
  run.Run(container, input, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_FALSE(advice);
}

TEST_P(Container, AdviceSamplesStartAtWholeBlocks) {
  // For 1000000 bytes the samples start at 327680 and 655360 (a third and two thirds, rounded down
  // to whole blocks). Only those two blocks are zeros: with a 1% threshold (655 bytes for two
  // whole samples) only samples taken exactly there pass.
  Bytes input = test::RandomData(1000000);
  std::fill(input.begin() + 327680, input.begin() + 327680 + 32768, 0);
  std::fill(input.begin() + 655360, input.begin() + 655360 + 32768, 0);
  Tlzrw1 container;
  container.AdvicePercent = 1;
  bool advice = false;
  run.Run(container, input, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_TRUE(advice);
  // With noise in the second sample's block the two no longer code below the threshold.
  const Bytes noise = test::RandomData(32768, 11);
  std::copy(noise.begin(), noise.end(), input.begin() + 655360);
  run.Run(container, input, [&](Tlzrw1& c) { return (advice = c.Advise()) ? 1 : 0; });
  EXPECT_FALSE(advice);
}

TEST_P(Container, HeaderAloneDecodesToNothing) {
  EXPECT_TRUE(run.Decompress(Hex("21 48 5A 4C 00 00 00 00")).empty());
  EXPECT_EQ(run.returned, 0);
}

TEST_P(Container, UnknownIdentifierFailsWithTheHeaderMessage) {
  const std::string expected = GetParam() == Mode::Stream
                                   ? "Lzrw1 decompression : input stream contains no valid header !"
                                   : run.input_file + " : Lzrw1 decompression : this file has no valid header !";
  EXPECT_EQ(run.DecompressFailure(Hex("57 52 5A 4D 03 00 00 00 04 00 80 61 62 63")), expected);
  EXPECT_FALSE(OutputFileLeft());  // created, then deleted
}

TEST_P(Container, InputEndingEarlyIsAReadError) {
  for (const char* stream : {"", "57 52 5A", "57 52 5A 4C 03 00", "57 52 5A 4C 03 00 00 00 04",
                             "57 52 5A 4C 03 00 00 00 04 00 80 61", "21 48 5A 4C 03 00"}) {
    EXPECT_EQ(run.DecompressFailure(Hex(stream)), ReadError()) << stream;
  }
}

TEST_P(Container, OverlongStoredLengthIsAReadError) {
  // 32770 bytes follow, so the stored length could be read in full; it is refused before that.
  Bytes stream = Hex("57 52 5A 4C 00 80 00 00 02 80");
  stream.resize(stream.size() + 32770, 0x80);
  EXPECT_EQ(run.DecompressFailure(stream), ReadError());
}

TEST_P(Container, SizeMismatches) {
  const std::string lzrw = "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
  const std::string lzh = "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !";
  EXPECT_EQ(run.DecompressFailure(Hex("57 52 5A 4C 05 00 00 00 04 00 80 61 62 63")), lzrw);
  EXPECT_EQ(run.DecompressFailure(Hex("57 52 5A 4C 02 00 00 00 04 00 80 61 62 63")), lzrw);
  // The field is an unsigned count: sizes of 2^31 and more are read as such, and these streams hold
  // fewer bytes than they state.
  EXPECT_EQ(run.DecompressFailure(Hex("57 52 5A 4C FF FF FF FF 04 00 80 61 62 63")), lzrw);
  EXPECT_EQ(run.DecompressFailure(Hex("57 52 5A 4C 00 00 00 80 01 00 80")), lzrw);
  // The LZH stream has no end of its own: one stating 2^31 bytes runs out of code first.
  EXPECT_EQ(run.DecompressFailure(Hex("21 48 5A 4C 00 00 00 80 F6 FB BD E0")),
            "LZH : Unexpected end of the code stream");
  // Three literals and a 6-byte match, stated as 4 bytes: the match runs past the size.
  EXPECT_EQ(run.DecompressFailure(Hex("21 48 5A 4C 04 00 00 00 F6 FB BD F1 E0 20")), lzh);
  EXPECT_FALSE(OutputFileLeft());
}

TEST_P(Container, LzrwStreamStatingLessThanItsBlocksStopsBeforeWritingThem) {
  // Two whole blocks of runs stated as 100 bytes: nothing past the stated size is written.
  Bytes stream = Hex("57 52 5A 4C 64 00 00 00");
  Bytes runs = Hex("40 FF 00");
  for (int i = 0; i < 7; ++i) runs.insert(runs.end(), {0x00, 0x0F, 0xFF, 0x61});
  for (uint8_t b : Hex("00 0F 87 62 63")) runs.push_back(b);  // 32768 bytes in all
  for (int i = 0; i < 2; ++i) {
    stream.push_back(static_cast<uint8_t>(runs.size()));
    stream.push_back(static_cast<uint8_t>(runs.size() >> 8));
    stream.insert(stream.end(), runs.begin(), runs.end());
  }
  Tlzrw1 container;
  TMemoryStream in(stream), out;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  EXPECT_THROW(container.Decompress(), ELzrw1Exception);
  EXPECT_TRUE(out.Data().empty());
}

TEST_P(Container, LzhStreamCutShortFailsAndLeavesNoOutputFile) {
  Bytes stream = run.Compress(test::MixedData(20000), kLzh);
  stream.resize(stream.size() - 100);
  EXPECT_EQ(run.DecompressFailure(stream), "LZH : Unexpected end of the code stream");
  EXPECT_FALSE(OutputFileLeft());
}

TEST(ContainerStreams, WorkFromTheCurrentPositions) {
  Bytes input = FromString("leading bytes|");
  Bytes stream = Hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62 63");
  input.insert(input.end(), stream.begin(), stream.end());
  input.push_back('!');  // bytes after the last block are not read
  TMemoryStream in(input), out(FromString("kept>"));
  in.Seek(14, SeekOrigin::Beginning);
  out.Seek(0, SeekOrigin::End);
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  EXPECT_EQ(container.Decompress(), 3);
  EXPECT_EQ(out.Data(), FromString("kept>abc"));
  EXPECT_EQ(in.Position(), 14 + 14);
}

TEST(ContainerStreams, CompressStatesTheWholeSizeButCodesFromThePosition) {
  TMemoryStream in(FromString("xyzabc")), out;
  in.Seek(3, SeekOrigin::Beginning);
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  container.CompressionMethod = kLzrw;
  TLZHProgress progress;
  EXPECT_EQ(container.Compress(progress), 14);
  EXPECT_EQ(out.Data(), Hex("57 52 5A 4C 06 00 00 00 04 00 80 61 62 63"));
  // Decoding it fails the size check: the header records more than was coded.
  TMemoryStream coded(out.Data()), back;
  container.InputStream = &coded;
  container.OutputStream = &back;
  EXPECT_THROW(container.Decompress(), ELzrw1Exception);
}

TEST(ContainerStreams, AdviseRestoresThePosition) {
  TMemoryStream in(test::MixedData(200000));
  in.Seek(12345, SeekOrigin::Beginning);
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.Advise();
  EXPECT_EQ(in.Position(), 12345);
}

TEST(ContainerCoderCallbacks, ServeAnyCountAndStayInsideTheirWindows) {
  // The LZH coder asks one byte at a time, but the reader and writer take larger counts too.
  const Bytes input = test::MixedData(100000);
  TMemoryStream in(input), out;
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  container.InBuffer.reset(new uint8_t[Tlzrw1::kBufferSize]);
  container.OutBuffer.reset(new uint8_t[Tlzrw1::kBufferSize]);
  container.ReadWindow = container.InBuffer.get();
  container.WriteWindow = container.OutBuffer.get();
  container.ReadPos = 1;
  container.ReadFill = 0;
  container.WritePos = 1;
  Bytes chunk(40000);
  Bytes copied;
  uint16_t delivered = 0, written = 0;
  for (uint16_t count : {1, 7, 32768, 40000, 5000, 40000, 40000}) {
    container.CoderRead(chunk.data(), count, delivered);
    ASSERT_LE(delivered, count);
    if (delivered == 0) break;
    copied.insert(copied.end(), chunk.begin(), chunk.begin() + delivered);
    container.CoderWrite(chunk.data(), delivered, written);
    EXPECT_EQ(written, delivered);
    if (count == 5000) container.CoderWrite(nullptr, 0, written);  // a flush between writes
  }
  container.CoderRead(chunk.data(), 1, delivered);
  EXPECT_EQ(delivered, 0);  // the end of the input, and again when asked again
  container.CoderWrite(nullptr, 0, written);
  container.CoderWrite(nullptr, 0, written);
  EXPECT_EQ(copied, input);
  EXPECT_EQ(out.Data(), input);
  EXPECT_EQ(container.BytesWritten, 100000);
}

TEST(ContainerProgress, LzhCompressionReportsProgress) {
  struct Listener {
    int calls = 0;
    int32_t last = -1;
    void OnProgress(TLZHProgress& progress) {
      ++calls;
      EXPECT_GE(progress.BytesDone, last);
      last = progress.BytesDone;
    }
  } listener;
  TMemoryStream in(test::MixedData(100000)), out;
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  container.OnProgress = TProgressEvent::Bind<&Listener::OnProgress>(&listener);
  TLZHProgress progress;
  container.Compress(progress);
  EXPECT_GT(listener.calls, 10);
  EXPECT_EQ(progress.BytesDone, 100000);
  EXPECT_EQ(progress.BytesIn, 100000);
}

}  // namespace
}  // namespace vornix

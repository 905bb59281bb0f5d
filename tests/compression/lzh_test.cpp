// TLZH: the worked streams, round trips through the byte-at-a-time reader and writer, the reader's
// protocol, and streams cut short.
#include "compression/lzh.h"

#include <gtest/gtest.h>

#include "tests/compression/test_data.h"

namespace vornix {
namespace {

using test::Bytes;
using test::FromString;
using test::Hex;

// A reader over a byte vector that records how it was asked.
struct Source {
  Bytes data;
  size_t position = 0;
  int calls = 0;
  int calls_after_end = 0;
  void Read(uint8_t* buffer, uint16_t count, uint16_t& delivered) {
    ++calls;
    EXPECT_EQ(count, 1);
    if (position >= data.size()) {
      ++calls_after_end;
      delivered = 0;
      return;
    }
    buffer[0] = data[position++];
    delivered = 1;
  }
  TByteReader Reader() { return TByteReader::Bind<&Source::Read>(this); }
};

struct Sink {
  Bytes data;
  void Write(const uint8_t* buffer, uint16_t count, uint16_t& written) {
    data.insert(data.end(), buffer, buffer + count);
    written = count;
  }
  TByteWriter Writer() { return TByteWriter::Bind<&Sink::Write>(this); }
};

Bytes Encode(const Bytes& input, TLZHProgress* progress_out = nullptr) {
  TLZH coder;
  Source source{input};
  Sink sink;
  TLZHProgress progress;
  coder.Encode(progress, source.Reader(), sink.Writer(), TProgressEvent());
  if (progress_out) *progress_out = progress;
  return sink.data;
}

Bytes Decode(const Bytes& stream, int32_t size) {
  TLZH coder;
  Source source{stream};
  Sink sink;
  coder.Decode(size, source.Reader(), sink.Writer());
  return sink.data;
}

TEST(Lzh, WorkedExamples) {
  const std::pair<Bytes, Bytes> cases[] = {
      {FromString("abc"), Hex("F6 FB BD E0")},
      {FromString("abcabcabc"), Hex("F6 FB BD F1 E0 20")},
      {Bytes(10, 'a'), Hex("F6 C9 00 00")},
      {{}, Hex("C6 00")},
  };
  for (const auto& [input, stream] : cases) {
    EXPECT_EQ(Encode(input), stream) << input.size() << " bytes";
    EXPECT_EQ(Decode(stream, static_cast<int32_t>(input.size())), input);
  }
}

TEST(Lzh, FreshTreeCodes) {
  // One literal coded with the fresh tree, then the flush: the first 8 or 9 bits are its code.
  // 0x00 is 110001100, the space 110101100, 'A' 111001101, 0xFF 10001011.
  EXPECT_EQ(Encode(Bytes{0x00}), Hex("C6 00"));
  EXPECT_EQ(Encode(Bytes{0x20}), Hex("D6 00"));
  EXPECT_EQ(Encode(Bytes{0x41}), Hex("E6 80"));
  EXPECT_EQ(Encode(Bytes{0xFF}), Hex("8B"));
}

TEST(Lzh, RoundTripsAcrossTreeRebuildsAndRingWraps) {
  for (size_t n : {1u, 2u, 59u, 60u, 61u, 1735u, 1736u, 4095u, 4096u, 4097u, 10000u, 300000u}) {
    Bytes input = test::MixedData(n, static_cast<uint32_t>(n));
    EXPECT_EQ(Decode(Encode(input), static_cast<int32_t>(n)), input) << n;
  }
  Bytes noise = test::RandomData(50000);
  EXPECT_EQ(Decode(Encode(noise), 50000), noise);
  Bytes zeros(70000, 0);
  EXPECT_EQ(Decode(Encode(zeros), 70000), zeros);
}

TEST(Lzh, ProgressCountsInputBytes) {
  Bytes input = test::MixedData(12345);
  TLZHProgress progress;
  progress.BytesIn = 1000;  // a running count the coder adds to
  TLZH coder;
  Source source{input};
  Sink sink;
  struct Counter {
    int calls = 0;
    void OnProgress(TLZHProgress&) { ++calls; }
  } counter;
  coder.Encode(progress, source.Reader(), sink.Writer(), TProgressEvent::Bind<&Counter::OnProgress>(&counter));
  EXPECT_EQ(progress.BytesDone, 12345);
  EXPECT_EQ(progress.BytesIn, 1000 + 12345);
  EXPECT_GT(counter.calls, 1);
}

TEST(Lzh, EncoderAsksAgainAfterTheEndOfInput) {
  // The reader is asked once more in every round after the input is exhausted.
  TLZH coder;
  Source source{FromString("abcabcabc")};
  Sink sink;
  TLZHProgress progress;
  coder.Encode(progress, source.Reader(), sink.Writer(), TProgressEvent());
  // Once when filling the look-ahead, then once in each of the four rounds (a, b, c, the match).
  EXPECT_EQ(source.calls_after_end, 5);
}

TEST(Lzh, DecodeOfSizeZeroReadsNothing) {
  TLZH coder;
  Source source{Hex("C6 00")};
  Sink sink;
  coder.Decode(0, source.Reader(), sink.Writer());
  coder.Decode(-5, source.Reader(), sink.Writer());
  EXPECT_EQ(source.calls, 0);
  EXPECT_TRUE(sink.data.empty());
}

TEST(Lzh, DecoderReadsAtMostOneByteBeyondTheStream) {
  for (size_t n : {1u, 3u, 9u, 1000u, 20000u}) {
    Bytes input = test::MixedData(n, 5);
    Bytes stream = Encode(input);
    TLZH coder;
    Source source{stream};
    Sink sink;
    coder.Decode(static_cast<int32_t>(n), source.Reader(), sink.Writer());
    EXPECT_EQ(sink.data, input);
    EXPECT_LE(source.calls_after_end, 1) << n;
  }
}

TEST(Lzh, StreamCutShortIsAnError) {
  Bytes input = test::MixedData(5000, 9);
  Bytes stream = Encode(input);
  for (size_t cut : {size_t{0}, size_t{1}, stream.size() / 2, stream.size() - 1}) {
    Bytes shorter(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    try {
      Decode(shorter, 5000);
      ADD_FAILURE() << "no error for a stream cut to " << cut << " bytes";
    } catch (const ElzhException& e) {
      EXPECT_EQ(e.Message(), "LZH : Unexpected end of the code stream");
    }
  }
  // Told to produce more than the stream holds: the same error, not invented zero bytes.
  EXPECT_THROW(Decode(Encode(FromString("abc")), 4), ElzhException);
}

TEST(Lzh, LastMatchRunsPastTheStatedSize) {
  // abcabcabc is three literals and one 6-byte match: told 4 bytes, the match is written whole.
  EXPECT_EQ(Decode(Hex("F6 FB BD F1 E0 20"), 4), FromString("abcabcabc"));
}

TEST(Lzh, ReaderFailurePassesThroughAndTablesAreFreed) {
  struct Failing {
    int left = 3;
    void Read(uint8_t* buffer, uint16_t, uint16_t& delivered) {
      if (left-- == 0) throw Exception("reader failed");
      buffer[0] = 'x';
      delivered = 1;
    }
  } failing;
  TLZH coder;
  Sink sink;
  TLZHProgress progress;
  EXPECT_THROW(coder.Encode(progress, TByteReader::Bind<&Failing::Read>(&failing), sink.Writer(), TProgressEvent()),
               Exception);
  EXPECT_EQ(progress.BytesDone, 3);  // the count reached, not a final one
  // The instance is usable again.
  EXPECT_EQ(Encode(FromString("abc")), Hex("F6 FB BD E0"));
}

}  // namespace
}  // namespace vornix

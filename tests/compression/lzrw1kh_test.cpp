// TLZR: the worked blocks, the rules of the block format, and damaged blocks.
#include "compression/lzrw1kh.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/compression/test_data.h"

namespace vornix {
namespace {

using test::Bytes;
using test::FromString;
using test::Hex;

Bytes Compress(TLZR& coder, const Bytes& input) {
  Bytes source(kLzrBufferSize, 0), dest(kLzrBufferSize, 0);
  std::copy(input.begin(), input.end(), source.begin());
  uint16_t length = coder.CompressBlock(source.data(), dest.data(), static_cast<uint16_t>(input.size()));
  return Bytes(dest.begin(), dest.begin() + length);
}

// Decodes from a heap block of exactly the block's size, so that the sanitizer build catches any
// read past its end (a vector's spare capacity would hide it).
Bytes Decompress(const Bytes& block) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(block.size(), 1)]);
  std::copy(block.begin(), block.end(), exact.get());
  Bytes dest(kLzrBufferSize, 0);
  uint16_t length = TLZR::DecompressBlock(exact.get(), dest.data(), static_cast<uint16_t>(block.size()));
  return Bytes(dest.begin(), dest.begin() + length);
}

TEST(LzrBlock, WorkedExamples) {
  TLZR coder;
  Bytes run4095(4095, 0x78);
  run4095.push_back(0x79);
  const std::pair<Bytes, Bytes> cases[] = {
      {{}, Hex("80")},
      {FromString("abc"), Hex("80 61 62 63")},
      {Bytes(20, 'a'), Hex("40 80 00 00 00 04 61")},
      {FromString("abcabcabcabcabcabcabc"), Hex("40 10 00 61 62 63 00 3F")},
      {run4095, Hex("40 80 00 00 0F EF 78 79")},
  };
  for (const auto& [input, block] : cases) {
    EXPECT_EQ(Compress(coder, input), block) << "input of " << input.size() << " bytes";
    EXPECT_EQ(Decompress(block), input);
  }
}

TEST(LzrBlock, TinySourcesAreStored) {
  TLZR coder;
  for (size_t n = 0; n <= 3; ++n) {
    Bytes input(n, 'z');
    Bytes block = Compress(coder, input);
    ASSERT_EQ(block.size(), n + 1);
    EXPECT_EQ(block[0], BlockStored);
  }
}

TEST(LzrBlock, RunsOfFifteenAreNotRunItemsButSixteenAre) {
  TLZR coder;
  // 15 equal bytes: a literal and a copy item at offset 1 (14 bytes): 40 40 00 61 00 1B.
  EXPECT_EQ(Compress(coder, Bytes(15, 'a')), Hex("40 40 00 61 00 1B"));
  EXPECT_EQ(Compress(coder, Bytes(16, 'a')), Hex("40 80 00 00 00 00 61"));
  // 4096 equal bytes: a run of 4095, then one literal.
  EXPECT_EQ(Compress(coder, Bytes(4096, 'q')), Hex("40 80 00 00 0F EF 71 71"));
}

TEST(LzrBlock, CandidatesFarBackAreIgnored) {
  TLZR coder;
  // "xyz" at 0 and again at 4096: the offset would be 4096, so the second is coded as literals.
  Bytes input = test::RandomData(4099, 3);
  input[0] = input[4096] = 'x';
  input[1] = input[4097] = 'y';
  input[2] = input[4098] = 'z';
  Bytes block = Compress(coder, input);
  EXPECT_EQ(Decompress(block), input);
  EXPECT_EQ(block[0], BlockStored);  // random bytes and no usable match
}

TEST(LzrBlock, ExactLengthStaysCompressedLongerIsStored) {
  TLZR coder;
  // Five literals and a 5-byte copy take 1 + 2 + 5 + 2 = 10 bytes, as many as the source.
  EXPECT_EQ(Compress(coder, FromString("vwxyzvwxyz")), Hex("40 04 00 76 77 78 79 7A 00 52"));
  // With a 4-byte copy the coded form (10 bytes) is longer than the 9-byte source.
  EXPECT_EQ(Compress(coder, FromString("vwxyzvwxy")), Hex("80 76 77 78 79 7A 76 77 78 79"));
}

TEST(LzrBlock, RoundTripsBlocksOfEverySize) {
  TLZR coder;
  for (size_t n : {0u, 1u, 2u, 3u, 4u, 17u, 18u, 19u, 100u, 4095u, 4096u, 4097u, 32767u, 32768u}) {
    for (uint32_t seed : {1u, 2u}) {
      Bytes input = test::MixedData(n, seed);
      EXPECT_EQ(Decompress(Compress(coder, input)), input) << n;
    }
    Bytes noise = test::RandomData(n);
    Bytes block = Compress(coder, noise);
    EXPECT_LE(block.size(), n + 1);
    EXPECT_EQ(Decompress(block), noise) << n;
  }
}

TEST(LzrBlock, ShortBlocksDecodeToNothing) {
  uint8_t dest[kLzrBufferSize];
  const uint8_t flag_only[] = {0x40};
  EXPECT_EQ(TLZR::DecompressBlock(flag_only, dest, 0), 0);
  EXPECT_EQ(TLZR::DecompressBlock(flag_only, dest, 1), 0);
  const uint8_t stored[] = {0x80, 1, 2, 3};
  EXPECT_EQ(TLZR::DecompressBlock(stored, dest, 4), 3);
  // Any flag other than 0x80 reads as a compressed block.
  const uint8_t other_flag[] = {0x13, 0x00, 0x00, 'k'};
  EXPECT_EQ(TLZR::DecompressBlock(other_flag, dest, 4), 1);
  EXPECT_EQ(dest[0], 'k');
}

// Damaged blocks: each stops at the damaged item and returns the bytes before it.
TEST(LzrBlock, DamagedBlockStopsAtTheDamagedItem) {
  struct Case {
    const char* what;
    Bytes block;
    size_t produced;
  };
  const Case cases[] = {
      {"copy from before the output's start", Hex("40 40 00 61 00 21"), 1},
      {"copy item cut off at the block's end", Hex("40 40 00 61 00"), 1},
      {"run item cut off at the block's end", Hex("40 40 00 61 00 00 05"), 1},
      {"control word cut off", Hex("40 00"), 0},
      {"item after a full group cut off", Hex("40 00 00 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 00"), 16},
      {"run past 32768 output bytes",
       Hex("40 FF 80 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 62 "
           "00 0F FF 63"),
       7 * 4111},
      {"literal after exactly 32768 output bytes",
       Hex("40 FF 00 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F FF 61 00 0F 87 62 "
           "63"),
       32768},
  };
  for (const Case& c : cases) {
    Bytes dest(kLzrBufferSize, 0xEE);
    uint16_t n = TLZR::DecompressBlock(c.block.data(), dest.data(), static_cast<uint16_t>(c.block.size()));
    EXPECT_EQ(n, c.produced) << c.what;
    EXPECT_EQ(dest[kLzrBlockSize], 0xEE) << c.what;  // nothing written past the block
  }
}

TEST(LzrBlock, LiteralsNearTheBlockEndAreNotReadPastIt) {
  // 13 run items and 3 literals, then 9 literals under the last control word: the 3 literals lie
  // 14 bytes before the block's end, where a 16-byte move would read past it (the block sits in a
  // buffer of its own size, so the sanitizer build sees any such read).
  Bytes block = Hex("40 FF F8");
  Bytes expected;
  for (int i = 0; i < 13; ++i) {
    for (uint8_t b : Hex("00 00 00")) block.push_back(b);
    block.push_back(static_cast<uint8_t>('a' + i));
    expected.insert(expected.end(), 16, static_cast<uint8_t>('a' + i));
  }
  for (uint8_t b : Hex("78 79 7A 00 00 31 32 33 34 35 36 37 38 39")) block.push_back(b);
  for (uint8_t b : FromString("xyz123456789")) expected.push_back(b);
  ASSERT_EQ(block.size(), 69u);
  EXPECT_EQ(Decompress(block), expected);
}

TEST(LzrBlock, OverlappingCopiesRepeatThePattern) {
  // "ab" then a copy at offset 2 of 18 bytes, then "xyz01234" and a copy at offset 8 of 18 bytes.
  Bytes block = Hex("40 20 00 61 62 00 2F");
  Bytes out = Decompress(block);
  EXPECT_EQ(out, FromString("abababababababababab"));
  Bytes longer = Hex("40 00 80 78 79 7A 30 31 32 33 34 00 8F");
  EXPECT_EQ(Decompress(longer), FromString("xyz01234xyz01234xyz01234xy"));
}

}  // namespace
}  // namespace vornix

// The unpacking's write-behind thread: entries of every size against its pieces, one after
// another through the same object, a target that fails, an entry abandoned halfway, and LZRW1/KH
// streams whose blocks it takes still coded.
#include "unpack/write_aside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "compression/lzrw1.h"

namespace vornix {
namespace {

constexpr int32_t kPiece = TWriteAside::kPieceBytes;

// Takes the first `limit` bytes, then fails every write.
struct TLimitedStream : TMemoryStream {
  explicit TLimitedStream(int64_t limit) : limit(limit) {}
  int32_t Write(const void* buffer, int32_t count) override {
    if (Size() + count > limit) return -1;
    return TMemoryStream::Write(buffer, count);
  }
  int64_t limit;
};

std::vector<uint8_t> Numbered(size_t size, int seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + i / 4093 + seed);
  return bytes;
}

// Writes the bytes in the decoder's 32 KiB blocks, with an odd one first.
bool WriteAll(TWriteAside& aside, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  for (int32_t step = 1000; done < bytes.size(); step = 32768) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(step, bytes.size() - done));
    if (aside.Write(bytes.data() + done, n) != n) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

TEST(WriteAside, EntriesOfEverySizeArriveWhole) {
  TWriteAside aside;
  int seed = 0;
  for (size_t size : {size_t{0}, size_t{100}, size_t{kPiece}, size_t{kPiece} * 19 / 2 + 7, size_t{5000}}) {
    const std::vector<uint8_t> bytes = Numbered(size, ++seed);
    TMemoryStream target;
    aside.Begin(target);
    ASSERT_TRUE(WriteAll(aside, bytes)) << size;
    EXPECT_EQ(aside.Seek(0, SeekOrigin::Current), static_cast<int64_t>(size));
    ASSERT_TRUE(aside.Finish()) << size;
    EXPECT_EQ(target.Data(), bytes) << size;
  }
}

TEST(WriteAside, AFailedTargetShowsAndTheNextEntryStillArrives) {
  TWriteAside aside;
  const std::vector<uint8_t> bytes = Numbered(kPiece * 3, 1);
  TLimitedStream full(kPiece + kPiece / 2);
  aside.Begin(full);
  const bool all_taken = WriteAll(aside, bytes);  // a later write may already see the failure
  EXPECT_FALSE(aside.Finish() && all_taken);
  EXPECT_EQ(full.Size(), kPiece);  // the whole pieces before the failing one

  const std::vector<uint8_t> next = Numbered(kPiece * 2 + 3, 2);
  TMemoryStream target;
  aside.Begin(target);
  ASSERT_TRUE(WriteAll(aside, next));
  ASSERT_TRUE(aside.Finish());
  EXPECT_EQ(target.Data(), next);
}

TEST(WriteAside, AnAbandonedEntryLeavesOnlyWholePieces) {
  TWriteAside aside;
  const std::vector<uint8_t> bytes = Numbered(kPiece * 5 / 2, 3);
  TMemoryStream target;
  aside.Begin(target);
  ASSERT_TRUE(WriteAll(aside, bytes));
  aside.Abandon();
  // What the thread wrote is the first two pieces; the half piece held back is dropped.
  EXPECT_EQ(target.Data(), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2 * kPiece));
}

// An LZRW1/KH stream of the bytes, as the package writer makes it.
std::vector<uint8_t> CodedLzrw(const std::vector<uint8_t>& bytes) {
  TMemoryStream in(bytes), out;
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &out;
  container.CompressionMethod = 1;
  TLZHProgress progress;
  container.Compress(progress);
  return out.Data();
}

// Decodes the stream into target as the stub does, the aside taking every other whole block coded;
// true when the container and the aside both succeeded. Taken counts the bytes reported.
bool DecodeThroughAside(TWriteAside& aside, const std::vector<uint8_t>& coded, TStream& target, int64_t& taken) {
  struct TCount {
    void Add(int32_t bytes) { *total += bytes; }
    int64_t* total;
  } count{&taken};
  TMemoryStream in(coded);
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = &in;
  container.OutputStream = &aside;
  container.OnFullBlock = decltype(container.OnFullBlock)::Bind<&TWriteAside::TakeCodedBlock>(&aside);
  aside.Begin(target, TWriteAside::TTaken::Bind<&TCount::Add>(&count));
  try {
    container.Decompress();
  } catch (const ELzrw1Exception&) {
    aside.Abandon();
    return false;
  }
  return aside.Finish();
}

TEST(WriteAside, CodedBlocksArriveDecodedInTheirPlaces) {
  TWriteAside aside;
  int seed = 10;
  // Whole pieces and a rest; whole blocks only (the stream ends with an empty block); one piece's
  // worth taken by the caller's Finish alone.
  for (size_t size : {size_t{kPiece} * 3 + 12345, size_t{TWriteAside::kBlockBytes} * 9, size_t{100000}}) {
    const std::vector<uint8_t> bytes = Numbered(size, ++seed);
    TMemoryStream target;
    int64_t taken = 0;
    ASSERT_TRUE(DecodeThroughAside(aside, CodedLzrw(bytes), target, taken)) << size;
    EXPECT_EQ(target.Data(), bytes) << size;
    EXPECT_EQ(taken, static_cast<int64_t>(size)) << size;
  }
}

TEST(WriteAside, ATakenBlockThatDecodesShortFailsTheEntry) {
  TWriteAside aside;
  std::vector<uint8_t> coded = CodedLzrw(Numbered(size_t{kPiece} * 2, 4));
  // The second block, which the aside takes, marked stored: it decodes to its length less one byte.
  size_t at = 8;
  at += 2 + (coded[at] | coded[at + 1] << 8);
  ASSERT_EQ(coded[at + 2], BlockCompressed);
  coded[at + 2] = BlockStored;
  TMemoryStream target;
  int64_t taken = 0;
  EXPECT_FALSE(DecodeThroughAside(aside, coded, target, taken));
  EXPECT_LT(target.Size(), kPiece);  // the piece holding the block is never written

  const std::vector<uint8_t> next = Numbered(size_t{kPiece} + 5, 5);
  TMemoryStream next_target;
  ASSERT_TRUE(DecodeThroughAside(aside, CodedLzrw(next), next_target, taken));
  EXPECT_EQ(next_target.Data(), next);
}

}  // namespace
}  // namespace vornix

// The unpacking's write-behind thread: entries of every size against its pieces, one after
// another through the same object, a target that fails, and an entry abandoned halfway.
#include "unpack/write_aside.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

}  // namespace
}  // namespace vornix

// The ordered output: entries come out in table order whatever order they are written and finished
// in, a writer ahead of its turn waits once the memory budget is spent, and the limit, a stop and a
// failing output each end the writing where they should.
#include "package/ordered_output.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/package/package_test_support.h"

namespace vornix {
namespace {

int32_t WriteText(TOrderedOutput::TEntrySink& sink, const std::string& text) {
  return sink.Write(text.data(), static_cast<int32_t>(text.size()));
}

std::string Text(const TMemoryStream& stream) { return std::string(stream.Data().begin(), stream.Data().end()); }

TEST(OrderedOutput, EntriesComeOutInTableOrder) {
  TMemoryStream output;
  output.Write("head", 4);
  TOrderedOutput ordered(output, 3, 1 << 20, int64_t{1} << 31);
  TOrderedOutput::TEntrySink first(ordered, 0), second(ordered, 1), third(ordered, 2);
  EXPECT_EQ(WriteText(third, "ccc"), 3);
  EXPECT_EQ(WriteText(second, "bb"), 2);
  third.Finish();
  EXPECT_EQ(third.Seek(0, SeekOrigin::Current), 3);
  EXPECT_EQ(Text(output), "head");  // nothing before the head's turn
  EXPECT_EQ(WriteText(first, "a"), 1);
  EXPECT_EQ(Text(output), "heada");  // the head writes straight through
  EXPECT_EQ(WriteText(second, "B"), 1);
  first.Finish();
  EXPECT_EQ(Text(output), "headabbB");  // the next entry's held bytes follow at once
  second.Finish();
  EXPECT_EQ(Text(output), "headabbBccc");
  const int64_t offsets[] = {4, 5, 8}, sizes[] = {1, 3, 3};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ordered.Offset(i), offsets[i]) << i;
    EXPECT_EQ(ordered.Size(i), sizes[i]) << i;
  }
}

TEST(OrderedOutput, WriterAheadWaitsForItsTurnOnceTheBudgetIsSpent) {
  TMemoryStream output;
  TOrderedOutput ordered(output, 2, 4, int64_t{1} << 31);
  TOrderedOutput::TEntrySink first(ordered, 0), second(ordered, 1);
  std::thread ahead([&] {
    EXPECT_EQ(WriteText(second, "1234"), 4);  // fits the budget
    EXPECT_EQ(WriteText(second, "5"), 1);     // waits until entry 0 is out
    second.Finish();
  });
  // The waiting writer holds back nothing but its own turn: the head goes on.
  EXPECT_EQ(WriteText(first, "first"), 5);
  first.Finish();
  ahead.join();
  EXPECT_EQ(Text(output), "first12345");
}

TEST(OrderedOutput, EntryReachingTheLimitStopsAtIt) {
  TMemoryStream output;
  TOrderedOutput ordered(output, 3, 1 << 20, 10);
  TOrderedOutput::TEntrySink first(ordered, 0), second(ordered, 1), third(ordered, 2);
  EXPECT_EQ(WriteText(third, "c"), 1);
  EXPECT_EQ(WriteText(first, "123456789"), 9);  // ends at 9, below the limit
  first.Finish();
  EXPECT_EQ(WriteText(second, "x"), -1);  // would end at 10
  EXPECT_EQ(ordered.EntryPastLimit(), 1u);
  EXPECT_TRUE(ordered.Stopped(1));
  EXPECT_TRUE(ordered.Stopped(2));
  EXPECT_EQ(WriteText(third, "c"), -1);
  EXPECT_EQ(ordered.EntryNotWritten(), 3u);
  EXPECT_EQ(Text(output), "123456789");
}

TEST(OrderedOutput, StopEndsTheEntriesFromItsPlaceOnAndWakesTheirWriters) {
  TMemoryStream output;
  TOrderedOutput ordered(output, 3, 0, int64_t{1} << 31);
  TOrderedOutput::TEntrySink first(ordered, 0), second(ordered, 1), third(ordered, 2);
  std::thread waiting([&] { EXPECT_EQ(WriteText(third, "c"), -1); });
  ordered.Stop(2);
  waiting.join();
  EXPECT_FALSE(ordered.Stopped(1));
  EXPECT_EQ(WriteText(first, "a"), 1);
  first.Finish();
  EXPECT_EQ(WriteText(second, "b"), 1);
  second.Finish();
  EXPECT_EQ(Text(output), "ab");
}

// An output that takes a given number of bytes and then fails.
class ShortOutput : public TMemoryStream {
 public:
  explicit ShortOutput(int64_t room) : room_(room) {}
  int32_t Write(const void* buffer, int32_t count) override {
    return Position() + count > room_ ? -1 : TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t room_;
};

TEST(OrderedOutput, FailingOutputStopsEverything) {
  ShortOutput output(3);
  TOrderedOutput ordered(output, 3, 1 << 20, int64_t{1} << 31);
  TOrderedOutput::TEntrySink first(ordered, 0), second(ordered, 1);
  EXPECT_EQ(WriteText(first, "abc"), 3);
  first.Finish();
  EXPECT_EQ(WriteText(second, "d"), -1);
  EXPECT_EQ(ordered.EntryNotWritten(), 1u);
  EXPECT_TRUE(ordered.Stopped(0));
}

}  // namespace
}  // namespace vornix

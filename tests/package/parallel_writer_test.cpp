// The package writer with several workers: the same bytes for any number of them and any memory
// budget, the first failure in table order whatever finishes first, and progress that ends at the
// totals.
#include <gtest/gtest.h>

#include <deque>

#include "package/package_writer.h"
#include "tests/package/package_test_support.h"

namespace vornix {
namespace {

// Files of many sizes and kinds, each method, some big enough for several LZH write windows.
struct Inputs {
  std::deque<TMemoryStream> streams;
  PackagePlan plan;

  Inputs() {
    plan.Title = "Parallel";
    for (uint32_t i = 0; i < 24; ++i) {
      const size_t size = (i * 7919u) % 200000u + (i % 5 == 0 ? 0 : 17);
      streams.emplace_back(i % 3 == 0 ? test::RandomData(size, i) : test::MixedData(size, i));
      plan.Files.push_back({"file" + std::to_string(i) + ".bin", &streams.back(), static_cast<uint8_t>(i % 3)});
    }
  }
};

Bytes Written(const PackagePlan& plan, int jobs, int64_t budget) {
  TMemoryStream output;
  WriteOptions options;
  options.Jobs = jobs;
  options.MemoryBudget = budget;
  WritePackage(plan, output, options);
  return output.Data();
}

TEST(ParallelWriter, SameBytesForAnyNumberOfJobsAndAnyBudget) {
  Inputs inputs;
  const Bytes one_job = Written(inputs.plan, 1, int64_t{32} << 20);
  for (int jobs : {2, 3, 8}) {
    for (int64_t budget : {int64_t{0}, int64_t{5000}, int64_t{32} << 20}) {
      EXPECT_TRUE(Written(inputs.plan, jobs, budget) == one_job) << jobs << " jobs, budget " << budget;
    }
  }
}

// Content that fails to read once a given number of bytes have been read.
class FailingContent : public TMemoryStream {
 public:
  FailingContent(Bytes data, int64_t readable) : TMemoryStream(std::move(data)), readable_(readable) {}
  int32_t Read(void* buffer, int32_t count) override {
    return Position() + count > readable_ ? -1 : TMemoryStream::Read(buffer, count);
  }

 private:
  int64_t readable_;
};

TEST(ParallelWriter, FirstFailureInTableOrderIsReportedWhateverFailsFirst) {
  // Entry 2 fails late (LZH reads 32 KB at a time), entry 5 at once: with several workers entry 5
  // fails first, yet entry 2's failure is the one reported, as with one worker.
  Inputs inputs;
  FailingContent late(test::MixedData(300000, 2), 150000), early(test::MixedData(1000, 5), 0);
  inputs.plan.Files[2] = {"late.bin", &late, 0};
  inputs.plan.Files[5] = {"early.bin", &early, 1};
  for (int jobs : {1, 2, 4}) {
    TMemoryStream output;
    WriteOptions options;
    options.Jobs = jobs;
    EXPECT_EQ(FailureOf([&] { WritePackage(inputs.plan, output, options); }),
              "\"late.bin\": Lzrw1 : Error reading from input stream ! (LZH)")
        << jobs;
  }
}

TEST(ParallelWriter, ProgressEndsAtTheTotals) {
  Inputs inputs;
  int64_t total = 0;
  for (const TMemoryStream& stream : inputs.streams) total += static_cast<int64_t>(stream.Data().size());
  std::vector<WriteProgress> reports;
  TMemoryStream output;
  WriteOptions options;
  options.Jobs = 2;
  options.OnProgress = [&reports](const WriteProgress& progress) { reports.push_back(progress); };
  WritePackage(inputs.plan, output, options);
  ASSERT_FALSE(reports.empty());
  for (size_t i = 1; i < reports.size(); ++i) {
    EXPECT_GE(reports[i].FilesDone, reports[i - 1].FilesDone);
    EXPECT_GE(reports[i].BytesDone, reports[i - 1].BytesDone);
  }
  EXPECT_EQ(reports.back().FilesDone, inputs.plan.Files.size());
  EXPECT_EQ(reports.back().FileCount, inputs.plan.Files.size());
  EXPECT_EQ(reports.back().BytesDone, total);
  EXPECT_EQ(reports.back().BytesTotal, total);
}

}  // namespace
}  // namespace vornix

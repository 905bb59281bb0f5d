// The progress line and the sizes it shows.
#include "tools/progress_bar.h"

#include <gtest/gtest.h>

namespace vornix::tools {
namespace {

TEST(ProgressBar, SizesAndCounts) {
  EXPECT_EQ(HumanSize(0), "0 bytes");
  EXPECT_EQ(HumanSize(999), "999 bytes");
  EXPECT_EQ(HumanSize(1000), "1.0 kB");
  EXPECT_EQ(HumanSize(812345), "812.3 kB");
  EXPECT_EQ(HumanSize(1000000), "1.0 MB");
  EXPECT_EQ(HumanSize(52345678), "52.3 MB");
  EXPECT_EQ(Count(1, "file"), "1 file");
  EXPECT_EQ(Count(0, "file"), "0 files");
}

TEST(ProgressBar, LineShowsRateAndTimeLeftOnceThereIsSomethingToGoBy) {
  WriteProgress progress;
  progress.FileCount = 4;
  progress.FilesDone = 1;
  progress.BytesTotal = 40000000;
  progress.BytesDone = 10000000;
  EXPECT_EQ(ProgressLine(progress, 0.2), "[######------------------] 1/4 files, 10.0 MB of 40.0 MB");
  EXPECT_EQ(ProgressLine(progress, 2.0),
            "[######------------------] 1/4 files, 10.0 MB of 40.0 MB, 5.0 MB/s, 0:06 left");
  // Without bytes to count (empty files), the files count.
  progress.BytesTotal = progress.BytesDone = 0;
  EXPECT_EQ(ProgressLine(progress, 2.0), "[######------------------] 1/4 files, 0 bytes of 0 bytes");
}

}  // namespace
}  // namespace vornix::tools

// The integrity record: its bytes behind the last entry, hashed here with xxHash's own XXH32, and
// each kind of damage as the package reader sees it: the head, the record, its mark, an entry's
// bytes; a legacy package and an appended signature.
#include "package/integrity.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "package/package_reader.h"
#include "package/package_writer.h"
#include "tests/package/package_test_support.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace vornix {
namespace {

const size_t kPackageStart = static_cast<size_t>(PackageOffset);

struct Written {
  std::deque<TMemoryStream> contents;
  std::vector<Bytes> originals;
  std::vector<std::string> names = {"data.bin", "text.txt", "empty"};
  Bytes image;
};

// Publisher "Pub", title "Title", note "Note"; the first entry is noise that LZRW1/KH stores as
// it is, so that a changed byte of its stream decodes to a changed byte of the file.
Written WriteSample(bool checksums) {
  Written written;
  written.originals = {test::RandomData(3000, 7), test::MixedData(5000, 3), Bytes()};
  PackagePlan plan;
  plan.Publisher = "Pub";
  plan.Title = "Title";
  plan.Note = "Note";
  plan.Flags = RunAfterUnpack;
  plan.Checksums = checksums;
  for (size_t i = 0; i < 3; ++i) {
    written.contents.emplace_back(written.originals[i]);
    plan.Files.push_back({written.names[i], &written.contents.back(), static_cast<uint8_t>(i == 0 ? 1 : 0)});
  }
  TMemoryStream output;
  WritePackage(plan, output);
  written.image = output.Data();
  return written;
}

PackageIndex IndexOf(const Bytes& image) {
  TMemoryStream stream(image);
  return ReadPackageIndex(stream);
}

uint32_t Xxh32(const uint8_t* data, size_t count) { return XXH32(data, count, 0); }

TEST(IntegrityRecord, LiesBehindTheLastEntryWithXxh32OfHeadAndEntries) {
  const Written written = WriteSample(true);
  const Bytes& image = written.image;
  EXPECT_EQ(image[kPackageStart + 9], RunAfterUnpack | HasChecksums);
  const PackageIndex index = IndexOf(image);
  const size_t end = index.Entries[2].Offset + index.Entries[2].Size;
  // 4 + 1 + 1 + 2 + 4, three entry hashes of 4, the record's own 4.
  ASSERT_EQ(image.size(), end + 28);
  const uint8_t* record = image.data() + end;
  EXPECT_EQ(Bytes(record, record + 8), Hex("56 58 43 4B 03 01 00 00"));
  // The head: header, texts and table (12 + 3 + 5 + 4 + 3 * 8 bytes), then each name and its zero.
  Bytes head(image.begin() + kPackageStart, image.begin() + kPackageStart + 12 + 12 + 24);
  for (const std::string& name : written.names) {
    head.insert(head.end(), name.begin(), name.end());
    head.push_back(0);
  }
  EXPECT_EQ(Le32(record + 8), Xxh32(head.data(), head.size()));
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(Le32(record + 12 + 4 * i), Xxh32(written.originals[i].data(), written.originals[i].size())) << i;
    EXPECT_TRUE(index.Entries[i].HasHash) << i;
  }
  EXPECT_EQ(Le32(record + 24), Xxh32(record, 24));
  EXPECT_TRUE(index.Checks.Carried());
}

TEST(IntegrityRecord, DamageIsFoundWhereverItLies) {
  const Written checked = WriteSample(true);
  const Written legacy = WriteSample(false);
  const PackageIndex good = IndexOf(checked.image);
  const size_t record = good.Entries[2].Offset + good.Entries[2].Size;
  using namespace package_messages;
  struct Case {
    const char* what;
    const Written& package;
    std::function<void(Bytes&)> damage;
    std::string problem;
    bool marked;
    int mismatch;  // the entry that decodes to other bytes than its hash says, or -1
  };
  const Case cases[] = {
      {"none", checked, [](Bytes&) {}, "", true, -1},
      {"a signature appended", checked, [](Bytes& image) { image.resize(image.size() + 1000, 0x30); }, "", true, -1},
      {"the reserved header bytes", checked, [](Bytes& image) { image[kPackageStart + 2] = 1; }, kHeadMismatch, true,
       -1},
      {"the title", checked, [](Bytes& image) { image[kPackageStart + 16] ^= 0x20; }, kHeadMismatch, true, -1},
      {"the table", checked, [](Bytes& image) { image[kPackageStart + 24 + 4] ^= 1; }, kHeadMismatch, true, -1},
      {"a name", checked, [&](Bytes& image) { image[good.Entries[1].Offset] = 'T'; }, kHeadMismatch, true, -1},
      {"an entry's stream", checked,
       [&](Bytes& image) { image[static_cast<size_t>(good.Entries[0].StreamStart) + 100] ^= 0x80; }, "", true, 0},
      {"an entry's hash", checked, [&](Bytes& image) { image[record + 16] ^= 1; }, kRecordDamaged, true, -1},
      {"the record's own hash", checked, [&](Bytes& image) { image[record + 27] ^= 1; }, kRecordDamaged, true, -1},
      {"the record's magic", checked, [&](Bytes& image) { image[record] = 'X'; }, kRecordMissing, true, -1},
      {"the record cut off", checked, [&](Bytes& image) { image.resize(record + 20); }, kRecordMissing, true, -1},
      {"the mark cleared", checked, [](Bytes& image) { image[kPackageStart + 9] = RunAfterUnpack; }, kRecordUnmarked,
       false, -1},
      {"legacy", legacy, [](Bytes&) {}, "", false, -1},
      {"legacy, its stream damaged", legacy,
       [&](Bytes& image) { image[static_cast<size_t>(good.Entries[0].StreamStart) + 100] ^= 0x80; }, "", false, -1},
      {"legacy, marked", legacy, [](Bytes& image) { image[kPackageStart + 9] |= HasChecksums; }, kRecordMissing, true,
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes image = c.package.image;
    c.damage(image);
    const PackageIndex index = IndexOf(image);
    EXPECT_EQ(index.Checks.Problem, c.problem);
    EXPECT_EQ(index.Checks.Marked, c.marked);
    if (!c.problem.empty() && c.problem != kHeadMismatch) continue;
    for (int i = 0; i < 3; ++i) {
      TMemoryStream package(image), decoded;
      EXPECT_EQ(FailureOf([&] { DecodeEntry(package, index.Entries[i], decoded); }),
                i == c.mismatch ? kChecksumMismatch : "")
          << i;
    }
  }
}

}  // namespace
}  // namespace vornix

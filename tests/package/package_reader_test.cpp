// The tools' package reader: what it learns of each entry of a written package, the round trip
// through DecodeEntry, and each kind of damage described against the entry it hits.
#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "compression/lzrw1.h"
#include "package/package_writer.h"
#include "tests/package/package_test_support.h"

namespace vornix {
namespace {

struct Written {
  std::deque<TMemoryStream> contents;
  std::vector<Bytes> originals;
  Bytes image;
};

// Three entries: LZH text, LZRW1/KH data and an empty file.
Written WriteSample() {
  Written written;
  written.originals = {test::MixedData(70000, 3), test::RandomData(40000, 4), Bytes()};
  PackagePlan plan;
  const char* names[] = {"text.txt", "data.bin", "empty"};
  for (size_t i = 0; i < 3; ++i) {
    written.contents.emplace_back(written.originals[i]);
    plan.Files.push_back({names[i], &written.contents.back(), static_cast<uint8_t>(i == 1 ? 1 : 0)});
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

// The first table slot's place in the image (no texts in the sample).
size_t Slot(size_t index) { return static_cast<size_t>(PackageOffset) + 12 + 8 * index; }

void StoreLe32(Bytes& image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(PackageReader, IndexAndDecodeOfAWrittenPackage) {
  const Written written = WriteSample();
  const PackageIndex index = IndexOf(written.image);
  ASSERT_EQ(index.Entries.size(), 3u);
  const uint32_t ids[] = {LzhHeaderId, LzrwHeaderId, LzhHeaderId};
  for (size_t i = 0; i < 3; ++i) {
    const PackageEntryInfo& entry = index.Entries[i];
    EXPECT_EQ(entry.Problem, "") << i;
    EXPECT_EQ(entry.MethodId, ids[i]) << i;
    EXPECT_EQ(entry.OriginalSize, static_cast<int64_t>(written.originals[i].size())) << i;
    EXPECT_EQ(entry.StreamStart, entry.Offset + static_cast<int64_t>(entry.Name.size()) + 1) << i;
    EXPECT_EQ(entry.StreamStart + entry.StreamLength, int64_t{entry.Offset} + entry.Size) << i;
    TMemoryStream package(written.image), decoded;
    EXPECT_EQ(DecodeEntry(package, entry, decoded), static_cast<int64_t>(written.originals[i].size())) << i;
    EXPECT_TRUE(decoded.Data() == written.originals[i]) << i;
  }
  EXPECT_EQ(index.Entries[1].Name, "data.bin");
  EXPECT_STREQ(MethodName(index.Entries[1].MethodId), "LZRW1/KH");
  EXPECT_STREQ(MethodName(0x12345678), "unknown");
}

TEST(PackageReader, DamageIsDescribedAgainstTheEntryItHits) {
  const Written written = WriteSample();
  const PackageIndex good = IndexOf(written.image);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    std::string problem;  // of entry 1
  };
  const Case cases[] = {
      {"a name the stub refuses", [&](Bytes& image) { image[good.Entries[1].Offset] = '/'; },
       "the stub refuses its name: it holds a folder separator or a drive colon"},
      {"an entry past the end", [&](Bytes& image) { StoreLe32(image, Slot(1) + 4, good.Entries[1].Size + 200000); },
       package_messages::kEntryPastEnd},
      {"an entry ending before its name", [&](Bytes& image) { StoreLe32(image, Slot(1) + 4, 3); },
       package_messages::kEntryBeforeName},
      {"an offset past the end", [&](Bytes& image) { StoreLe32(image, Slot(1), 0x01000000); },
       package_messages::kEntryPastEnd},
  };
  for (const Case& c : cases) {
    Bytes image = written.image;
    c.damage(image);
    const PackageIndex index = IndexOf(image);
    EXPECT_EQ(index.Entries[0].Problem, "") << c.what;
    EXPECT_EQ(index.Entries[1].Problem, c.problem) << c.what;
    TMemoryStream package(image), decoded;
    EXPECT_EQ(FailureOf([&] { DecodeEntry(package, index.Entries[1], decoded); }), c.problem) << c.what;
  }
}

TEST(PackageReader, TableCutShortMarksTheMissingSlots) {
  const Written written = WriteSample();
  // Cut inside the second slot: the first entry's bytes are gone too, but its slot is whole.
  const Bytes image(written.image.begin(), written.image.begin() + static_cast<std::ptrdiff_t>(Slot(1) + 5));
  const PackageIndex index = IndexOf(image);
  ASSERT_EQ(index.Entries.size(), 3u);
  EXPECT_EQ(index.Entries[0].Problem, package_messages::kEntryPastEnd);
  for (size_t i : {1, 2}) {
    EXPECT_EQ(index.Entries[i].Problem, "its slot in the entry table lies past the end of the file") << i;
  }
}

TEST(PackageReader, StreamsThatDoNotDecodeToTheirStatedSize) {
  const Written written = WriteSample();
  const PackageIndex good = IndexOf(written.image);
  const PackageEntryInfo& lzrw = good.Entries[1];
  struct Case {
    const char* what;
    size_t at;  // a byte of the LZRW1/KH entry's stream
    uint8_t value;
    std::string message;
  };
  const Case cases[] = {
      {"a larger stated size", 6, 0x7F,
       "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !"},
      {"an unknown method", 0, 0x00, "Lzrw1 decompression : input stream contains no valid header !"},
  };
  for (const Case& c : cases) {
    Bytes image = written.image;
    image[static_cast<size_t>(lzrw.StreamStart) + c.at] = c.value;
    const PackageIndex index = IndexOf(image);
    TMemoryStream package(image), decoded;
    EXPECT_EQ(FailureOf([&] { DecodeEntry(package, index.Entries[1], decoded); }), c.message) << c.what;
  }
}

TEST(PackageReader, HeaderThatCannotBeReadIsRaised) {
  EXPECT_EQ(FailureOf([] { IndexOf(Bytes(100, 0)); }), package_messages::kReadError);
  Bytes image = WriteSample().image;
  image[static_cast<size_t>(PackageOffset)] = 3;
  EXPECT_EQ(FailureOf([&] { IndexOf(image); }), package_messages::kInvalidVersion);
}

}  // namespace
}  // namespace vornix

// The pieces of the stub's branding that stand alone: the resource tree written and read back, the
// icon file's refusals, the version resource's numbers. Whole packages are read back by pefile
// (tests/tools/branding_test.py) and by Windows itself (tests/win/stub_resource_tests.cpp).
#include <gtest/gtest.h>

#include "compression/unaligned.h"
#include "resources/icon_file.h"
#include "resources/resource_section.h"
#include "resources/stub_branding.h"
#include "resources/version_info.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

constexpr uint32_t kRva = 0x38000;

Resource Make(ResourceId type, ResourceId name, uint16_t language, size_t size) {
  Resource resource;
  resource.Type = type;
  resource.Name = name;
  resource.Language = language;
  resource.CodePage = language == 1033 ? 0 : 1252;
  for (size_t i = 0; i < size; ++i) resource.Data.push_back(static_cast<uint8_t>(i * 7 + language));
  return resource;
}

ResourceId Number(uint16_t n) { return ResourceId{n, u""}; }
ResourceId Named(const char16_t* text) { return ResourceId{0, text}; }

bool Same(const Resource& a, const Resource& b) {
  return a.Type == b.Type && a.Name == b.Name && a.Language == b.Language && a.CodePage == b.CodePage &&
         a.Data == b.Data;
}

std::string Failure(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& failure) {
    return failure.Message();
  }
  return "no failure";
}

// Given in no order; read back names first by code unit, then numbers, at every level.
TEST(ResourceSection, WrittenTreeReadsBackInTheLoadersOrder) {
  const std::vector<Resource> given = {Make(Number(24), Number(1), 1033, 1396),
                                       Make(Number(3), Number(2), 1033, 5),
                                       Make(Number(14), Named(u"MAINICON"), 1033, 34),
                                       Make(Number(3), Number(1), 1033, 0),
                                       Make(Named(u"PNG"), Named(u"LOGO"), 1031, 9),
                                       Make(Named(u"PNG"), Named(u"BANNER"), 1031, 3),
                                       Make(Number(3), Number(1), 1031, 4),
                                       Make(Number(14), Number(7), 1033, 14)};
  const std::vector<uint8_t> section = WriteResourceSection(given, kRva);
  const std::vector<Resource> read = ReadResourceSection(section.data(), static_cast<uint32_t>(section.size()), kRva);
  const size_t order[] = {5, 4, 6, 3, 1, 2, 7, 0};
  ASSERT_EQ(given.size(), read.size());
  for (size_t i = 0; i < read.size(); ++i) EXPECT_TRUE(Same(given[order[i]], read[i])) << i;
}

TEST(ResourceSection, EveryCutAndStrayOffsetIsDamage) {
  const std::vector<Resource> given = {Make(Number(16), Number(1), 1033, 40), Make(Named(u"X"), Number(2), 0, 8)};
  const std::vector<uint8_t> section = WriteResourceSection(given, kRva);
  const std::string damaged = "its resource section is damaged";
  // Every cut loses a directory, a name or data the tree points at.
  for (size_t size = 0; size < section.size(); ++size) {
    EXPECT_EQ(damaged, Failure([&] { ReadResourceSection(section.data(), static_cast<uint32_t>(size), kRva); }))
        << size;
  }
  EXPECT_EQ(damaged,
            Failure([&] { ReadResourceSection(section.data(), static_cast<uint32_t>(section.size()), kRva + 0x1000); }))
      << "data before the section";
  std::vector<uint8_t> flat = section;
  flat[16 + 4 + 3] &= 0x7F;  // the root's first entry points at data instead of a directory
  EXPECT_EQ(damaged, Failure([&] { ReadResourceSection(flat.data(), static_cast<uint32_t>(flat.size()), kRva); }));
}

// An .ico file whose count entries all point at the one image at offset.
std::vector<uint8_t> Ico(uint16_t type, uint16_t count, const std::vector<uint8_t>& image, uint32_t offset) {
  std::vector<uint8_t> file(6 + 16 * count, 0);
  file[2] = static_cast<uint8_t>(type);
  file[4] = static_cast<uint8_t>(count);
  for (size_t entry = 6; entry < file.size(); entry += 16) {
    file[entry] = file[entry + 1] = 16;
    StoreLE32(&file[entry + 8], static_cast<uint32_t>(image.size()));
    StoreLE32(&file[entry + 12], offset);
  }
  for (uint8_t byte : image) file.push_back(byte);
  return file;
}

// A BITMAPINFOHEADER of 40 bytes: 1 plane, 4 bits per pixel.
std::vector<uint8_t> Bitmap() {
  std::vector<uint8_t> bitmap(40 + 16 * 4 + 128 + 64, 0);
  bitmap[0] = 40;
  bitmap[12] = 1;
  bitmap[14] = 4;
  return bitmap;
}

TEST(IconFile, RefusesWhatIsNoIconSayingWhy) {
  const std::vector<uint8_t> bitmap = Bitmap();
  const std::vector<uint8_t> no_picture(64, 'x');
  const struct {
    std::vector<uint8_t> file;
    const char* reason;
  } cases[] = {
      {{0, 0, 1, 0}, "it is shorter than an icon file's header"},
      {{'M', 'Z', 1, 0, 1, 0}, "its header is not an icon file's"},
      {Ico(2, 1, bitmap, 22), "it holds a cursor"},
      {Ico(1, 0, {}, 0), "it holds no image"},
      {Ico(1, 1, {}, 0), "image 1 lies outside the file"},  // no bytes at all
      {Ico(1, 1, bitmap, 23), "image 1 lies outside the file"},
      {{0, 0, 1, 0, 3, 0, 16, 16, 0, 0}, "its directory is cut short"},
      {Ico(1, 1, no_picture, 22), "image 1 is neither a bitmap nor a PNG picture"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string("not an icon file (") + c.reason + ")", Failure([&] { ReadIconFile(c.file); }));
  }
}

// Planes and bit count left at zero in the directory come from the image; the group numbers the
// images from its first id.
TEST(IconFile, GroupTakesTheImagesDepthAndNumbersThem) {
  const std::vector<IconImage> images = ReadIconFile(Ico(1, 2, Bitmap(), 38));
  ASSERT_EQ(2u, images.size());
  EXPECT_EQ(1, images[1].Planes);
  EXPECT_EQ(4, images[1].BitCount);
  EXPECT_EQ(Bitmap(), images[1].Data);
  const std::vector<uint8_t> group = IconGroup(images, 5);
  const std::vector<uint8_t> entry = {16, 16, 0, 0, 1, 0, 4, 0, 40, 1, 0, 0, 6, 0};  // 296 bytes, id 6
  ASSERT_EQ(6u + 2 * 14, group.size());
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 1, 0, 2, 0}), std::vector<uint8_t>(group.begin(), group.begin() + 6));
  EXPECT_EQ(entry, std::vector<uint8_t>(group.begin() + 20, group.end()));
}

TEST(VersionInfo, NumbersReadBackAndPrintAsTheStubWritesThem) {
  VersionTexts texts;
  texts.Numbers = {2, 1, 0, 7};
  texts.Version = u"2.1.0.7";
  VersionNumbers read = {};
  ASSERT_TRUE(FixedFileVersion(VersionResource(texts), &read));
  EXPECT_EQ(texts.Numbers, read);
  EXPECT_FALSE(FixedFileVersion(std::vector<uint8_t>(90, 0), &read));
  EXPECT_EQ(u"1.0", VersionText({1, 0, 0, 0}));
  EXPECT_EQ(u"1.2.3", VersionText({1, 2, 3, 0}));
  EXPECT_EQ(u"65535.0.0.1", VersionText({65535, 0, 0, 1}));
}

}  // namespace
}  // namespace vornix

// The .ico file: a 6-byte header (reserved 0, type 1 for icons, the image count), 16-byte directory
// entries (width, height, colour count, a reserved byte, planes, bits per pixel, the image's size
// and its offset in the file), then the images: each a BITMAPINFOHEADER with its pixels and mask,
// or a whole PNG file.
#include "resources/icon_file.h"

#include <cstring>
#include <string>

#include "compression/unaligned.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

constexpr size_t kHeaderSize = 2 + 2 + 2;
constexpr size_t kFileEntrySize = 1 + 1 + 1 + 1 + 2 + 2 + 4 + 4;
constexpr size_t kGroupEntrySize = 1 + 1 + 1 + 1 + 2 + 2 + 4 + 2;
constexpr uint32_t kBitmapHeaderSize = 40;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The signature, then the IHDR chunk: length 4, type 4, width 4, height 4, bit depth 1, colour type 1.
constexpr size_t kPngHeaderSize = 8 + 4 + 4 + 4 + 4 + 1 + 1;

[[noreturn]] void NotAnIcon(const std::string& reason) { throw Exception("not an icon file (" + reason + ")"); }

// Planes and bits per pixel as the image itself states them.
void ImageDepth(const IconImage& image, size_t number, uint16_t* planes, uint16_t* bits) {
  const std::vector<uint8_t>& data = image.Data;
  if (data.size() >= kPngHeaderSize && std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0) {
    // Samples per pixel by colour type: grey 1, RGB 3, palette 1, grey and alpha 2, RGBA 4.
    static const uint8_t kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
    const uint8_t type = data[25];
    *planes = 1;
    *bits = static_cast<uint16_t>(data[24] * (type < 7 ? kSamples[type] : 0));
    return;
  }
  if (data.size() >= kBitmapHeaderSize && LoadLE32(data.data()) >= kBitmapHeaderSize &&
      LoadLE32(data.data()) <= data.size()) {
    *planes = LoadLE16(data.data() + 12);
    *bits = LoadLE16(data.data() + 14);
    return;
  }
  NotAnIcon("image " + std::to_string(number) + " is neither a bitmap nor a PNG picture");
}

}  // namespace

std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& Bytes) {
  if (Bytes.size() < kHeaderSize) NotAnIcon("it is shorter than an icon file's header");
  const uint16_t type = LoadLE16(Bytes.data() + 2);
  if (LoadLE16(Bytes.data()) != 0 || (type != 1 && type != 2)) NotAnIcon("its header is not an icon file's");
  if (type == 2) NotAnIcon("it holds a cursor");
  const size_t count = LoadLE16(Bytes.data() + 4);
  if (count == 0) NotAnIcon("it holds no image");
  if (count * kFileEntrySize > Bytes.size() - kHeaderSize) NotAnIcon("its directory is cut short");
  std::vector<IconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = Bytes.data() + kHeaderSize + i * kFileEntrySize;
    const uint32_t size = LoadLE32(entry + 8);
    const uint32_t offset = LoadLE32(entry + 12);
    if (size == 0 || offset > Bytes.size() || size > Bytes.size() - offset) {
      NotAnIcon("image " + std::to_string(i + 1) + " lies outside the file");
    }
    IconImage image;
    image.Width = entry[0];
    image.Height = entry[1];
    image.ColorCount = entry[2];
    image.Planes = LoadLE16(entry + 4);
    image.BitCount = LoadLE16(entry + 6);
    image.Data.assign(Bytes.begin() + offset, Bytes.begin() + offset + size);
    uint16_t planes = 0;
    uint16_t bits = 0;
    ImageDepth(image, i + 1, &planes, &bits);
    if (image.Planes == 0) image.Planes = planes;
    if (image.BitCount == 0) image.BitCount = bits;
    images.push_back(std::move(image));
  }
  return images;
}

std::vector<uint8_t> IconGroup(const std::vector<IconImage>& Images, uint16_t FirstId) {
  std::vector<uint8_t> group(kHeaderSize + Images.size() * kGroupEntrySize, 0);
  StoreLE16(&group[2], 1);
  StoreLE16(&group[4], static_cast<uint16_t>(Images.size()));
  for (size_t i = 0; i < Images.size(); ++i) {
    const IconImage& image = Images[i];
    uint8_t* entry = &group[kHeaderSize + i * kGroupEntrySize];
    entry[0] = image.Width;
    entry[1] = image.Height;
    entry[2] = image.ColorCount;
    StoreLE16(entry + 4, image.Planes);
    StoreLE16(entry + 6, image.BitCount);
    StoreLE32(entry + 8, static_cast<uint32_t>(image.Data.size()));
    StoreLE16(entry + 12, static_cast<uint16_t>(FirstId + i));
  }
  return group;
}

}  // namespace vornix

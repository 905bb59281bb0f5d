// BitmapsAsPng with Debian's libpng: a 256-pixel icon bitmap turned into the RGBA pixels Windows
// draws for it, then written as a PNG with fixed settings, so the same icon always gives the same
// bytes. Portable code, built for the native tool only (see resources/CMakeLists.txt).
#include "resources/icon_png.h"

#include <png.h>

#include <csetjmp>

#include "compression/unaligned.h"

namespace vornix {
namespace {

// An icon's bitmap: a BITMAPINFOHEADER (its size at +0, width +4, height +8, bits per pixel +14,
// compression +16, colours used +32), that many 4-byte palette colours, the colour rows, then the
// AND mask's 1-bit rows; the height counts both, so it is twice the picture's. Rows run bottom-up,
// each padded to 4 bytes. Paletted depths (1, 4 and 8 bits) are left as they are: at 256 pixels
// they take at most 74 KB and are rare.
constexpr uint32_t kSide = 256;
constexpr uint32_t kBitmapHeaderSize = 40;
constexpr size_t kPaletteEntrySize = 4;
constexpr size_t kMaskStride = (kSide / 8 + 3) / 4 * 4;

// The picture's RGBA pixels, top row first; nothing when dib is not an uncompressed 32 or 24 bit
// bitmap of 256 by 256 pixels held whole in these bytes.
std::vector<uint8_t> BitmapPixels(const std::vector<uint8_t>& dib) {
  if (dib.size() < kBitmapHeaderSize) return {};
  const uint32_t header = LoadLE32(&dib[0]);
  const uint32_t bits = LoadLE16(&dib[14]);
  if (header < kBitmapHeaderSize || LoadLE32(&dib[4]) != kSide || LoadLE32(&dib[8]) != 2 * kSide ||
      LoadLE32(&dib[16]) != 0 || (bits != 32 && bits != 24)) {
    return {};
  }
  const size_t pixel_size = bits / 8;
  const size_t stride = (kSide * pixel_size + 3) / 4 * 4;
  const uint64_t colours_at = header + uint64_t{LoadLE32(&dib[32])} * kPaletteEntrySize;
  const uint64_t mask_at = colours_at + kSide * stride;
  if (mask_at > dib.size() || kSide * kMaskStride > dib.size() - mask_at) return {};

  // Windows blends by the alpha bytes of a 32-bit bitmap unless they are all zero, as in bitmaps
  // made before alpha existed; then, as for 24 bits, it draws through the AND mask: a pixel whose
  // mask bit is 0 is opaque, one whose bit is 1 shows the screen (XORed with the colour, which is
  // black in practice: a PNG cannot invert). Alpha 0 hides the colour, so it is kept as it is.
  bool alpha = false;
  for (size_t at = colours_at + 3; bits == 32 && at < mask_at && !alpha; at += pixel_size) alpha = dib[at] != 0;
  std::vector<uint8_t> rgba(size_t{kSide} * kSide * 4);
  for (size_t y = 0; y < kSide; ++y) {
    const uint8_t* colours = &dib[colours_at + (kSide - 1 - y) * stride];
    const uint8_t* mask = &dib[mask_at + (kSide - 1 - y) * kMaskStride];
    uint8_t* out = &rgba[y * kSide * 4];
    for (size_t x = 0; x < kSide; ++x, out += 4) {
      const uint8_t* bgr = colours + x * pixel_size;
      out[0] = bgr[2];
      out[1] = bgr[1];
      out[2] = bgr[0];
      const bool see_through = (mask[x / 8] >> (7 - x % 8)) & 1;
      out[3] = alpha ? bgr[3] : see_through ? 0 : 255;
    }
  }
  return rgba;
}

// The output is reserved up front at the bitmap's size, since a larger PNG is of no use: a callback
// that never reallocates throws nothing through libpng's C frames.
void Append(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  if (size > out->capacity() - out->size()) png_error(png, "no smaller than the bitmap");
  out->insert(out->end(), data, data + size);
}

[[noreturn]] void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Ignore(png_structp, png_const_charp) {}

// libpng reports errors by longjmp back to here, so this frame holds no C++ object to skip.
// Level 9 and libpng's row-by-row choice among all filters are fixed; no gamma, colour space or
// time chunk is written, so the picture shows the pixels as they are and the bytes never vary.
bool WritePng(png_structp png, png_infop info, png_bytepp rows, std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_set_write_fn(png, out, Append, nullptr);
  png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

// The PNG of 256 by 256 RGBA pixels in fewer than limit bytes, or nothing.
std::vector<uint8_t> EncodePng(std::vector<uint8_t>& rgba, size_t limit) {
  std::vector<png_bytep> rows(kSide);
  for (size_t y = 0; y < kSide; ++y) rows[y] = &rgba[y * kSide * 4];
  std::vector<uint8_t> out;
  out.reserve(limit);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Ignore);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  const bool written = info != nullptr && WritePng(png, info, rows.data(), &out);
  png_destroy_write_struct(&png, &info);
  if (!written || out.size() >= limit) out.clear();
  return out;
}

}  // namespace

std::vector<IconImage> BitmapsAsPng(const std::vector<IconImage>& Images) {
  std::vector<IconImage> converted = Images;
  for (IconImage& image : converted) {
    std::vector<uint8_t> rgba = BitmapPixels(image.Data);
    if (rgba.empty()) continue;
    std::vector<uint8_t> png = EncodePng(rgba, image.Data.size());
    if (!png.empty()) image.Data = std::move(png);
  }
  return converted;
}

}  // namespace vornix

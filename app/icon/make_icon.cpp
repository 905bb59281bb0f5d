// make_icon: turns the text picture of the stub's icon (vornix_icon.txt) into a 16-colour .ico.
// It runs on the build machine during the Windows cross-build, so it is portable C++17 with no
// Windows headers; every field is written byte by byte in little-endian order.
//
// Usage: make_icon INPUT.txt OUTPUT.ico    (exit code 0 on success, 1 on any error)

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The standard 16-colour Windows/VGA palette, in index order, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
// The icon holds exactly these sizes, in this order; the title bar picks the 16x16 one.
constexpr std::array<int, 2> kSizes = {16, 32};
constexpr int kTransparent = -1;
constexpr int kNotAPixel = -2;

struct Picture {
  int size = 0;
  int line = 0;                      // line of its "size N", for messages about missing rows
  std::vector<std::vector<int>> px;  // px[row][column]: palette index or kTransparent, top row first
};

// An error in the source, reported as "INPUT:LINE: message".
struct SourceError : std::runtime_error {
  SourceError(int line_number, const std::string& message) : std::runtime_error(message), line(line_number) {}
  int line;
};

int PixelValue(char c) {
  if (c == '.') return kTransparent;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return kNotAPixel;
}

// Names a picture that was cut short, for the messages about it.
std::string ShortPicture(const Picture& p) {
  return "the picture of size " + std::to_string(p.size) + " begun at line " + std::to_string(p.line) + " has only " +
         std::to_string(p.px.size()) + " of its " + std::to_string(p.size) + " rows";
}

// Source format: lines starting with '#' and blank lines are ignored; "size N" starts a
// picture, and the next N lines are its rows, each of exactly N pixel characters
// ('0'-'F' palette index in either case, '.' transparent). Trailing blanks and CRs are ignored.
std::vector<Picture> ParseSource(std::istream& in) {
  std::vector<Picture> pictures;
  std::string text;
  int line = 0;
  bool open = false;  // pictures.back() still collects rows
  while (std::getline(in, text)) {
    ++line;
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
    if (text.empty() || text[0] == '#') continue;

    if (text.compare(0, 5, "size ") == 0) {
      if (open) throw SourceError(line, "new picture, but " + ShortPicture(pictures.back()));
      const std::string number = text.substr(5);
      int size = 0;
      for (int wanted : kSizes)
        if (number == std::to_string(wanted)) size = wanted;
      if (size == 0) throw SourceError(line, "unsupported size '" + number + "' (expected 16 or 32)");
      for (const Picture& p : pictures)
        if (p.size == size) throw SourceError(line, "second picture of size " + number);
      pictures.push_back(Picture{size, line, {}});
      open = true;
      continue;
    }

    if (!open) throw SourceError(line, "expected 'size N' before picture rows");
    Picture& picture = pictures.back();
    if (static_cast<int>(text.size()) != picture.size)
      throw SourceError(
          line, "row has " + std::to_string(text.size()) + " characters, expected " + std::to_string(picture.size));
    std::vector<int> row;
    for (std::size_t column = 0; column < text.size(); ++column) {
      const int value = PixelValue(text[column]);
      if (value == kNotAPixel)
        throw SourceError(line, "unknown character '" + std::string(1, text[column]) + "' in column " +
                                    std::to_string(column + 1) + " (use 0-9, A-F or '.')");
      row.push_back(value);
    }
    picture.px.push_back(row);
    open = static_cast<int>(picture.px.size()) < picture.size;
  }
  if (open) throw SourceError(line, "end of file, but " + ShortPicture(pictures.back()));
  for (int wanted : kSizes) {
    bool found = false;
    for (const Picture& p : pictures) found = found || p.size == wanted;
    if (!found) throw SourceError(line, "no picture of size " + std::to_string(wanted));
  }
  return pictures;
}

void Put8(std::vector<std::uint8_t>& out, unsigned v) { out.push_back(static_cast<std::uint8_t>(v)); }
void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  Put8(out, v & 0xFF);
  Put8(out, (v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Bitmap rows are padded to a multiple of 4 bytes.
int RowBytes(int size, int bits_per_pixel) { return (size * bits_per_pixel + 31) / 32 * 4; }

// One icon image: BITMAPINFOHEADER (40 bytes; biHeight counts the XOR and AND bitmaps together,
// so it is twice the height), the 16 RGBQUADs (B, G, R, 0), the XOR bitmap (4 bpp, bottom-up, left
// pixel in the high nibble) and the AND mask (1 bpp, bottom-up, most significant bit first,
// 1 = transparent). Transparent pixels use index 0 in the XOR bitmap so the screen shows through.
std::vector<std::uint8_t> ImageBytes(const Picture& p) {
  const int xor_row = RowBytes(p.size, 4);
  const int and_row = RowBytes(p.size, 1);
  std::vector<std::uint8_t> out;
  Put32(out, 40);                                      // biSize
  Put32(out, p.size);                                  // biWidth
  Put32(out, 2 * p.size);                              // biHeight
  Put16(out, 1);                                       // biPlanes
  Put16(out, 4);                                       // biBitCount
  Put32(out, 0);                                       // biCompression = BI_RGB
  Put32(out, (xor_row + and_row) * p.size);            // biSizeImage
  Put32(out, 0);                                       // biXPelsPerMeter
  Put32(out, 0);                                       // biYPelsPerMeter
  Put32(out, 16);                                      // biClrUsed
  Put32(out, 0);                                       // biClrImportant
  for (std::uint32_t rgb : kPalette) Put32(out, rgb);  // 0x00RRGGBB little-endian is B, G, R, 0

  for (int y = p.size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(xor_row, 0);
    for (int x = 0; x < p.size; ++x) {
      const int index = p.px[y][x] == kTransparent ? 0 : p.px[y][x];
      row[x / 2] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = p.size - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(and_row, 0);
    for (int x = 0; x < p.size; ++x)
      if (p.px[y][x] == kTransparent) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

// The .ico file: ICONDIR (reserved 0, type 1 = icon, image count), one 16-byte ICONDIRENTRY per
// image (width, height, colour count, reserved 0, planes 1, bit count, bytes in resource, offset of
// the image from the start of the file), then the images in the same order.
std::vector<std::uint8_t> IcoBytes(const std::vector<Picture>& pictures) {
  std::vector<std::vector<std::uint8_t>> images;
  for (int size : kSizes)
    for (const Picture& p : pictures)
      if (p.size == size) images.push_back(ImageBytes(p));

  std::vector<std::uint8_t> out;
  Put16(out, 0);                                     // reserved
  Put16(out, 1);                                     // type: icon
  Put16(out, static_cast<unsigned>(images.size()));  // count
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  // The parser left exactly one picture per size, so images[i] is kSizes[i] square.
  for (std::size_t i = 0; i < images.size(); ++i) {
    Put8(out, kSizes[i]);  // width (0 would mean 256)
    Put8(out, kSizes[i]);  // height
    Put8(out, 16);         // colour count
    Put8(out, 0);          // reserved
    Put16(out, 1);         // planes
    Put16(out, 4);         // bit count
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_icon INPUT.txt OUTPUT.ico\n";
    return 1;
  }
  const std::string input = argv[1];
  const std::string output = argv[2];

  std::ifstream in(input);
  if (!in) {
    std::cerr << "make_icon: cannot open " << input << "\n";
    return 1;
  }
  std::vector<std::uint8_t> ico;
  try {
    ico = IcoBytes(ParseSource(in));
  } catch (const SourceError& e) {
    std::cerr << input << ":" << e.line << ": error: " << e.what() << "\n";
    return 1;
  }

  // The whole file is built before the output is opened, so a bad source never leaves a half-written
  // .ico; a failed write removes the partial one so the build does not take it as up to date.
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ico.data()), static_cast<std::streamsize>(ico.size()));
  out.close();
  if (!out) {
    std::cerr << "make_icon: cannot write " << output << "\n";
    std::remove(output.c_str());
    return 1;
  }
  return 0;
}

// An icon's 256-pixel bitmaps stored as PNG pictures of the same pixels, for a publisher's icon that
// does not fit in the stub's room as it is (Windows Vista and later read PNG icon images). Only the
// builds with libpng convert (icon_png.cpp, the native tool); the others keep every image
// (icon_png_none.cpp, the Windows build of vornix: Debian has libpng for Linux only).
#pragma once

#include <vector>

#include "resources/icon_file.h"

namespace vornix {

// Images, each uncompressed 32 or 24 bit bitmap of 256 by 256 pixels replaced by an 8-bit RGBA PNG
// picture (no chunks but IHDR, IDAT and IEND) that shows exactly what Windows draws for it. Every
// other image, a bitmap whose PNG would be no smaller, and every image in a build without libpng is
// kept as it is; directory entries (size, planes, bit count) stay as they were, so Windows picks
// among the images as before.
std::vector<IconImage> BitmapsAsPng(const std::vector<IconImage>& Images);

}  // namespace vornix

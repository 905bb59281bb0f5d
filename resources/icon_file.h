// An icon file (.ico) as the images an executable's icon resources hold: each image's bytes (a
// device-independent bitmap or a PNG picture) and the directory entry that describes it.
#pragma once

#include <cstdint>
#include <vector>

namespace vornix {

struct IconImage {
  uint8_t Width = 0;   // 0 stands for 256
  uint8_t Height = 0;  // 0 stands for 256
  uint8_t ColorCount = 0;
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  std::vector<uint8_t> Data;
};

// The images of an .ico file, in its order. An entry that gives no plane or bit count takes them
// from its image, as Windows would read them. Raises Exception saying what is wrong when Bytes
// are no icon file: a short or cut directory, a cursor or other type, no images, an image outside
// the file, or one that is neither a bitmap nor a PNG picture.
std::vector<IconImage> ReadIconFile(const std::vector<uint8_t>& Bytes);

// The icon group resource for Images stored as icon resources FirstId, FirstId + 1, ...: the
// 6-byte header of the .ico file, then 14-byte entries that end in the resource's number instead
// of the image's offset.
std::vector<uint8_t> IconGroup(const std::vector<IconImage>& Images, uint16_t FirstId);

}  // namespace vornix

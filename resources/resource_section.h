// A Windows executable's resource section as a flat list of resources, read from and written back
// to the section's three-level tree (type, name, language). The layout is described in
// docs/package-format.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vornix {

// A type or a name in the tree: a number, or a UTF-16 string when Text is not empty.
struct ResourceId {
  uint16_t Number = 0;
  std::u16string Text;

  bool operator==(const ResourceId& other) const { return Number == other.Number && Text == other.Text; }
};

// Resource types the branding touches.
constexpr uint16_t kResourceIcon = 3;
constexpr uint16_t kResourceIconGroup = 14;
constexpr uint16_t kResourceVersion = 16;

struct Resource {
  ResourceId Type;
  ResourceId Name;
  uint16_t Language = 0;
  uint32_t CodePage = 0;
  std::vector<uint8_t> Data;
};

// The resources of a section of Size bytes loaded at SectionRva, in the tree's order. Raises
// Exception when a directory, a string or a data block lies outside the section or the tree is
// deeper than three levels.
std::vector<Resource> ReadResourceSection(const uint8_t* Section, uint32_t Size, uint32_t SectionRva);

// The section that holds Resources when loaded at SectionRva: directories (named entries first, in
// code-unit order, then numbers in ascending order, as the loader's binary search expects), their
// strings, the data entries, then each block of data on an 8-byte boundary.
std::vector<uint8_t> WriteResourceSection(const std::vector<Resource>& Resources, uint32_t SectionRva);

}  // namespace vornix

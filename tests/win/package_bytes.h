// A package built by BuildPackage, open for damage. The package starts at 339968, behind the padded
// stub: a 12-byte header (the three text lengths at +5, +6, +7), publisher, title and note, then one
// 8-byte slot per entry (Offset, Size; little-endian), and the entries: name, zero byte, stream
// (docs/package-format.md; the stream's layout: docs/container-format.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornix {

// Written out here and not taken from the product, so that a moved package fails the tests.
constexpr size_t kPackageOffset = 339968;
constexpr size_t kHeaderSize = 12;

class PackageBytes {
 public:
  explicit PackageBytes(std::vector<uint8_t> package) : bytes(std::move(package)) {}

  uint32_t Load32(size_t at) const;
  void Store32(size_t at, uint32_t value);
  // Where the entry's slot starts.
  size_t Slot(int entry) const;
  uint32_t Offset(int entry) const { return Load32(Slot(entry)); }
  uint32_t Size(int entry) const { return Load32(Slot(entry) + 4); }
  void SetSlot(int entry, uint32_t offset, uint32_t size);
  // The first byte of the entry's compressed stream, behind its name's zero byte.
  size_t Stream(int entry) const;
  std::string Name(int entry) const;
  // Gives the entry a name of the same length as the one it was built with; the empty name takes
  // a one-byte placeholder and moves the entry's start onto the zero byte.
  void Rename(int entry, const std::string& name);

  std::vector<uint8_t> bytes;
};

// Damage that the container must notice: the entry's stream starts with the unknown method
// identifier "XXXX".
void DamageId(PackageBytes& package, int entry);

}  // namespace vornix

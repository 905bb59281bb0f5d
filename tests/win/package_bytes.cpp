// Reading and damaging the bytes of a built package.
#include "tests/win/package_bytes.h"

#include <algorithm>

namespace vornix {

uint32_t PackageBytes::Load32(size_t at) const {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void PackageBytes::Store32(size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t PackageBytes::Slot(int entry) const {
  const size_t texts = bytes[kPackageOffset + 5] + bytes[kPackageOffset + 6] + bytes[kPackageOffset + 7];
  return kPackageOffset + kHeaderSize + texts + 8 * static_cast<size_t>(entry);
}

void PackageBytes::SetSlot(int entry, uint32_t offset, uint32_t size) {
  Store32(Slot(entry), offset);
  Store32(Slot(entry) + 4, size);
}

size_t PackageBytes::Stream(int entry) const {
  size_t at = Offset(entry);
  while (bytes[at] != 0) ++at;
  return at + 1;
}

std::string PackageBytes::Name(int entry) const {
  const size_t start = Offset(entry);
  return std::string(bytes.begin() + start, bytes.begin() + Stream(entry) - 1);
}

void PackageBytes::Rename(int entry, const std::string& name) {
  if (name.empty()) {
    SetSlot(entry, Offset(entry) + 1, Size(entry) - 1);
    return;
  }
  std::copy(name.begin(), name.end(), bytes.begin() + Offset(entry));
}

void DamageId(PackageBytes& package, int entry) { package.Store32(package.Stream(entry), 0x58585858); }

}  // namespace vornix

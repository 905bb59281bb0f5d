// The version resource (VS_VERSIONINFO) that Explorer's properties, the taskbar and installers read:
// the version as numbers and the texts that name the product and its publisher.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vornix {

using VersionNumbers = std::array<uint16_t, 4>;  // A.B.C.D

struct VersionTexts {
  VersionNumbers Numbers = {};
  std::u16string Version;  // FileVersion and ProductVersion, as written
  std::u16string ProductName;
  std::u16string FileDescription;
  std::u16string CompanyName;
  std::u16string Copyright;  // LegalCopyright; left out when empty
};

// The resource for US English in Unicode (string table "040904B0"), with the fixed part of a
// Windows application. Raises Exception when it would pass the 65535 bytes its lengths can hold.
std::vector<uint8_t> VersionResource(const VersionTexts& Texts);

// The file version that Resource's fixed part gives; false when it holds no fixed part.
bool FixedFileVersion(const std::vector<uint8_t>& Resource, VersionNumbers* Numbers);

}  // namespace vornix

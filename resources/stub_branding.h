// The publisher's look for a package's executable: a copy of the stub whose resource section
// carries the publisher's icon and version information, everything else in it as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/icon_file.h"
#include "resources/version_info.h"

namespace vornix {

// The stub loads its window's icon by this name, so a new icon replaces this group.
constexpr char16_t kStubIconName[] = u"MAINICON";
constexpr uint16_t kUsEnglish = 0x0409;

struct StubBranding {
  std::u16string Title;      // ProductName and FileDescription
  std::u16string Publisher;  // CompanyName
  std::u16string Copyright;  // LegalCopyright; none when empty
  // FileVersion and ProductVersion; when Version is empty, the stub's own file version.
  std::u16string Version;
  VersionNumbers Numbers = {};
  std::vector<IconImage> Icon;  // replaces the stub's icon group; empty keeps the stub's icon
};

struct BrandedStub {
  std::vector<uint8_t> Bytes;  // empty when the resources do not fit
  int64_t ResourceSize = 0;    // the new resource section's bytes in the file
  int64_t Room = 0;            // the most the resource section can take
  bool Fits() const { return ResourceSize <= Room; }
};

// Rewrites Stub, a PE image (TPeImage::Recognised), so that it ends at or before Limit; when the
// new resources need more room than there is, returns no bytes and the two sizes. Raises Exception
// when its headers or its resource section are damaged, or when its layout does not let the
// resource section grow.
BrandedStub BrandStub(const std::vector<uint8_t>& Stub, const StubBranding& Branding, int64_t Limit);

// "A.B" when C and D are zero, else "A.B.C" or "A.B.C.D".
std::u16string VersionText(const VersionNumbers& Numbers);

}  // namespace vornix

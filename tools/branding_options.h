// pack's options for the package's executable: the stub carries the package's title and publisher
// in its version information, and the publisher's icon, version and copyright when given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/arguments.h"

namespace vornix::tools {

struct PackStub {
  std::vector<uint8_t> Bytes;
  bool Rewritten = false;    // a PE image with the package's resources: its checksum is restamped
  int64_t ResourceSize = 0;  // the resource section's bytes in the file, and the room it had
  int64_t Room = 0;
};

// Stub (read from StubName) with the package's resources; an icon that does not fit as given has
// its 256-pixel bitmaps stored as PNG (BitmapsAsPng). A stub that is no PE image is taken as it
// is, unless --icon, --product-version or --copyright ask for resources. Raises UsageError for a
// malformed --product-version, and Exception naming the stub or the icon for everything else that
// keeps the resources out: an unreadable or invalid icon, a stub that cannot take them, too little
// room (naming the room there is and the room needed).
PackStub BrandPackStub(const TArguments& Arguments, std::vector<uint8_t> Stub, const std::string& StubName);

}  // namespace vornix::tools

// The package writer: puts the stub, padded with zero bytes to PackageOffset, in front of the
// header, the texts, the entry table and the entries, each a compressed stream behind its name.
// It refuses whatever the layout cannot hold or the stub would refuse to unpack, and writes
// nothing before the checks that can be made in advance have passed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_layout.h"
#include "runtime/stream.h"

namespace vornix {

struct PackageFile {
  std::string Name;            // the entry's name, 8-bit ANSI
  TStream* Content = nullptr;  // read whole, from its start; stays the caller's
  uint8_t Method = 0;          // the container's CompressionMethod: 0 LZH, 1 LZRW1/KH, 2 Advise
};

struct PackagePlan {
  std::vector<uint8_t> Stub;  // at most PackageOffset bytes
  std::string Title;
  std::string Publisher;
  std::string Note;  // stored as given: lines are separated by CR LF
  uint8_t RunIndex = 0;
  uint8_t Flags = 0;
  std::vector<PackageFile> Files;
};

// Raises Exception, naming the text, the file or the limit, when the texts, the entry count, a
// name or the stub cannot go into a package.
void CheckPackagePlan(const PackagePlan& Plan);

// Checks Plan, then writes the package to Output, which must be empty and seekable (the table is
// filled in once the entries' sizes are known). Raises Exception on a refused plan, on an entry
// that would end at or past 2^31, and passes on the container's errors.
void WritePackage(const PackagePlan& Plan, TStream& Output);

}  // namespace vornix

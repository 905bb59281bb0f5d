// The package writer: puts the stub, padded with zero bytes to PackageOffset, in front of the
// header, the texts, the entry table and the entries, each a compressed stream behind its name.
// It refuses whatever the layout cannot hold or the stub would refuse to unpack, and writes
// nothing before the checks that can be made in advance have passed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/integrity.h"
#include "package/package_layout.h"
#include "runtime/stream.h"

namespace vornix {

struct PackageFile {
  std::string Name;            // the entry's name, 8-bit ANSI; a path with '\\' between its parts
  TStream* Content = nullptr;  // read whole, from its start; stays the caller's
  uint8_t Method = 0;          // the container's CompressionMethod: 0 LZH, 1 LZRW1/KH, 2 Advise
};

struct PackagePlan {
  std::vector<uint8_t> Stub;  // at most PackageOffset bytes
  std::string Title;
  std::string Publisher;
  std::string Note;  // stored as given: lines are separated by CR LF
  uint32_t RunIndex = 0;
  uint8_t Flags = 0;  // RunAfterUnpack; HasChecksums follows Checksums
  std::vector<PackageFile> Files;
  // Folders to create even when empty; the folders of the files' paths need not be named.
  std::vector<std::string> Folders;
  // The integrity record behind the last entry (package/integrity.h); without it the package has
  // the layout of every package made before the record existed.
  bool Checksums = true;
};

// How far the writing has come: files completely in the package, and input bytes coded.
struct WriteProgress {
  size_t FilesDone = 0;
  size_t FileCount = 0;
  int64_t BytesDone = 0;
  int64_t BytesTotal = 0;
};

struct WriteOptions {
  // Files compressed at once. The package is the same, byte for byte, for any number.
  int Jobs = 1;
  // Compressed bytes held in memory for entries waiting for their turn in the output.
  int64_t MemoryBudget = int64_t{32} << 20;
  // Called on the writing thread about ten times a second while the entries are compressed, and
  // once when they all are. LZH entries report as they go, LZRW1/KH ones when they are done.
  std::function<void(const WriteProgress&)> OnProgress;
};

// A package is written in today's layout when it fits it (at most 255 files, no folders), byte for
// byte as before the tree layout existed; otherwise in the tree layout.
bool NeedsTreeLayout(const PackagePlan& Plan);

// Raises Exception, naming the text, the file or the limit, when the texts, a path, two paths that
// only differ in case or the stub cannot go into a package.
void CheckPackagePlan(const PackagePlan& Plan);

// Checks Plan, then writes the package to Output, which must be empty and seekable (the table is
// filled in once the entries' sizes are known). Each file's Content is used by one worker at a
// time. Raises Exception on a refused plan, on an entry that would end at or past 2^31, on a write
// failure, and passes on the container's errors (the first entry's in table order, when several
// fail).
void WritePackage(const PackagePlan& Plan, TStream& Output, const WriteOptions& Options = WriteOptions());

}  // namespace vornix

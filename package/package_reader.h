// The package as the tools see it: the header, and for each entry of the table where it lies, its
// name, the method and original size its stream header states, and whatever would keep the stub
// from unpacking it. Decoding an entry reads exactly its own bytes, as the stub does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/integrity.h"
#include "package/package_layout.h"
#include "runtime/stream.h"

namespace vornix {

struct PackageEntryInfo {
  uint32_t Offset = 0;  // the table slot as stored
  uint32_t Size = 0;
  std::string Name;  // as the stub reads it: 8-bit ANSI, at most 255 bytes; a path in the tree layout
  int64_t StreamStart = 0;
  int64_t StreamLength = 0;   // the compressed stream, its 8-byte header included
  uint32_t MethodId = 0;      // LzhHeaderId, LzrwHeaderId, or what else the stream starts with
  int64_t OriginalSize = -1;  // from the stream header; -1 when the stream is shorter than it
  std::string Problem;        // why the stub could not unpack the entry; empty when nothing is known against it
  bool HasHash = false;       // the package's integrity record holds the hash of the entry's unpacked bytes
  uint32_t Hash = 0;
};

struct PackageIndex {
  TPackageHeader Header;
  TPackageChecks Checks;
  std::vector<PackageEntryInfo> Entries;  // one for each of Header.Entries
};

// "LZH", "LZRW1/KH", or "unknown" for any other stream identifier.
const char* MethodName(uint32_t method_id);

// Reads the header, the integrity record, the table and every entry's name and stream header.
// Raises Exception when the header cannot be read (the stub's "could not be unpacked" case); a
// damaged record or head is described in Checks.Problem, a damaged entry in its Problem. An entry
// has its hash whenever the record itself is whole, even when the head does not match it.
PackageIndex ReadPackageIndex(TStream& Package);

// Decodes one entry into Output and returns the number of bytes decoded. Raises Exception with the
// entry's Problem, the container's reason, when the bytes written differ from the size the stream
// states, or with "checksum mismatch" when they differ from the entry's hash.
int64_t DecodeEntry(TStream& Package, const PackageEntryInfo& Entry, TStream& Output);

}  // namespace vornix

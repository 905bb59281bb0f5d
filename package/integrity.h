// The package's integrity record: the hashes that let a reader know the header, the texts, the
// entry table, the names and every entry's unpacked bytes are the ones the writer wrote. It lies
// right behind the entry that ends last, found from the entry table and never from the end of the
// file, so a signature appended to the file does not move it; Flags bit 1 marks it. A stub that
// knows nothing of it reads no byte of it. The layout is described in docs/package-format.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_layout.h"
#include "runtime/stream.h"

namespace vornix {

// Flags bit 1: the package carries an integrity record.
constexpr uint8_t HasChecksums = 2;
// "VXCK", then the record's hash kind: XXH32 with seed 0.
constexpr uint8_t kRecordMagic[4] = {'V', 'X', 'C', 'K'};
constexpr uint8_t kHashXxh32 = 1;
// Magic 4 + FileCount 1 (the table's, as in the header) + hash kind 1 + reserved 2 + the head's
// hash 4.
constexpr int32_t kRecordFrontSize = 4 + 1 + 1 + 2 + 4;
// One hash per entry, then the record's own hash over everything before it.
constexpr int32_t kEntryHashSize = 4;
constexpr int32_t kRecordHashSize = 4;

// One hash for every entry: in the tree layout, those past the table's too.
constexpr int64_t IntegrityRecordSize(size_t entry_count) {
  return kRecordFrontSize + kEntryHashSize * static_cast<int64_t>(entry_count) + kRecordHashSize;
}

namespace package_messages {
constexpr const char* kRecordMissing = "The checksum record is missing";
constexpr const char* kRecordDamaged = "The checksum record is damaged";
constexpr const char* kRecordUnmarked = "The header does not mark the checksum record that follows the entries";
constexpr const char* kHeadMismatch = "The header, texts, entry table or entry names do not match their checksum";
constexpr const char* kChecksumMismatch = "checksum mismatch";
}  // namespace package_messages

// What the record says of a package.
struct TPackageChecks {
  bool Marked = false;  // Flags bit 1 is set
  // Why the header, the table, the names or the record cannot be trusted; empty when they can, and
  // for a package that carries no checksums.
  std::string Problem;
  std::vector<uint32_t> EntryHash;  // one for each entry once the record is whole

  // Whether the entries' hashes are to be checked; a package with a Problem unpacks nothing.
  bool Carried() const { return Marked && Problem.empty(); }
};

// The head's hash: the package's bytes from its header to the end of the entry table and, in the
// tree layout, of the tree record (Head), then each entry's name with its zero byte, in table order.
uint32_t HeadHash(const std::vector<uint8_t>& Head, const std::vector<std::string>& Names);

// The record of a package whose table holds file_count slots, as the writer puts it behind the last
// entry.
std::vector<uint8_t> IntegrityRecord(uint32_t head_hash, uint8_t file_count, const std::vector<uint32_t>& entry_hashes);

// Reads the names of the entries ReadEntryTable found, finds the record behind the entry that ends
// last (or at TableEnd) and checks it and the head. An unmarked package is looked at only for a
// record that has lost its mark. Leaves the stream where it found it.
TPackageChecks ReadPackageChecks(const TPackageHeader& Header, TStream& Stream);

}  // namespace vornix

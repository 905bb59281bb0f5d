// The integrity record as the stub and the tools read it (the package writer makes it).
#include "package/integrity.h"

#include <algorithm>
#include <cstring>

#include "compression/unaligned.h"
#include "package/checksum.h"

namespace vornix {
namespace {

bool ReadAt(TStream& stream, int64_t at, void* buffer, int32_t count) {
  return stream.Seek(at, SeekOrigin::Beginning) == at && stream.Read(buffer, count) == count;
}

// Checks the record read at the end of the entries against file_count; returns the problem, or
// nullptr when the record is whole.
const char* RecordProblem(const std::vector<uint8_t>& record, int file_count) {
  if (std::memcmp(record.data(), kRecordMagic, sizeof kRecordMagic) != 0) return package_messages::kRecordMissing;
  const size_t hashed = record.size() - kRecordHashSize;
  if (LoadLE32(record.data() + hashed) != TChecksum::Of(record.data(), hashed)) {
    return package_messages::kRecordDamaged;
  }
  if (record[4] != file_count || record[5] != kHashXxh32) return package_messages::kRecordDamaged;
  return nullptr;
}

}  // namespace

uint32_t HeadHash(const std::vector<uint8_t>& Head, const std::vector<std::string>& Names) {
  TChecksum checksum;
  checksum.Add(Head.data(), Head.size());
  for (const std::string& name : Names) checksum.Add(name.c_str(), name.size() + 1);
  return checksum.Value();
}

TPackageChecks ReadPackageChecks(const TPackageHeader& Header, TStream& Stream) {
  TPackageChecks checks;
  checks.Marked = (Header.Flags & HasChecksums) != 0;
  const int64_t back = Stream.Position();
  const size_t count = Header.Entries.size();
  // The head as the table was read: a table cut short reads as zeros.
  std::vector<uint8_t> head(static_cast<size_t>(Header.TableEnd - PackageOffset), 0);
  const bool whole = Stream.Seek(PackageOffset, SeekOrigin::Beginning) == PackageOffset &&
                     Stream.Read(head.data(), static_cast<int32_t>(head.size())) == static_cast<int32_t>(head.size());

  // The record starts where the entry that ends last ends, or behind the table when there is none.
  int64_t record_at = Header.TableEnd;
  std::vector<std::string> names(count);
  for (size_t i = 0; i < count; ++i) {
    const TPackageEntry& entry = Header.Entries[i];
    record_at = std::max(record_at, int64_t{entry.Offset} + entry.Size);
    if (checks.Marked && Stream.Seek(entry.Offset, SeekOrigin::Beginning) == entry.Offset) {
      names[i] = ReadEntryName(Stream);
    }
  }
  // A record of more entries than the file could hold is missing, and is not allocated.
  const int64_t record_size = IntegrityRecordSize(count);
  const bool fits = record_at + record_size <= Stream.Size();
  std::vector<uint8_t> record(checks.Marked && fits ? static_cast<size_t>(record_size) : 0);
  if (!checks.Marked) {
    // A record whose mark was lost: the header is damaged, and the checks must not fall away.
    uint8_t magic[sizeof kRecordMagic];
    if (ReadAt(Stream, record_at, magic, sizeof magic) && std::memcmp(magic, kRecordMagic, sizeof magic) == 0) {
      checks.Problem = package_messages::kRecordUnmarked;
    }
  } else if (!fits || !ReadAt(Stream, record_at, record.data(), static_cast<int32_t>(record.size()))) {
    checks.Problem = package_messages::kRecordMissing;
  } else if (const char* problem = RecordProblem(record, Header.FileCount)) {
    checks.Problem = problem;
  } else {
    if (!whole || HeadHash(head, names) != LoadLE32(&record[8])) checks.Problem = package_messages::kHeadMismatch;
    checks.EntryHash.resize(count);
    for (size_t i = 0; i < count; ++i) checks.EntryHash[i] = LoadLE32(&record[kRecordFrontSize + 4 * i]);
  }
  Stream.Seek(back, SeekOrigin::Beginning);
  return checks;
}

}  // namespace vornix

// The package reader of the tools.
#include "package/package_reader.h"

#include "compression/lzrw1.h"
#include "compression/unaligned.h"
#include "package/checksum.h"
#include "package/entry_name.h"

namespace vornix {
namespace {

// The 4-byte method identifier and the 4-byte original size.
constexpr int32_t kStreamHeaderSize = 4 + 4;

void ReadEntry(TStream& package, int64_t file_size, bool tree, PackageEntryInfo& entry) {
  if (package.Seek(entry.Offset, SeekOrigin::Beginning) != entry.Offset) {
    entry.Problem = package_messages::kEntryPastEnd;
    return;
  }
  entry.Name = ReadEntryName(package);
  entry.StreamStart = package.Position();
  try {
    TPackageEntry slot;
    slot.Offset = entry.Offset;
    slot.Size = entry.Size;
    entry.StreamLength = EntryStreamLength(slot, entry.StreamStart, file_size);
  } catch (const Exception& failure) {
    entry.Problem = failure.Message();
    return;
  }
  uint8_t header[kStreamHeaderSize];
  if (entry.StreamLength >= kStreamHeaderSize && package.Read(header, sizeof header) == kStreamHeaderSize) {
    entry.MethodId = LoadLE32(header);
    entry.OriginalSize = LoadLE32(header + 4);
  }
  if (const char* problem = tree ? EntryPathProblem(entry.Name) : EntryNameProblem(entry.Name)) {
    entry.Problem = std::string("the stub refuses its name: ") + problem;
  }
}

}  // namespace

const char* MethodName(uint32_t method_id) {
  if (method_id == LzhHeaderId) return "LZH";
  if (method_id == LzrwHeaderId) return "LZRW1/KH";
  return "unknown";
}

PackageIndex ReadPackageIndex(TStream& Package) {
  PackageIndex index;
  ReadPackageHeader(index.Header, Package);
  const int64_t table_start = Package.Position();
  ReadEntryTable(index.Header, Package);
  index.Checks = ReadPackageChecks(index.Header, Package);
  // The entries' hashes are good for as long as the record that holds them is.
  const bool hashes = !index.Checks.EntryHash.empty();
  const int64_t file_size = Package.Size();
  index.Entries.resize(index.Header.Entries.size());
  for (size_t i = 0; i < index.Entries.size(); ++i) {
    PackageEntryInfo& entry = index.Entries[i];
    entry.Offset = index.Header.Entries[i].Offset;
    entry.Size = index.Header.Entries[i].Size;
    entry.HasHash = hashes;
    if (hashes) entry.Hash = index.Checks.EntryHash[i];
    // A slot cut short by the end of the file reads as zeros, which would point into the stub. (The
    // tree record's slots are whole, or the package is refused.)
    if (table_start + static_cast<int64_t>(i + 1) * kEntrySlotSize > file_size && i < index.Header.FileCount) {
      entry.Problem = "its slot in the entry table lies past the end of the file";
      continue;
    }
    ReadEntry(Package, file_size, index.Header.IsTree(), entry);
  }
  return index;
}

int64_t DecodeEntry(TStream& Package, const PackageEntryInfo& Entry, TStream& Output) {
  if (!Entry.Problem.empty()) throw Exception(Entry.Problem);
  TStreamWindow stream(Package, Entry.StreamStart, Entry.StreamLength);
  Tlzrw1 container;
  THashingStream hashed(Output);
  container.UseStreams = true;
  container.InputStream = &stream;
  container.OutputStream = &hashed;
  const int64_t count = container.Decompress();
  const int64_t written = hashed.Size();
  if (count != Entry.OriginalSize || written != Entry.OriginalSize) {
    throw Exception("decodes to " + std::to_string(written) + " bytes, not the " + std::to_string(Entry.OriginalSize) +
                    " its stream states");
  }
  if (Entry.HasHash && hashed.Value() != Entry.Hash) throw Exception(package_messages::kChecksumMismatch);
  return written;
}

}  // namespace vornix

// The package readers: header, texts, entry table, entry names and entry bounds.
#include "package/package_layout.h"

#include <algorithm>
#include <cstring>

#include "compression/unaligned.h"
#include "package/entry_name.h"

namespace vornix {
namespace {

void ReadExactly(TStream& stream, void* buffer, int32_t count) {
  if (stream.Read(buffer, count) != count) throw Exception(package_messages::kReadError);
}

// A text of length bytes, cut at its first zero byte; the stream still advances by length.
std::string ReadText(TStream& stream, uint8_t length) {
  char buffer[kMaxTextLength + 1] = {};
  ReadExactly(stream, buffer, length);
  return std::string(buffer, strnlen(buffer, length));
}

// The tree record behind the table: the slots past the table's, the run entry and the folders.
void ReadTreeRecord(TPackageHeader& header, TStream& stream) {
  uint8_t front[kTreeFrontSize];
  if (stream.Read(front, kTreeFrontSize) != kTreeFrontSize || std::memcmp(front, kTreeMagic, sizeof kTreeMagic) != 0) {
    throw Exception(package_messages::kTreeMissing);
  }
  const uint32_t entry_count = LoadLE32(front + 4);
  const uint32_t folder_count = LoadLE32(front + 12);
  const int64_t room = stream.Size() - stream.Position();
  // Nothing is allocated by a count the file cannot hold: a slot takes 8 bytes, a folder at least 2.
  if (entry_count < header.FileCount || header.FileCount != std::min<uint32_t>(entry_count, kMaxEntries) ||
      (int64_t{entry_count} - header.FileCount) * kEntrySlotSize + int64_t{folder_count} * 2 > room) {
    throw Exception(package_messages::kTreeDamaged);
  }
  header.RunEntry = LoadLE32(front + 8);
  header.Entries.resize(entry_count);
  for (uint32_t i = header.FileCount; i < entry_count; ++i) {
    uint8_t slot[kEntrySlotSize];
    ReadExactly(stream, slot, kEntrySlotSize);
    header.Entries[i].Offset = LoadLE32(slot);
    header.Entries[i].Size = LoadLE32(slot + 4);
  }
  TFoldedPathSet seen;
  for (uint32_t i = 0; i < folder_count; ++i) {
    uint8_t length = 0;
    ReadExactly(stream, &length, 1);
    char path[256];
    ReadExactly(stream, path, length);
    std::string folder(path, length);
    const size_t slash = folder.rfind('\\');
    if (EntryPathProblem(folder) != nullptr || !seen.Insert(folder) ||
        (slash != std::string::npos && !seen.Contains(folder.substr(0, slash)))) {
      throw Exception(package_messages::kTreeDamaged);
    }
    header.Folders.push_back(std::move(folder));
  }
}

}  // namespace

void ReadPackageHeader(TPackageHeader& Header, TStream& Stream) {
  uint8_t raw[kPackageHeaderSize] = {};
  Header.Version = 0;
  if (Stream.Seek(PackageOffset, SeekOrigin::Beginning) != PackageOffset) {
    throw Exception(package_messages::kReadError);
  }
  ReadExactly(Stream, raw, kPackageHeaderSize);
  Header.Version = LoadLE16(raw);
  Header.Reserved1 = LoadLE16(raw + 2);
  Header.FileCount = raw[4];
  Header.PublisherLength = raw[5];
  Header.TitleLength = raw[6];
  Header.NoteLength = raw[7];
  Header.RunIndex = raw[8];
  Header.Flags = raw[9];
  Header.Reserved2 = LoadLE16(raw + 10);
  if (Header.Version != PackageVersion && Header.Version != TreeVersion) {
    throw Exception(package_messages::kInvalidVersion);
  }
  Header.RunEntry = Header.RunIndex;
  Header.Publisher = ReadText(Stream, Header.PublisherLength);
  Header.Title = ReadText(Stream, Header.TitleLength);
  Header.NoteText = ReadText(Stream, Header.NoteLength);
}

void ReadEntryTable(TPackageHeader& Header, TStream& Stream) {
  const int64_t size = Stream.Size();
  Header.TableEnd = Stream.Position() + int64_t{kEntrySlotSize} * Header.FileCount;
  Header.Entries.clear();
  Header.Entries.resize(Header.FileCount);
  Header.Folders.clear();
  for (int i = 0; i < Header.FileCount && Stream.Position() < size; ++i) {
    uint8_t field[4];
    TPackageEntry& entry = Header.Entries[i];
    std::memset(field, 0, sizeof field);
    if (Stream.Read(field, 4) > 0) entry.Offset = LoadLE32(field);
    std::memset(field, 0, sizeof field);
    if (Stream.Read(field, 4) > 0) entry.Size = LoadLE32(field);
  }
  if (!Header.IsTree()) return;
  ReadTreeRecord(Header, Stream);
  Header.TableEnd = Stream.Position();
}

std::string ReadEntryName(TStream& Stream) {
  // Read in chunks rather than byte by byte: a damaged offset may point into megabytes of data
  // before a zero byte comes. The stream is moved back to just behind the zero byte.
  std::string name;
  char chunk[512];
  for (;;) {
    const int64_t start = Stream.Position();
    const int32_t got = Stream.Read(chunk, sizeof chunk);
    if (start < 0 || got <= 0) return name;
    const void* zero = std::memchr(chunk, 0, static_cast<size_t>(got));
    const int32_t used = zero ? static_cast<int32_t>(static_cast<const char*>(zero) - chunk) : got;
    const size_t room = kMaxTextLength - name.size();
    name.append(chunk, std::min(room, static_cast<size_t>(used)));
    if (zero != nullptr) {
      Stream.Seek(start + used + 1, SeekOrigin::Beginning);
      return name;
    }
  }
}

int64_t EntryStreamLength(const TPackageEntry& Entry, int64_t stream_start, int64_t file_size) {
  const int64_t end = int64_t{Entry.Offset} + Entry.Size;
  if (end >= kEntryLimit) throw Exception(package_messages::kEntryPastLimit);
  if (end > file_size) throw Exception(package_messages::kEntryPastEnd);
  if (end < stream_start) throw Exception(package_messages::kEntryBeforeName);
  return end - stream_start;
}

std::string NoteWithCrLf(const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines += "\r\n";
    } else {
      lines += text[i];
    }
  }
  return lines;
}

}  // namespace vornix

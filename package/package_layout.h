// hpackage's layout: where the package lies in the executable, its header, texts and entry table,
// the in-memory record TPackageHeader and the readers the stub uses. The byte layout is described in
// docs/package-format.md.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/exception.h"
#include "runtime/stream.h"

namespace vornix {

// The package starts at this file offset: the length of the stub executable, a build-time constant.
constexpr int64_t PackageOffset = 339968;
constexpr uint16_t PackageVersion = 1;
// The tree layout: a package that holds folders, more than 255 entries or runs an entry past the
// 255th. The header and the table are today's; the tree record follows the table. A reader of
// version 1 only refuses such a package ("Invalid Version") rather than unpack a part of it.
constexpr uint16_t TreeVersion = 2;
// Flags bit 0: run entry RunIndex after unpacking.
constexpr uint8_t RunAfterUnpack = 1;

// Version 2 + reserved 2 + FileCount, the three text lengths, RunIndex, Flags + reserved 2.
constexpr int32_t kPackageHeaderSize = 2 + 2 + 1 + 1 + 1 + 1 + 1 + 1 + 2;
// Offset 4 + Size 4, both little-endian.
constexpr int32_t kEntrySlotSize = 4 + 4;
// Texts, names and the entry count of the table are held in one byte each.
constexpr int32_t kMaxTextLength = 255;
constexpr int32_t kMaxEntries = 255;
// The tree record: "VXTR", EntryCount 4, RunEntry 4, FolderCount 4; then the slots of the entries
// past the table's, then each folder as a length byte and its path.
constexpr uint8_t kTreeMagic[4] = {'V', 'X', 'T', 'R'};
constexpr int32_t kTreeFrontSize = 4 + 4 + 4 + 4;
// Offsets and sizes are unsigned 32-bit, and Windows does not start a program file of 4 GB or
// more: each entry, and the whole package, ends below this.
constexpr int64_t kEntryLimit = int64_t{1} << 32;

namespace package_messages {
constexpr const char* kInvalidVersion = "Invalid Version";
constexpr const char* kReadError = "Stream read error";
constexpr const char* kEntryBeforeName = "The entry ends before its name does";
constexpr const char* kEntryPastEnd = "The entry ends past the end of the file";
constexpr const char* kEntryPastLimit = "The entry ends at or past 2^32";
constexpr const char* kTreeMissing = "The tree record is missing";
constexpr const char* kTreeDamaged = "The tree record is damaged";
constexpr const char* kProgramTooLarge = "Windows does not start a program file that large";
}  // namespace package_messages

struct TPackageEntry {
  uint32_t Offset = 0;  // from the start of the executable file
  uint32_t Size = 0;    // the name, its zero byte and the compressed stream
  std::string FileName;
};

// Starts zero-filled; slots of the table that are never read stay zero. The header's fields are
// as in the file; Entries, RunEntry and Folders are filled by ReadEntryTable.
struct TPackageHeader {
  uint16_t Version = 0;
  uint16_t Reserved1 = 0;
  uint8_t FileCount = 0;
  uint8_t PublisherLength = 0;
  uint8_t TitleLength = 0;
  uint8_t NoteLength = 0;
  uint8_t RunIndex = 0;
  uint8_t Flags = 0;
  uint16_t Reserved2 = 0;
  std::string Title;
  std::string Publisher;
  std::string NoteText;
  // Every entry: FileCount of them, or in the tree layout the tree record's EntryCount.
  std::vector<TPackageEntry> Entries;
  // The entry to run: RunIndex, or in the tree layout the tree record's RunEntry.
  uint32_t RunEntry = 0;
  // The tree layout's folders, each after its parent; paths below the unpack folder.
  std::vector<std::string> Folders;
  // The file offset behind the table as its FileCount declares it, or in the tree layout behind the
  // tree record.
  int64_t TableEnd = 0;

  bool IsTree() const { return Version == TreeVersion; }
  // True when the header asks for an entry to be run and that entry exists.
  bool RunRequested() const { return (Flags & RunAfterUnpack) != 0 && RunEntry < Entries.size(); }
};

// Reads the 12 header bytes at PackageOffset and the three texts, each cut at its first zero byte.
// Raises Exception with kReadError when the stream ends early and kInvalidVersion unless the
// version is 1 or 2 (the tree layout). Leaves the stream behind the note, where the entry table
// begins.
void ReadPackageHeader(TPackageHeader& Header, TStream& Stream);

// Reads up to FileCount slots from the current position, stopping at the end of the stream; a slot
// cut short keeps what arrived, and later slots keep their zeros. In the tree layout it then reads
// the tree record, which must be whole: its magic (else kTreeMissing), the slots and folders it
// counts inside the file, and each folder a path EntryPathProblem passes, after its parent (else
// kTreeDamaged).
void ReadEntryTable(TPackageHeader& Header, TStream& Stream);

// Reads the zero-terminated name at the current position: bytes past the 255th are dropped, and the
// end of the stream ends the name too. Leaves the stream just behind the zero byte.
std::string ReadEntryName(TStream& Stream);

// The note's line breaks (CR LF, a lone CR or a lone LF) as the package stores them and the stub's
// note box shows them: CR LF.
std::string NoteWithCrLf(const std::string& text);

// The length of the entry's compressed stream, which starts at stream_start (just behind the name)
// and ends at Offset + Size. Raises Exception when that end lies before stream_start, past
// file_size or at or past 2^32, so that nothing is ever read or allocated by a claimed size.
int64_t EntryStreamLength(const TPackageEntry& Entry, int64_t stream_start, int64_t file_size);

}  // namespace vornix

// hpackage's readers on hand-made executables: the worked header, damaged and cut headers, the entry
// table cut short, entry names at the edges of the file and the bounds every entry must keep.
// The layout is described in docs/package-format.md.
#include "package/package_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "package/entry_name.h"
#include "tests/package/package_test_support.h"

namespace vornix {
namespace {

// An executable: a stub of 0xCC bytes (never zero, never a valid header) and then the package.
Bytes Image(std::initializer_list<Bytes> parts) {
  size_t size = static_cast<size_t>(PackageOffset);
  for (const Bytes& part : parts) size += part.size();
  Bytes image(size, 0xCC);
  auto end = image.begin() + PackageOffset;
  for (const Bytes& part : parts) end = std::copy(part.begin(), part.end(), end);
  return image;
}

Bytes Slot(uint32_t offset, uint32_t size) {
  Bytes slot(kEntrySlotSize);
  for (int i = 0; i < 4; ++i) {
    slot[i] = static_cast<uint8_t>(offset >> (8 * i));
    slot[4 + i] = static_cast<uint8_t>(size >> (8 * i));
  }
  return slot;
}

const std::string& kPublisher = test::kWorkedPublisher;
const std::string& kTitle = test::kWorkedTitle;
const std::string& kNote = test::kWorkedNote;

Bytes WorkedImage() {
  Bytes table;
  for (uint32_t i = 0; i < 16; ++i) {
    const Bytes slot = Slot(static_cast<uint32_t>(PackageOffset + kWorkedFirstEntry) + 10 * i, 10);
    table.insert(table.end(), slot.begin(), slot.end());
  }
  return Image({kWorkedHeader, FromString(kPublisher), FromString(kTitle), FromString(kNote), table, Bytes(160, 'e')});
}

void ExpectWorkedHeader(const TPackageHeader& header) {
  EXPECT_EQ(header.Version, 1);
  EXPECT_EQ(header.FileCount, 16);
  EXPECT_EQ(header.PublisherLength, 14);
  EXPECT_EQ(header.TitleLength, 36);
  EXPECT_EQ(header.NoteLength, 109);
  EXPECT_EQ(header.RunIndex, 12);
  EXPECT_EQ(header.Flags, RunAfterUnpack);
  EXPECT_EQ(header.Publisher, kPublisher);
  EXPECT_EQ(header.Title, kTitle);
  EXPECT_EQ(header.NoteText, kNote);
}

TEST(PackageHeader, WorkedExample) {
  ASSERT_EQ(kPublisher.size(), 14u);
  ASSERT_EQ(kTitle.size(), 36u);
  ASSERT_EQ(kNote.size(), 109u);
  TMemoryStream stream(WorkedImage());
  stream.Seek(1234, SeekOrigin::Beginning);  // the reader goes to PackageOffset by itself
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  ExpectWorkedHeader(header);
  EXPECT_EQ(stream.Position(), PackageOffset + kWorkedTableStart);

  ReadEntryTable(header, stream);
  EXPECT_EQ(stream.Position(), PackageOffset + kWorkedFirstEntry);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(header.Entries[i].Offset, PackageOffset + kWorkedFirstEntry + 10 * i) << i;
    EXPECT_EQ(header.Entries[i].Size, 10u) << i;
  }
  EXPECT_EQ(header.Entries.size(), 16u);
  EXPECT_TRUE(header.RunRequested());
}

TEST(PackageHeader, WorkedExampleFromAFile) {
  const std::string name = ::testing::TempDir() + "vornix_package_layout_test.exe";
  const Bytes image = WorkedImage();
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  {
    TFileStream stream(name, TFileStream::Mode::OpenRead);
    TPackageHeader header;
    ReadPackageHeader(header, stream);
    ExpectWorkedHeader(header);
    EXPECT_EQ(stream.Position(), PackageOffset + kWorkedTableStart);
  }
  std::remove(name.c_str());
}

struct BadHeader {
  const char* what;
  Bytes package;  // the bytes from PackageOffset to the end of the file
  const char* message;
};

TEST(PackageHeader, DamagedOrCutHeadersAreRefused) {
  const char* read_error = "Stream read error";
  const char* bad_version = "Invalid Version";
  const BadHeader cases[] = {
      {"nothing behind the stub", {}, read_error},
      {"11 header bytes", Hex("01 00 00 00 00 00 00 00 00 00 00"), read_error},
      {"ends inside the publisher", Hex("01 00 00 00 00 05 00 00 00 00 00 00 41 42 43 44"), read_error},
      {"ends inside the title", Hex("01 00 00 00 00 01 03 00 00 00 00 00 41 42 43"), read_error},
      {"ends before the note", Hex("01 00 00 00 00 00 00 01 00 00 00 00"), read_error},
      {"ends inside the note, at a zero", Hex("01 00 00 00 00 00 00 03 00 00 00 00 00 00"), read_error},
      {"version 0", Hex("00 00 00 00 00 00 00 00 00 00 00 00"), bad_version},
      {"version 3", Hex("03 00 00 00 00 00 00 00 00 00 00 00"), bad_version},
      {"version 257", Hex("01 01 00 00 00 00 00 00 00 00 00 00"), bad_version},
      {"version 256", Hex("00 01 00 00 00 00 00 00 00 00 00 00"), bad_version},
      {"version 65535", Hex("FF FF 00 00 00 00 00 00 00 00 00 00"), bad_version},
      // The version is judged before any text is read.
      {"version 3 and texts cut", Hex("03 00 00 00 00 FF FF FF 00 00 00 00"), bad_version},
  };
  for (const BadHeader& c : cases) {
    TMemoryStream stream(Image({c.package}));
    TPackageHeader header;
    EXPECT_EQ(FailureOf([&] { ReadPackageHeader(header, stream); }), c.message) << c.what;
  }
}

TEST(PackageHeader, FileShorterThanTheStubIsAReadError) {
  for (size_t size : {size_t{0}, size_t{1000}, static_cast<size_t>(PackageOffset) - 1}) {
    TMemoryStream stream(Bytes(size, 0x01));
    TPackageHeader header;
    EXPECT_EQ(FailureOf([&] { ReadPackageHeader(header, stream); }), "Stream read error") << size;
  }
}

TEST(PackageHeader, ReservedBytesAreIgnored) {
  TMemoryStream stream(Image({Hex("01 00 FF FF 00 00 00 00 07 FE FF FF")}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  EXPECT_EQ(header.Version, 1);
  EXPECT_EQ(header.Reserved1, 0xFFFF);
  EXPECT_EQ(header.Reserved2, 0xFFFF);
  EXPECT_EQ(header.RunIndex, 7);
  EXPECT_EQ(header.Flags, 0xFE);
  EXPECT_FALSE(header.RunRequested());  // bit 0 is clear
  EXPECT_EQ(stream.Position(), PackageOffset + 12);
}

TEST(PackageHeader, ZeroByteEndsATextButNotItsLength) {
  // A title of 36 bytes whose 11th byte is zero: 10 characters, and the note still follows it.
  Bytes title = FromString("Vornix 1.0");
  title.push_back(0);
  const Bytes rest = FromString("this part is never shown");
  title.insert(title.end(), rest.begin(), rest.end());
  title.push_back('!');
  ASSERT_EQ(title.size(), 36u);
  TMemoryStream stream(Image({Hex("01 00 00 00 00 02 24 03 00 00 00 00"), Hex("00 50"), title, Hex("6E 00 74")}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  EXPECT_EQ(header.Publisher, "");  // zero in its first byte
  EXPECT_EQ(header.Title, "Vornix 1.0");
  EXPECT_EQ(header.NoteText, "n");
  EXPECT_EQ(stream.Position(), PackageOffset + 12 + 2 + 36 + 3);
}

TEST(PackageHeader, EmptyAndLongestTexts) {
  {
    TMemoryStream stream(Image({Hex("01 00 00 00 03 00 00 00 00 00 00 00"), Slot(1, 2)}));
    TPackageHeader header;
    header.Title = "stale";
    ReadPackageHeader(header, stream);
    EXPECT_EQ(header.Publisher, "");
    EXPECT_EQ(header.Title, "");
    EXPECT_EQ(header.NoteText, "");
    EXPECT_EQ(stream.Position(), PackageOffset + 12);
  }
  {
    const std::string publisher(255, 'p'), title(255, 't'), note(255, 'n');
    TMemoryStream stream(Image(
        {Hex("01 00 00 00 00 FF FF FF 00 00 00 00"), FromString(publisher), FromString(title), FromString(note)}));
    TPackageHeader header;
    ReadPackageHeader(header, stream);
    EXPECT_EQ(header.Publisher, publisher);
    EXPECT_EQ(header.Title, title);
    EXPECT_EQ(header.NoteText, note);
    EXPECT_EQ(stream.Position(), PackageOffset + 12 + 3 * 255);
  }
}

// Three slots with distinct bytes, so that a slot read from the wrong place or in the wrong byte
// order shows.
const Bytes kThreeSlots =
    Hex("01 02 03 04 05 06 07 08"
        "11 12 13 14 15 16 17 18"
        "21 22 23 24 25 26 27 28");

TEST(PackageEntryTable, ReadsFileCountSlotsAndNoMore) {
  const Bytes fourth = Slot(0xAABBCCDD, 0x11223344);
  TMemoryStream stream(Image({Hex("01 00 00 00 03 00 00 00 00 00 00 00"), kThreeSlots, fourth}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  ReadEntryTable(header, stream);
  EXPECT_EQ(header.Entries[0].Offset, 0x04030201u);
  EXPECT_EQ(header.Entries[0].Size, 0x08070605u);
  EXPECT_EQ(header.Entries[1].Offset, 0x14131211u);
  EXPECT_EQ(header.Entries[1].Size, 0x18171615u);
  EXPECT_EQ(header.Entries[2].Offset, 0x24232221u);
  EXPECT_EQ(header.Entries[2].Size, 0x28272625u);
  EXPECT_EQ(header.Entries.size(), 3u);
  EXPECT_EQ(stream.Position(), PackageOffset + 12 + 24);
}

TEST(PackageEntryTable, CutShortKeepsWhatArrived) {
  // For every cut of the three-slot table: the bytes that arrived are kept in place, every byte
  // that did not reads as zero.
  for (size_t cut = 0; cut <= kThreeSlots.size(); ++cut) {
    const Bytes arrived(kThreeSlots.begin(), kThreeSlots.begin() + static_cast<std::ptrdiff_t>(cut));
    Bytes padded = arrived;
    padded.resize(kThreeSlots.size(), 0);
    TMemoryStream stream(Image({Hex("01 00 00 00 03 00 00 00 00 00 00 00"), arrived}));
    TPackageHeader header;
    ReadPackageHeader(header, stream);
    ReadEntryTable(header, stream);
    ASSERT_EQ(header.Entries.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      const uint8_t* slot = padded.data() + i * kEntrySlotSize;
      EXPECT_EQ(header.Entries[i].Offset, Le32(slot)) << cut << " bytes, slot " << i;
      EXPECT_EQ(header.Entries[i].Size, Le32(slot + 4)) << cut << " bytes, slot " << i;
    }
    EXPECT_EQ(stream.Position(), PackageOffset + 12 + static_cast<int64_t>(cut));
  }
}

TEST(PackageEntryTable, NoEntriesReadsNothing) {
  TMemoryStream stream(Image({Hex("01 00 00 00 00 00 00 00 00 00 00 00"), kThreeSlots}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  ReadEntryTable(header, stream);
  EXPECT_TRUE(header.Entries.empty());
  EXPECT_EQ(stream.Position(), PackageOffset + 12);
}

TEST(PackageEntryTable, HighestFileCountReadsEverySlot) {
  Bytes table;
  for (uint32_t i = 0; i < 255; ++i) {
    const Bytes slot = Slot(i + 1, 1000 + i);
    table.insert(table.end(), slot.begin(), slot.end());
  }
  TMemoryStream stream(Image({Hex("01 00 00 00 FF 00 00 00 00 00 00 00"), table, Slot(7, 7)}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  ReadEntryTable(header, stream);
  EXPECT_EQ(header.Entries[0].Offset, 1u);
  EXPECT_EQ(header.Entries[254].Offset, 255u);
  EXPECT_EQ(header.Entries[254].Size, 1254u);
  EXPECT_EQ(header.Entries.size(), 255u);  // the slot behind the table is not read
  EXPECT_EQ(stream.Position(), PackageOffset + 12 + 255 * 8);
}

// A name of length bytes of letters, so that a name kept from the wrong place shows.
std::string Letters(size_t length) {
  std::string name;
  for (size_t i = 0; i < length; ++i) name.push_back(static_cast<char>('a' + i % 26));
  return name;
}

struct NameCase {
  const char* what;
  Bytes entry;  // from the entry's offset to the end of the file
  std::string name;
  int64_t stream_start;  // where the stream is left, from the entry's offset
};

TEST(PackageEntryName, NamesAndWhereTheyLeaveTheStream) {
  const Bytes id = Hex("57 52 5A 4C 00 00 00 00 01 00 80");
  auto with_zero = [&](const std::string& name) {
    Bytes entry = FromString(name);
    entry.push_back(0);
    entry.insert(entry.end(), id.begin(), id.end());
    return entry;
  };
  const NameCase cases[] = {
      {"plain name", with_zero("setup.exe"), "setup.exe", 10},
      {"8-bit name", with_zero("caf\xE9.txt"), "caf\xE9.txt", 9},
      {"empty name", with_zero(""), "", 1},
      {"255 bytes", with_zero(Letters(255)), Letters(255), 256},
      {"300 bytes", with_zero(Letters(300)), Letters(255), 301},
      // Names around the reader's 512-byte chunks.
      {"zero as the chunk's last byte", with_zero(Letters(511)), Letters(255), 512},
      {"zero as the next chunk's first byte", with_zero(Letters(512)), Letters(255), 513},
      {"1500 bytes", with_zero(Letters(1500)), Letters(255), 1501},
      {"no zero before the end of the file", FromString("readme.txt"), "readme.txt", 10},
      {"600 bytes, no zero before the end", FromString(Letters(600)), Letters(255), 600},
  };
  for (const NameCase& c : cases) {
    TMemoryStream stream(Image({c.entry}));
    stream.Seek(PackageOffset, SeekOrigin::Beginning);
    EXPECT_EQ(ReadEntryName(stream), c.name) << c.what;
    EXPECT_EQ(stream.Position(), PackageOffset + c.stream_start) << c.what;
  }
}

TEST(PackageEntryName, OffsetAtOrPastTheEndGivesAnEmptyName) {
  for (int64_t past : {0, 1, 100000}) {
    TMemoryStream stream(Image({FromString("name")}));
    stream.Seek(stream.Size() + past, SeekOrigin::Beginning);
    EXPECT_EQ(ReadEntryName(stream), "") << past;
  }
  const std::string file = ::testing::TempDir() + "vornix_entry_name_test.bin";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "abc";
  }
  {
    TFileStream stream(file, TFileStream::Mode::OpenRead);
    stream.Seek(0x7FFFFFF0, SeekOrigin::Beginning);
    EXPECT_EQ(ReadEntryName(stream), "");
  }
  std::remove(file.c_str());
}

struct BoundsCase {
  uint32_t offset;
  uint32_t size;
  int64_t stream_start;
  int64_t file_size;
  int64_t length;       // when accepted
  const char* message;  // "" when accepted
};

TEST(PackageEntryBounds, StreamLengthOrWhyTheEntryIsRefused) {
  const char* before = "The entry ends before its name does";
  const char* past_end = "The entry ends past the end of the file";
  const char* past_limit = "The entry ends at or past 2^32";
  const int64_t limit = int64_t{1} << 32;
  const BoundsCase cases[] = {
      {1000, 50, 1010, 2000, 40, ""},
      {1000, 1000, 1010, 2000, 990, ""},  // ends exactly at the end of the file
      {1000, 1001, 1010, 2000, 0, past_end},
      {1000, 10, 1010, 2000, 0, ""},  // an empty stream behind the name
      {1000, 9, 1010, 2000, 0, before},
      {1000, 0, 1010, 2000, 0, before},
      {0x7FFFFF00, 0x200, 0x7FFFFF10, limit - 1, 0x1F0, ""},  // across 2^31: offsets are unsigned
      {0xFFFFFF00, 0xFF, 0xFFFFFF10, limit - 1, 0xEF, ""},    // ends just below 2^32
      {0xFFFFFF00, 0x100, 0xFFFFFF10, limit, 0, past_limit},
      {0xFFFFFF00, 0x100, 0xFFFFFF10, limit * 4, 0, past_limit},
      // Sums that wrap around in 32 bits (to 0xFFFFFFFE, 0 and 0) still end past 2^32.
      {0xFFFFFFFF, 0xFFFFFFFF, 1010, limit * 4, 0, past_limit},
      {0x80000000, 0x80000000, 1010, limit * 4, 0, past_limit},
      {0xFFFFFFFF, 1, 1010, limit * 4, 0, past_limit},
      // Several faults: 2^32 is judged first, then the end of the file, then the name.
      {0xFFFFFFFF, 1, limit + 0x10, 2000, 0, past_limit},
      // A name reaching 2^32 while the entry ends at 1100: the entry ends before its name does.
      {1000, 100, limit, limit * 2, 0, before},
      {3000, 100, 3200, 2000, 0, past_end},
  };
  for (const BoundsCase& c : cases) {
    const TPackageEntry entry{c.offset, c.size, ""};
    int64_t length = -1;
    EXPECT_EQ(FailureOf([&] { length = EntryStreamLength(entry, c.stream_start, c.file_size); }), c.message)
        << c.offset << " + " << c.size;
    if (*c.message == '\0') {
      EXPECT_EQ(length, c.length) << c.offset << " + " << c.size;
    }
  }
}

// A tree package of no entries whose tree record holds the given folders (and nothing past them).
Bytes TreeImage(const std::vector<std::string>& folders, uint32_t entry_count = 0) {
  Bytes record = {'V', 'X', 'T', 'R'};
  for (uint32_t value : {entry_count, 0u, static_cast<uint32_t>(folders.size())}) {
    for (int i = 0; i < 4; ++i) record.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  for (const std::string& folder : folders) {
    record.push_back(static_cast<uint8_t>(folder.size()));
    record.insert(record.end(), folder.begin(), folder.end());
  }
  return Image({Hex("02 00 00 00 00 00 00 00 00 00 00 00"), record});
}

std::string TreeFailure(const Bytes& image) {
  TMemoryStream stream(image);
  TPackageHeader header;
  return FailureOf([&] {
    ReadPackageHeader(header, stream);
    ReadEntryTable(header, stream);
  });
}

// The path rule, as the writer and the stub apply it: every refused path with its reason, and the
// same path as a folder of a tree record, which makes the stub refuse the whole package.
TEST(PackageTree, RefusedPathsAndWhy) {
  const char* dots = "it holds a part . or ..";
  const char* empty_part = "it starts or ends with a backslash or holds two in a row";
  const struct {
    std::string path;
    const char* reason;
  } refused[] = {
      {"..\\x", dots},
      {"a\\.\\b", dots},
      {"a\\..", dots},
      {"\\a", empty_part},
      {"a\\", empty_part},
      {"a\\\\b", empty_part},
      {"a\\con.txt", "it names a device"},
      {"C:\\x", "it holds a folder separator or a drive colon"},
      {"a/b\\c", "it holds a folder separator or a drive colon"},
      {"a\\b.", "it ends in a dot or blank"},
      {"a \\b", "it ends in a dot or blank"},
      {"a\\b?", "it holds a character Windows does not allow in file names"},
      {"a\\x.~~c", "it ends in .~~c"},
      {"d\\" + std::string(159, 'n'), "it is longer than 160 bytes, the most a path with folders holds"},
  };
  for (const auto& c : refused) {
    EXPECT_STREQ(EntryPathProblem(c.path), c.reason) << c.path;
    EXPECT_EQ(TreeFailure(TreeImage({c.path})), package_messages::kTreeDamaged) << c.path;
  }
  const std::string good[] = {"bin", "bin\\setup.exe", "a\\b\\c\\d.txt", "d\\" + std::string(158, 'n')};
  for (const std::string& path : good) EXPECT_EQ(EntryPathProblem(path), nullptr) << path;
}

TEST(PackageTree, RecordIsReadAndItsDamageRefused) {
  TMemoryStream stream(TreeImage({"bin", "bin\\x86", "data"}));
  TPackageHeader header;
  ReadPackageHeader(header, stream);
  ReadEntryTable(header, stream);
  EXPECT_TRUE(header.IsTree());
  EXPECT_EQ(header.Folders, (std::vector<std::string>{"bin", "bin\\x86", "data"}));
  EXPECT_EQ(header.TableEnd, stream.Size());

  const char* damaged = package_messages::kTreeDamaged;
  Bytes no_magic = TreeImage({});
  no_magic[static_cast<size_t>(PackageOffset) + 12] = 'W';
  EXPECT_EQ(TreeFailure(no_magic), package_messages::kTreeMissing);
  EXPECT_EQ(TreeFailure(Image({Hex("02 00 00 00 00 00 00 00 00 00 00 00")})), package_messages::kTreeMissing);
  EXPECT_EQ(TreeFailure(TreeImage({"bin\\x86"})), damaged) << "before its parent";
  EXPECT_EQ(TreeFailure(TreeImage({"bin", "BIN"})), damaged) << "twice when case is ignored";
  EXPECT_EQ(TreeFailure(TreeImage({}, 0x10000000)), damaged) << "more slots than the file holds";
}

}  // namespace
}  // namespace vornix

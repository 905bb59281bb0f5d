// The package writer: the worked example's bytes, round trips through the readers and the container
// with each method, every refusal (and that it writes nothing), and failures while writing.
#include "package/package_writer.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "compression/lzrw1.h"
#include "tests/compression/container_harness.h"
#include "tests/package/package_test_support.h"

namespace vornix {
namespace {

constexpr uint8_t kLzh = 0;
constexpr uint8_t kLzrw = 1;
constexpr uint8_t kAdvise = 2;
const Bytes kLzhId = Hex("21 48 5A 4C");
const Bytes kLzrwId = Hex("57 52 5A 4C");
const size_t kPackageStart = static_cast<size_t>(PackageOffset);

Bytes Slice(const Bytes& bytes, size_t start, size_t count) {
  if (start > bytes.size() || count > bytes.size() - start) return {};
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(start),
               bytes.begin() + static_cast<std::ptrdiff_t>(start + count));
}

// The files' contents, as streams that live as long as the plan that points at them.
class Contents {
 public:
  PackageFile File(const std::string& name, const Bytes& bytes, uint8_t method = kLzrw) {
    streams_.emplace_back(bytes);
    return PackageFile{name, &streams_.back(), method};
  }

  // Leaves every stream at its end: the writer must read each from its start all the same.
  void MoveAllToTheEnd() {
    for (TMemoryStream& stream : streams_) stream.Seek(0, SeekOrigin::End);
  }

 private:
  std::deque<TMemoryStream> streams_;
};

// The container on memory streams, as the writer runs it.
Bytes Compress(const Bytes& input, uint8_t method) {
  return test::ContainerRun(test::Mode::Stream).Compress(input, method);
}
Bytes Decompress(const Bytes& stream) { return test::ContainerRun(test::Mode::Stream).Decompress(stream); }

struct UnpackedEntry {
  std::string name;
  Bytes stream;  // the compressed stream behind the name
};

// Reads a written package the way the stub does: header, table, then each entry's name and bounds.
std::vector<UnpackedEntry> ReadBack(const Bytes& image, TPackageHeader& header) {
  TMemoryStream stream(image);
  ReadPackageHeader(header, stream);
  ReadEntryTable(header, stream);
  std::vector<UnpackedEntry> entries;
  for (int i = 0; i < header.FileCount; ++i) {
    const TPackageEntry& slot = header.Entries[i];
    UnpackedEntry entry;
    stream.Seek(slot.Offset, SeekOrigin::Beginning);
    entry.name = ReadEntryName(stream);
    const int32_t length = EntryStreamLength(slot, stream.Position(), stream.Size());
    entry.stream.resize(static_cast<size_t>(length));
    EXPECT_EQ(stream.Read(entry.stream.data(), length), length);
    entries.push_back(std::move(entry));
  }
  return entries;
}

TEST(PackageWriter, WorkedExampleLayout) {
  Contents contents;
  PackagePlan plan;
  plan.Publisher = test::kWorkedPublisher;
  plan.Title = test::kWorkedTitle;
  plan.Note = test::kWorkedNote;
  plan.RunIndex = 12;
  plan.Flags = RunAfterUnpack;
  plan.Checksums = false;  // the layout every package had before the integrity record
  for (int i = 0; i < 16; ++i) {
    const std::string name = i == 12 ? "setup.exe" : "part" + std::to_string(i) + ".dat";
    plan.Files.push_back(contents.File(name, FromString("content of " + name)));
  }
  TMemoryStream output;
  WritePackage(plan, output);
  const Bytes& image = output.Data();

  EXPECT_EQ(Slice(image, kPackageStart, 12), test::kWorkedHeader);
  EXPECT_EQ(Slice(image, kPackageStart + 12, 14), FromString(test::kWorkedPublisher));
  EXPECT_EQ(Slice(image, kPackageStart + 26, 36), FromString(test::kWorkedTitle));
  EXPECT_EQ(Slice(image, kPackageStart + 62, 109), FromString(test::kWorkedNote));
  EXPECT_EQ(Slice(image, kPackageStart + 171, 4), Hex("2B 31 05 00"));  // file offset 340267
  // The entries lie back to back behind the table, the first at package offset 299, the last
  // ending at the end of the file.
  uint32_t next = static_cast<uint32_t>(PackageOffset + kWorkedFirstEntry);
  for (size_t i = 0; i < 16; ++i) {
    const uint8_t* slot = image.data() + kPackageStart + kWorkedTableStart + 8 * i;
    const uint32_t offset = Le32(slot), size = Le32(slot + 4);
    EXPECT_EQ(offset, next) << i;
    Bytes expected = FromString(plan.Files[i].Name);
    expected.push_back(0);
    const Bytes stream = Compress(FromString("content of " + plan.Files[i].Name), kLzrw);
    expected.insert(expected.end(), stream.begin(), stream.end());
    EXPECT_EQ(size, expected.size()) << i;
    EXPECT_EQ(Slice(image, offset, size), expected) << i;
    next = offset + size;
  }
  EXPECT_EQ(next, image.size());
  EXPECT_EQ(output.Position(), output.Size());
}

TEST(PackageWriter, StubIsPaddedWithZerosToThePackage) {
  for (size_t stub_size : {size_t{0}, size_t{1000}, kPackageStart - 1, kPackageStart}) {
    Contents contents;
    PackagePlan plan;
    for (size_t i = 0; i < stub_size; ++i) plan.Stub.push_back(static_cast<uint8_t>(i % 251 + 1));
    plan.Files.push_back(contents.File("a.txt", FromString("abc")));
    TMemoryStream output;
    WritePackage(plan, output);
    const Bytes& image = output.Data();
    EXPECT_EQ(Slice(image, 0, stub_size), plan.Stub) << stub_size;
    EXPECT_EQ(Slice(image, stub_size, kPackageStart - stub_size), Bytes(kPackageStart - stub_size, 0)) << stub_size;
    EXPECT_EQ(Slice(image, kPackageStart, 12), Hex("01 00 00 00 01 00 00 00 00 02 00 00")) << stub_size;
  }
}

struct Sample {
  const char* name;
  Bytes bytes;
  const Bytes* advised_id;  // the method Advise picks, where it is certain
};

class PackageRoundTrip : public ::testing::TestWithParam<uint8_t> {};

INSTANTIATE_TEST_SUITE_P(EachMethod, PackageRoundTrip, ::testing::Values(kLzh, kLzrw, kAdvise), [](const auto& info) {
  return std::string(info.param == kLzh ? "Lzh" : info.param == kLzrw ? "Lzrw" : "Advise");
});

TEST_P(PackageRoundTrip, EntriesDecompressToTheFiles) {
  const uint8_t method = GetParam();
  Bytes repeated(200 * 1024);
  for (size_t i = 0; i < repeated.size(); ++i) repeated[i] = static_cast<uint8_t>("abcdefgh"[i % 8]);
  const Sample samples[] = {
      {"empty.bin", {}, &kLzhId},
      {"readme.txt", FromString("Read me first.\r\nThen run setup.exe.\r\n"), &kLzhId},
      {"mixed.dat", test::MixedData(200 * 1024, 5), nullptr},
      {"repeated.dat", repeated, &kLzrwId},
      {"noise.bin", test::RandomData(200 * 1024, 9), &kLzhId},
  };
  Contents contents;
  PackagePlan plan;
  plan.Stub = FromString("MZ stub");
  plan.Title = "Round trip";
  plan.Publisher = "Vornix";
  plan.Note = "Line one\r\nLine two";
  plan.RunIndex = 1;
  plan.Flags = RunAfterUnpack;
  for (const Sample& sample : samples) plan.Files.push_back(contents.File(sample.name, sample.bytes, method));
  contents.MoveAllToTheEnd();
  TMemoryStream output;
  WritePackage(plan, output);

  TPackageHeader header;
  const std::vector<UnpackedEntry> entries = ReadBack(output.Data(), header);
  EXPECT_EQ(header.Title, plan.Title);
  EXPECT_EQ(header.Publisher, plan.Publisher);
  EXPECT_EQ(header.NoteText, plan.Note);
  EXPECT_EQ(header.RunIndex, 1);
  EXPECT_EQ(header.Flags, RunAfterUnpack | HasChecksums);
  ASSERT_EQ(entries.size(), std::size(samples));
  for (size_t i = 0; i < entries.size(); ++i) {
    const Sample& sample = samples[i];
    EXPECT_EQ(entries[i].name, sample.name);
    const Bytes* expected_id = method == kLzh ? &kLzhId : method == kLzrw ? &kLzrwId : sample.advised_id;
    if (expected_id != nullptr) {
      EXPECT_EQ(Slice(entries[i].stream, 0, 4), *expected_id) << sample.name;
    }
    // Exactly the container's stream of the file, and back to the file.
    EXPECT_EQ(entries[i].stream, Compress(sample.bytes, method)) << sample.name;
    EXPECT_EQ(Decompress(entries[i].stream), sample.bytes) << sample.name;
  }
}

TEST(PackageWriter, EachFileKeepsItsOwnMethod) {
  Contents contents;
  PackagePlan plan;
  const Bytes text = FromString("abcabcabcabc");
  plan.Files = {contents.File("lzh.txt", text, kLzh), contents.File("lzrw.txt", text, kLzrw),
                contents.File("lzh-again.txt", text, kLzh)};
  TMemoryStream output;
  WritePackage(plan, output);
  TPackageHeader header;
  const std::vector<UnpackedEntry> entries = ReadBack(output.Data(), header);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(Slice(entries[0].stream, 0, 4), kLzhId);
  EXPECT_EQ(Slice(entries[1].stream, 0, 4), kLzrwId);
  EXPECT_EQ(Slice(entries[2].stream, 0, 4), kLzhId);
  for (const UnpackedEntry& entry : entries) EXPECT_EQ(Decompress(entry.stream), text) << entry.name;
}

TEST(PackageWriter, LargestPackageTheLayoutHolds) {
  // A stub filling its room, texts of 255 bytes and 255 files, all read from one shared stream.
  Contents contents;
  PackagePlan plan;
  plan.Stub = Bytes(kPackageStart, 0x4D);
  plan.Title = std::string(255, 't');
  plan.Publisher = std::string(255, 'p');
  plan.Note = std::string(255, 'n');
  plan.RunIndex = 254;
  plan.Flags = RunAfterUnpack;
  const PackageFile shared = contents.File("", FromString("same"));
  for (int i = 0; i < 255; ++i) plan.Files.push_back({"file" + std::to_string(i), shared.Content, kLzrw});
  TMemoryStream output;
  WritePackage(plan, output);
  const Bytes& image = output.Data();
  EXPECT_EQ(Slice(image, 0, kPackageStart), plan.Stub);
  EXPECT_EQ(Slice(image, kPackageStart, 12), Hex("01 00 00 00 FF FF FF FF FE 03 00 00"));
  TPackageHeader header;
  const std::vector<UnpackedEntry> entries = ReadBack(image, header);
  EXPECT_EQ(header.Title, plan.Title);
  ASSERT_EQ(entries.size(), 255u);
  EXPECT_EQ(header.Entries[0].Offset, PackageOffset + 12 + 3 * 255 + 255 * 8);
  EXPECT_EQ(int64_t{header.Entries[254].Offset} + header.Entries[254].Size + IntegrityRecordSize(255), output.Size());
  EXPECT_EQ(entries[254].name, "file254");
  EXPECT_EQ(Decompress(entries[254].stream), FromString("same"));
}

struct Refusal {
  const char* what;
  std::function<void(PackagePlan&, Contents&)> change;
  std::string message;
};

TEST(PackageWriter, RefusedPlansWriteNothing) {
  auto files = [](PackagePlan& plan, Contents& contents, size_t count) {
    plan.Files.clear();
    for (size_t i = 0; i < count; ++i) plan.Files.push_back(contents.File("f" + std::to_string(i), {}));
  };
  const std::string too_long = "bytes long; a package holds at most 255";
  const Refusal refusals[] = {
      {"stub one byte too long", [](PackagePlan& s, Contents&) { s.Stub.resize(kPackageStart + 1); },
       "The stub is 339969 bytes long; it must fit in 339968"},
      {"stub far too long", [](PackagePlan& s, Contents&) { s.Stub.resize(1000000); },
       "The stub is 1000000 bytes long; it must fit in 339968"},
      {"title", [](PackagePlan& s, Contents&) { s.Title = std::string(256, 't'); }, "The title is 256 " + too_long},
      {"publisher", [](PackagePlan& s, Contents&) { s.Publisher = std::string(256, 'p'); },
       "The publisher is 256 " + too_long},
      {"note", [](PackagePlan& s, Contents&) { s.Note = std::string(256, 'n'); }, "The note is 256 " + too_long},
      {"long note", [](PackagePlan& s, Contents&) { s.Note = std::string(70000, 'n'); },
       "The note is 70000 " + too_long},
      {"title with a zero byte", [](PackagePlan& s, Contents&) { s.Title = std::string("Demo\0Title", 10); },
       "The title holds a zero byte"},
      {"note with a zero byte", [](PackagePlan& s, Contents&) { s.Note = std::string(1, '\0'); },
       "The note holds a zero byte"},
      {"scratch extension", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("setup.~~C", {})); },
       "The name \"setup.~~C\" cannot be unpacked: it ends in .~~c"},
      {"paths the same but for case",
       [](PackagePlan& s, Contents& c) {
         s.Files = {c.File("bin\\Setup.exe", {}), c.File("BIN\\setup.EXE", {})};
       },
       "The name \"BIN\\setup.EXE\" is that of \"bin\\Setup.exe\" when case is ignored"},
      {"folders the same but for case",
       [](PackagePlan& s, Contents& c) {
         s.Files = {c.File("Bin\\a", {}), c.File("bin\\b", {})};
       },
       "The name \"bin\" is that of \"Bin\" when case is ignored"},
      {"a file where a folder is",
       [](PackagePlan& s, Contents& c) {
         s.Files = {c.File("a", {}), c.File("a\\b", {})};
       },
       "The name \"a\" is both a file and a folder"},
      {"folder path", [](PackagePlan& s, Contents&) { s.Folders = {"data\\..\\..\\x"}; },
       "The name \"data\\..\\..\\x\" cannot be unpacked: it holds a part . or .."},
      {"device name", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("CON", {})); },
       "The name \"CON\" cannot be unpacked: it names a device"},
      {"device name with extension", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("lpt1.txt", {})); },
       "The name \"lpt1.txt\" cannot be unpacked: it names a device"},
      {"empty name", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("", {})); },
       "The name \"\" cannot be unpacked: it is empty"},
      {"path", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("..\\setup.exe", {})); },
       "The name \"..\\setup.exe\" cannot be unpacked: it holds a part . or .."},
      {"trailing dot", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("setup.", {})); },
       "The name \"setup.\" cannot be unpacked: it ends in a dot or blank"},
      {"wildcard", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("*.exe", {})); },
       "The name \"*.exe\" cannot be unpacked: it holds a character Windows does not allow in file names"},
      {"control character", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File("a\tb", {})); },
       "The name \"a\tb\" cannot be unpacked: it holds a control character"},
      {"long name", [](PackagePlan& s, Contents& c) { s.Files.push_back(c.File(std::string(256, 'x'), {})); },
       "The name \"" + std::string(256, 'x') + "\" cannot be unpacked: it is longer than 255 bytes"},
      // Several faults: the first in the order stub, title, publisher, note, names is named.
      {"stub and title",
       [](PackagePlan& s, Contents&) {
         s.Stub.resize(kPackageStart + 1);
         s.Title = std::string(300, 't');
       },
       "The stub is 339969 bytes long; it must fit in 339968"},
      {"every text", [](PackagePlan& s, Contents&) { s.Title = s.Publisher = s.Note = std::string(300, 'x'); },
       "The title is 300 " + too_long},
      {"publisher and note",
       [](PackagePlan& s, Contents&) {
         s.Publisher = std::string(257, 'p');
         s.Note = std::string(258, 'n');
       },
       "The publisher is 257 " + too_long},
      {"note and bad name",
       [](PackagePlan& s, Contents& c) {
         s.Note = std::string(256, 'n');
         s.Files.push_back(c.File("nul", {}));
       },
       "The note is 256 " + too_long},
      {"many files and a bad name",
       [&](PackagePlan& s, Contents& c) {
         files(s, c, 300);
         s.Files[299].Name = "aux";
       },
       "The name \"aux\" cannot be unpacked: it names a device"},
      {"two bad names",
       [](PackagePlan& s, Contents& c) {
         s.Files = {c.File("a:b", {}), c.File("prn", {})};
       },
       "The name \"a:b\" cannot be unpacked: it holds a folder separator or a drive colon"},
  };
  for (const Refusal& refusal : refusals) {
    Contents contents;
    PackagePlan plan;
    plan.Stub = FromString("MZ");
    plan.Title = "T";
    plan.Files = {contents.File("first.txt", FromString("first")), contents.File("second.txt", {})};
    refusal.change(plan, contents);
    EXPECT_EQ(FailureOf([&] { CheckPackagePlan(plan); }), refusal.message) << refusal.what;
    TMemoryStream output;
    EXPECT_EQ(FailureOf([&] { WritePackage(plan, output); }), refusal.message) << refusal.what;
    EXPECT_EQ(output.Size(), 0) << refusal.what;
  }
}

// An output that refuses writes reaching past write_limit and, if asked, every seek from the start.
class FaultyOutput : public TStream {
 public:
  FaultyOutput(int64_t write_limit, bool refuse_seeks) : write_limit_(write_limit), refuse_seeks_(refuse_seeks) {}

  int32_t Read(void* buffer, int32_t count) override { return inner_.Read(buffer, count); }
  int32_t Write(const void* buffer, int32_t count) override {
    return inner_.Position() + count > write_limit_ ? -1 : inner_.Write(buffer, count);
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    return refuse_seeks_ && origin == SeekOrigin::Beginning ? -1 : inner_.Seek(offset, origin);
  }
  int64_t Size() override { return inner_.Size(); }

 private:
  TMemoryStream inner_;
  int64_t write_limit_;
  bool refuse_seeks_;
};

// A content stream that cannot be moved to its start.
class UnseekableContent : public TMemoryStream {
 public:
  int64_t Seek(int64_t, SeekOrigin) override { return -1; }
};

TEST(PackageWriter, FailuresWhileWriting) {
  // Publisher "Pub": header at 0, text at 12, table at 15, "a.txt\0" at 23, its stream at 29 to 43.
  const std::string write_error = "Could not write the package";
  struct Case {
    const char* what;
    int64_t write_limit;  // from PackageOffset
    bool refuse_seeks;
    std::string message;
  };
  const Case cases[] = {
      {"the stub", -PackageOffset, false, write_error},
      {"the header", 11, false, write_error},
      {"a text", 14, false, write_error},
      {"the table", 22, false, write_error},
      {"a name", 28, false, write_error},
      {"a compressed stream", 42, false, write_error},
      {"the table's final bytes", 43, true, write_error},
      {"the checksum record", 62, false, write_error},  // 16 + 4 bytes behind the entry
      {"nothing", 63, false, ""},
  };
  for (const Case& c : cases) {
    Contents contents;
    PackagePlan plan;
    plan.Publisher = "Pub";
    plan.Files.push_back(contents.File("a.txt", FromString("abc")));
    FaultyOutput output(PackageOffset + c.write_limit, c.refuse_seeks);
    EXPECT_EQ(FailureOf([&] { WritePackage(plan, output); }), c.message) << c.what;
  }
}

TEST(PackageWriter, ContentThatCannotBeReadFromItsStart) {
  UnseekableContent unseekable;
  for (TStream* content : {static_cast<TStream*>(nullptr), static_cast<TStream*>(&unseekable)}) {
    PackagePlan plan;
    plan.Files.push_back({"data.bin", content, kLzrw});
    TMemoryStream output;
    EXPECT_EQ(FailureOf([&] { WritePackage(plan, output); }), "Could not read the content of \"data.bin\"");
    EXPECT_EQ(output.Size(), 0);
  }
}

}  // namespace
}  // namespace vornix

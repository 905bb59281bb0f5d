// The package writer.
#include "package/package_writer.h"

#include "compression/lzrw1.h"
#include "compression/unaligned.h"
#include "package/entry_name.h"

namespace vornix {
namespace {

void CheckText(const char* what, const std::string& text) {
  if (text.size() > kMaxTextLength) {
    throw Exception(std::string(what) + " is " + std::to_string(text.size()) + " bytes long; a package holds at most " +
                    std::to_string(kMaxTextLength));
  }
  // The stub cuts a text at its first zero byte: the rest would be lost.
  if (text.find('\0') != std::string::npos) throw Exception(std::string(what) + " holds a zero byte");
}

[[noreturn]] void ContentUnreadable(const PackageFile& file) {
  throw Exception("Could not read the content of \"" + file.Name + "\"");
}

void WriteAll(TStream& output, const void* data, size_t count) {
  if (output.Write(data, static_cast<int32_t>(count)) != static_cast<int32_t>(count)) {
    throw Exception("Could not write the package");
  }
}

// Compresses one file into the output behind its name and returns the entry's size.
uint32_t WriteEntry(const PackageFile& file, TStream& output, int64_t offset) {
  WriteAll(output, file.Name.c_str(), file.Name.size() + 1);
  if (file.Content->Seek(0, SeekOrigin::Beginning) != 0) ContentUnreadable(file);
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = file.Content;
  container.OutputStream = &output;
  container.CompressionMethod = file.Method;
  TLZHProgress progress;
  const int64_t stored = container.Compress(progress);
  const int64_t size = static_cast<int64_t>(file.Name.size()) + 1 + stored;
  if (offset + size >= kEntryLimit) {
    throw Exception("\"" + file.Name + "\" would end at or past 2^31 bytes into the package");
  }
  return static_cast<uint32_t>(size);
}

}  // namespace

void CheckPackagePlan(const PackagePlan& Plan) {
  if (Plan.Stub.size() > static_cast<size_t>(PackageOffset)) {
    throw Exception("The stub is " + std::to_string(Plan.Stub.size()) + " bytes long; it must fit in " +
                    std::to_string(PackageOffset));
  }
  CheckText("The title", Plan.Title);
  CheckText("The publisher", Plan.Publisher);
  CheckText("The note", Plan.Note);
  if (Plan.Files.size() > kMaxEntries) {
    throw Exception(std::to_string(Plan.Files.size()) + " files given; a package holds at most " +
                    std::to_string(kMaxEntries));
  }
  for (const PackageFile& file : Plan.Files) {
    if (const char* problem = EntryNameProblem(file.Name)) {
      throw Exception("The name \"" + file.Name + "\" cannot be unpacked: " + problem);
    }
    if (file.Content == nullptr || file.Content->Seek(0, SeekOrigin::Current) < 0) ContentUnreadable(file);
  }
}

void WritePackage(const PackagePlan& Plan, TStream& Output) {
  CheckPackagePlan(Plan);
  // The stub, padded to the package offset.
  std::vector<uint8_t> front(Plan.Stub);
  front.resize(static_cast<size_t>(PackageOffset), 0);
  WriteAll(Output, front.data(), front.size());

  uint8_t header[kPackageHeaderSize] = {};
  StoreLE16(header, PackageVersion);
  header[4] = static_cast<uint8_t>(Plan.Files.size());
  header[5] = static_cast<uint8_t>(Plan.Publisher.size());
  header[6] = static_cast<uint8_t>(Plan.Title.size());
  header[7] = static_cast<uint8_t>(Plan.Note.size());
  header[8] = Plan.RunIndex;
  header[9] = Plan.Flags;
  WriteAll(Output, header, sizeof header);
  WriteAll(Output, Plan.Publisher.data(), Plan.Publisher.size());
  WriteAll(Output, Plan.Title.data(), Plan.Title.size());
  WriteAll(Output, Plan.Note.data(), Plan.Note.size());

  // The table is written as zeros first and filled in once every entry's size is known.
  const int64_t table_start = Output.Position();
  std::vector<uint8_t> table(Plan.Files.size() * kEntrySlotSize, 0);
  WriteAll(Output, table.data(), table.size());
  int64_t offset = table_start + static_cast<int64_t>(table.size());
  for (size_t i = 0; i < Plan.Files.size(); ++i) {
    const uint32_t size = WriteEntry(Plan.Files[i], Output, offset);
    StoreLE32(&table[i * kEntrySlotSize], static_cast<uint32_t>(offset));
    StoreLE32(&table[i * kEntrySlotSize + 4], size);
    offset += size;
  }
  if (Output.Seek(table_start, SeekOrigin::Beginning) != table_start) throw Exception("Could not write the package");
  WriteAll(Output, table.data(), table.size());
  Output.Seek(0, SeekOrigin::End);
}

}  // namespace vornix

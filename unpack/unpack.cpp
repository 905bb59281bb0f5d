// UnpackPackage: the tree's folders are created first; the container decompresses each entry's
// compressed stream straight from the package into the target. The caller hears of the headway
// between the pieces of this work, and may cancel it there.
#include "unpack/unpack.h"

#include "compression/lzrw1.h"
#include "compression/lzrw1_messages.h"
#include "compression/unaligned.h"
#include "package/checksum.h"
#include "package/entry_name.h"
#include "runtime/application.h"
#include "unpack/program_start.h"
#include "unpack/write_aside.h"

namespace vornix {
namespace {

// The target path with everything from the file name's last dot on replaced by ".~~c": the path the
// could-not-create box names. A dot in a folder of the path is no extension.
std::string ScratchPath(const std::string& path) {
  const size_t name_start = path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\') + 1;
  const size_t dot = path.rfind('.');
  return std::string(TempFolder) + path.substr(0, dot != std::string::npos && dot >= name_start ? dot : path.size()) +
         ".~~c";
}

// Raised through the unpacking when the caller cancels it; no failure of an entry.
struct UnpackCancelled {};

// Reports the bytes written so far to the caller's progress handler, and raises UnpackCancelled
// when it answers false.
class TUnpackHeadway {
 public:
  TUnpackHeadway(TUnpackProgress handler, int64_t total) : handler_(handler), total_(total) {}
  void Add(int32_t bytes) {
    done_ += bytes;
    Report();
  }
  void Report() const {
    if (handler_ && !handler_(done_, total_)) throw UnpackCancelled();
  }

 private:
  TUnpackProgress handler_;
  int64_t total_;
  int64_t done_ = 0;
};

// The sum of the entries' original sizes, from each stream's header; an entry whose header cannot be
// read counts nothing. The package is left where it stood.
int64_t OriginalTotal(const TPackageHeader& header, TStream& package) {
  const int64_t position = package.Position();
  int64_t total = 0;
  for (const TPackageEntry& entry : header.Entries) {
    if (package.Seek(entry.Offset, SeekOrigin::Beginning) != entry.Offset) continue;
    ReadEntryName(package);
    uint8_t stream_header[8];
    if (package.Read(stream_header, sizeof stream_header) == sizeof stream_header) {
      total += LoadLE32(stream_header + 4);
    }
  }
  package.Seek(position, SeekOrigin::Beginning);
  return total;
}

// expected_hash, when given, is the hash the unpacked bytes must have.
void UnpackEntry(const TPackageHeader& header, const TPackageEntry& entry, TStream& package, int64_t package_size,
                 const uint32_t* expected_hash, TUnpackHeadway& headway, TWriteAside& aside) {
  const char* problem = header.IsTree() ? EntryPathProblem(entry.FileName) : EntryNameProblem(entry.FileName);
  if (problem != nullptr) throw Exception(problem);
  // A new file rather than one made over: Wine makes a file over by truncating it, and ext4 writes a
  // truncated file out when it is closed (7 to 16 ms for 52 MB). Only a flat package's second entry
  // of a name (which no writer makes) finds its name taken; it replaces the first.
  const std::string path = TempFolder + entry.FileName;
  TFileStream target(path, PathExists(path) ? TFileStream::Mode::Create : TFileStream::Mode::CreateNew);
  const int64_t stream_start = package.Position();
  // An entry that runs past the end leaves the package at its end: the entries behind a cut are not
  // attempted.
  if (int64_t{entry.Offset} + entry.Size > package_size) package.Seek(0, SeekOrigin::End);
  const int64_t length = EntryStreamLength(entry, stream_start, package_size);
  // The stream is decoded where it lies, read through a window that ends with the entry.
  TStreamWindow stream(package, stream_start, length);
  // The bytes are hashed on their way into the target: the file is never read back.
  THashingStream hashed(target);
  aside.Begin(hashed, TWriteAside::TTaken::Bind<&TUnpackHeadway::Add>(&headway));
  Tlzrw1 container;
  container.InputStream = &stream;
  container.OutputStream = &aside;
  container.CompressionMethod = 0;
  container.UseStreams = true;
  container.OnFullBlock = decltype(container.OnFullBlock)::Bind<&TWriteAside::TakeCodedBlock>(&aside);
  bool finished = false;
  try {
    container.Decompress();
    finished = aside.Finish();
  } catch (...) {
    aside.Abandon();
    throw;
  }
  if (!finished) throw ELzrw1Exception(lzrw1_messages::kWriteStream);
  package.Seek(stream_start + length, SeekOrigin::Beginning);
  if (expected_hash != nullptr && hashed.Value() != *expected_hash) {
    throw Exception(package_messages::kChecksumMismatch);
  }
}

void StartExeThread(const TPackageHeader& header, TExeDone on_done) {
  auto* thread = new TExeThread(true);
  thread->OnDone = on_done;
  thread->ExeName = TempFolder + header.Entries[header.RunEntry].FileName;
  // The stub's own arguments go to the program: "setup.exe /S" runs an installer silently.
  thread->Arguments = ArgumentsAfterProgramName(GetCommandLineA());
  ResumeThread(thread->ThreadHandle);
}

}  // namespace

namespace {

UnpackResult UnpackEntries(TPackageHeader& Header, TStream& Package, const TPackageChecks& Checks,
                           TUnpackHeadway& headway) {
  const int64_t package_size = Package.Size();
  UnpackResult result = UnpackResult::Unpacked;
  auto fail = [&result](const std::string& path) {
    result = UnpackResult::EntryFailed;
    Application.ShowError(package_messages::kCreateFileStart + path + package_messages::kCreateFileEnd);
  };
  // The tree's paths, case folded: a second file of the same path (which no writer makes) would
  // replace the first.
  TFoldedPathSet paths;
  TWriteAside aside;
  for (const std::string& folder : Header.Folders) {
    headway.Report();
    paths.Insert(folder);
    if (!CreateDirectoryA((TempFolder + folder).c_str(), nullptr)) fail(TempFolder + folder);
  }
  for (size_t i = 0; i < Header.Entries.size() && Package.Position() < package_size; ++i) {
    headway.Report();
    TPackageEntry& entry = Header.Entries[i];
    Package.Seek(entry.Offset, SeekOrigin::Beginning);
    entry.FileName = ReadEntryName(Package);
    const std::string scratch_path = ScratchPath(entry.FileName);
    try {
      if (Header.IsTree() && !paths.Insert(entry.FileName)) throw Exception(entry.FileName);
      UnpackEntry(Header, entry, Package, package_size, Checks.Carried() ? &Checks.EntryHash[i] : nullptr, headway,
                  aside);
    } catch (const UnpackCancelled&) {
      throw;
    } catch (...) {
      fail(scratch_path);
    }
  }
  return result;
}

}  // namespace

UnpackResult UnpackPackage(TPackageHeader& Header, TStream& Package, const TPackageChecks& Checks, TExeDone OnDone,
                           TUnpackProgress OnProgress) {
  if (!CreateTempFolder()) return UnpackResult::NoTempFolder;
  // The decoder reads a block's length and then the block: thousands of small reads, each of which
  // costs Wine a call of its own (14 ms of reads for the 25 MB stream of a 52 MB LZRW1/KH entry).
  TReadAhead package(Package, 1 << 20);
  TUnpackHeadway headway(OnProgress, OnProgress ? OriginalTotal(Header, package) : 0);
  UnpackResult result = UnpackResult::Unpacked;
  try {
    headway.Report();
    result = UnpackEntries(Header, package, Checks, headway);
  } catch (const UnpackCancelled&) {
    RemoveUnpacked();
    return UnpackResult::Cancelled;
  }
  if (result == UnpackResult::EntryFailed && Checks.Carried()) {
    RemoveUnpacked();
    return UnpackResult::Withdrawn;
  }
  if (Header.RunRequested()) StartExeThread(Header, OnDone);
  return result;
}

}  // namespace vornix

// UnpackPackage: each entry's compressed stream is copied into a scratch file named like the target
// with the extension ".~~c", and the container decompresses that file into the target.
#include <memory>

#include "app/application.h"
#include "compression/lzrw1.h"
#include "package/entry_name.h"
#include "package/unpack.h"

namespace vornix {
namespace {

// The scratch file of one entry: created empty, closed and deleted when the entry's step ends,
// whichever way it ends.
class ScratchFile {
 public:
  explicit ScratchFile(std::string path)
      : path_(std::move(path)), stream_(std::make_unique<TFileStream>(path_, TFileStream::Mode::Create)) {}
  ~ScratchFile() {
    stream_.reset();
    FileDelete(path_);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  TStream& Stream() { return *stream_; }

 private:
  std::string path_;
  std::unique_ptr<TFileStream> stream_;
};

// The target path with everything from the file name's last dot on replaced by ".~~c".
std::string ScratchPath(const std::string& file_name) {
  return std::string(TempFolder) + file_name.substr(0, file_name.rfind('.')) + ".~~c";
}

// Copies count bytes through a fixed buffer, so memory does not grow with the entry.
void CopyBytes(TStream& from, TStream& to, int32_t count) {
  static constexpr int32_t kChunk = 64 * 1024;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
  while (count > 0) {
    const int32_t step = count < kChunk ? count : kChunk;
    if (from.Read(buffer.get(), step) != step) throw Exception(package_messages::kReadError);
    if (to.Write(buffer.get(), step) != step) throw Exception("Stream write error");
    count -= step;
  }
}

void UnpackEntry(const TPackageEntry& entry, TStream& package, int64_t package_size, const std::string& scratch_path) {
  if (const char* problem = EntryNameProblem(entry.FileName)) throw Exception(problem);
  ScratchFile scratch(scratch_path);
  TFileStream target(TempFolder + entry.FileName, TFileStream::Mode::Create);
  const int64_t stream_start = package.Position();
  // An entry that runs past the end leaves the package at its end, as a copy into the end would:
  // the entries behind a cut are not attempted.
  if (int64_t{entry.Offset} + entry.Size > package_size) package.Seek(0, SeekOrigin::End);
  CopyBytes(package, scratch.Stream(), EntryStreamLength(entry, stream_start, package_size));
  scratch.Stream().Seek(0, SeekOrigin::Beginning);
  Tlzrw1 container;
  container.InputStream = &scratch.Stream();
  container.OutputStream = &target;
  container.CompressionMethod = 0;
  container.UseStreams = true;
  container.Decompress();
}

void StartExeThread(const TPackageHeader& header, TExeDone on_done) {
  auto* thread = new TExeThread(true);
  thread->OnDone = on_done;
  thread->ExeName = TempFolder + header.Entries[header.RunIndex].FileName;
  // Only names that can be unpacked: a refused one such as "..\\x" created nothing, and its path
  // would lie outside the folder.
  for (int i = 0; i < header.FileCount; ++i) {
    const std::string& name = header.Entries[i].FileName;
    if (EntryNameProblem(name) == nullptr) thread->FileList.Add(TempFolder + name);
  }
  ResumeThread(thread->ThreadHandle);
}

}  // namespace

UnpackResult UnpackPackage(TPackageHeader& Header, TStream& Package, TExeDone OnDone) {
  if (!CreateTempFolder()) return UnpackResult::NoTempFolder;
  ReadEntryTable(Header, Package);
  const int64_t package_size = Package.Size();
  UnpackResult result = UnpackResult::Unpacked;
  for (int i = 0; i < Header.FileCount && Package.Position() < package_size; ++i) {
    TPackageEntry& entry = Header.Entries[i];
    Package.Seek(entry.Offset, SeekOrigin::Beginning);
    entry.FileName = ReadEntryName(Package);
    const std::string scratch_path = ScratchPath(entry.FileName);
    try {
      UnpackEntry(entry, Package, package_size, scratch_path);
    } catch (...) {
      result = UnpackResult::EntryFailed;
      Application.ShowError(package_messages::kCreateFileStart + scratch_path + package_messages::kCreateFileEnd);
    }
  }
  if (Header.RunRequested()) StartExeThread(Header, OnDone);
  return result;
}

}  // namespace vornix

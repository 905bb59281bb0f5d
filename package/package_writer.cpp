// The package writer.
#include "package/package_writer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "compression/lzrw1.h"
#include "compression/unaligned.h"
#include "package/checksum.h"
#include "package/entry_name.h"
#include "package/integrity.h"
#include "package/ordered_output.h"

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

// Compresses the files on Jobs threads into the ordered output, and reports progress from the
// calling thread while they work.
class TEntryWorkers {
 public:
  TEntryWorkers(const PackagePlan& plan, TOrderedOutput& output, const WriteOptions& options, int64_t bytes_total)
      : plan_(plan),
        output_(output),
        options_(options),
        bytes_total_(bytes_total),
        failed_index_(plan.Files.size()),
        hashes_(plan.Files.size()) {}

  // Returns when every file is in the package, or raises the failure that stopped the writing.
  void Run();
  // Each file's hash, as the integrity record holds it.
  const std::vector<uint32_t>& Hashes() const { return hashes_; }

 private:
  // One file's LZH progress, turned into a share of the common count.
  struct TEntryProgress {
    TEntryWorkers* owner;
    int64_t reported;
    void Update(TLZHProgress& progress) {
      owner->bytes_done_ += progress.BytesDone - reported;
      reported = progress.BytesDone;
    }
  };

  void Work();
  void CompressEntry(size_t index);
  void RecordFailure(size_t index, const std::string& message);
  void Report();

  const PackagePlan& plan_;
  TOrderedOutput& output_;
  const WriteOptions& options_;
  const int64_t bytes_total_;
  std::atomic<size_t> next_{0};
  std::atomic<size_t> files_done_{0};
  std::atomic<int64_t> bytes_done_{0};

  std::mutex lock_;
  std::condition_variable finished_;
  int running_ = 0;
  size_t failed_index_;
  std::string failure_;
  std::vector<uint32_t> hashes_;  // each written by the worker of its file only
};

// The file's content hashed on a read of its own once the container is done with it: the
// container's sampling for Advise moves about in its input, and a content that fails is reported
// by the container as it always was.
uint32_t ContentHash(const PackageFile& file) {
  static constexpr int32_t kChunk = 64 * 1024;
  std::vector<uint8_t> buffer(kChunk);
  TChecksum checksum;
  if (file.Content->Seek(0, SeekOrigin::Beginning) != 0) ContentUnreadable(file);
  for (;;) {
    const int32_t got = file.Content->Read(buffer.data(), kChunk);
    if (got < 0) ContentUnreadable(file);
    if (got == 0) return checksum.Value();
    checksum.Add(buffer.data(), static_cast<size_t>(got));
  }
}

void TEntryWorkers::Run() {
  const size_t count = plan_.Files.size();
  const int jobs = static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(options_.Jobs, 1)), count));
  std::vector<std::thread> threads;
  running_ = jobs;
  for (int i = 0; i < jobs; ++i) threads.emplace_back(&TEntryWorkers::Work, this);
  {
    std::unique_lock<std::mutex> hold(lock_);
    while (running_ > 0) {
      finished_.wait_for(hold, std::chrono::milliseconds(100));
      hold.unlock();
      Report();
      hold.lock();
    }
  }
  for (std::thread& thread : threads) thread.join();

  // The first failure in table order: the entries before it are all in the package.
  const size_t past_limit = output_.EntryPastLimit();
  const size_t not_written = output_.EntryNotWritten();
  const size_t first = std::min({past_limit, not_written, failed_index_});
  if (first == count) {
    Report();
    return;
  }
  if (first == past_limit) {
    throw Exception("\"" + plan_.Files[first].Name +
                    "\" would end at or past 4 GB into the package: " + package_messages::kProgramTooLarge);
  }
  if (first == not_written) throw Exception("Could not write the package");
  throw Exception(failure_);
}

void TEntryWorkers::Work() {
  for (size_t index = next_++; index < plan_.Files.size() && !output_.Stopped(index); index = next_++) {
    try {
      CompressEntry(index);
    } catch (const std::exception& failure) {
      RecordFailure(index, failure.what());
    }
  }
  std::lock_guard<std::mutex> hold(lock_);
  --running_;
  finished_.notify_all();
}

void TEntryWorkers::CompressEntry(size_t index) {
  const PackageFile& file = plan_.Files[index];
  TOrderedOutput::TEntrySink sink(output_, index);
  WriteAll(sink, file.Name.c_str(), file.Name.size() + 1);
  if (file.Content->Seek(0, SeekOrigin::Beginning) != 0) ContentUnreadable(file);
  TEntryProgress progress_share{this, 0};
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = file.Content;
  container.OutputStream = &sink;
  container.CompressionMethod = file.Method;
  container.OnProgress = TProgressEvent::Bind<&TEntryProgress::Update>(&progress_share);
  TLZHProgress progress;
  try {
    container.Compress(progress);
  } catch (const Exception& failure) {
    throw Exception("\"" + file.Name + "\": " + failure.Message());
  }
  if (plan_.Checksums) hashes_[index] = ContentHash(file);
  sink.Finish();
  bytes_done_ += file.Content->Size() - progress_share.reported;
  ++files_done_;
}

// Every failure is kept by its place in the table; those of stopped entries come after the one that
// stopped them, so the first in table order is always a cause, never an echo.
void TEntryWorkers::RecordFailure(size_t index, const std::string& message) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (index < failed_index_) {
      failed_index_ = index;
      failure_ = message;
    }
  }
  output_.Stop(index);
}

void TEntryWorkers::Report() {
  if (!options_.OnProgress) return;
  WriteProgress progress;
  progress.FilesDone = files_done_;
  progress.FileCount = plan_.Files.size();
  progress.BytesDone = bytes_done_;
  progress.BytesTotal = bytes_total_;
  options_.OnProgress(progress);
}

void CheckPath(const std::string& path) {
  if (const char* problem = EntryPathProblem(path)) {
    throw Exception("The name \"" + path + "\" cannot be unpacked: " + problem);
  }
}

// Every folder of the tree: those named and those that hold a file or a folder, in byte order, so
// that each comes after its parent.
std::set<std::string> TreeFolders(const PackagePlan& plan) {
  std::set<std::string> folders;
  auto add_parents = [&folders](const std::string& path) {
    for (size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
      folders.insert(path.substr(0, slash));
    }
  };
  for (const PackageFile& file : plan.Files) add_parents(file.Name);
  for (const std::string& folder : plan.Folders) {
    add_parents(folder);
    folders.insert(folder);
  }
  return folders;
}

// Two paths that differ only in case would name the same file or folder on Windows.
void CheckDistinct(const PackagePlan& plan) {
  std::map<std::string, std::string> by_folded;
  auto claim = [&by_folded](const std::string& path) {
    const auto same = by_folded.emplace(FoldedPath(path), path);
    if (same.second) return;
    if (same.first->second == path) throw Exception("The name \"" + path + "\" is both a file and a folder");
    throw Exception("The name \"" + path + "\" is that of \"" + same.first->second + "\" when case is ignored");
  };
  for (const PackageFile& file : plan.Files) claim(file.Name);
  for (const std::string& folder : TreeFolders(plan)) claim(folder);
}

void StoreSlot(uint8_t* slot, const TOrderedOutput& entries, size_t index) {
  StoreLE32(slot, static_cast<uint32_t>(entries.Offset(index)));
  StoreLE32(slot + 4, static_cast<uint32_t>(entries.Size(index)));
}

}  // namespace

std::vector<uint8_t> IntegrityRecord(uint32_t head_hash, uint8_t file_count,
                                     const std::vector<uint32_t>& entry_hashes) {
  std::vector<uint8_t> record(static_cast<size_t>(IntegrityRecordSize(entry_hashes.size())), 0);
  std::memcpy(record.data(), kRecordMagic, sizeof kRecordMagic);
  record[4] = file_count;
  record[5] = kHashXxh32;
  StoreLE32(&record[8], head_hash);
  for (size_t i = 0; i < entry_hashes.size(); ++i) StoreLE32(&record[kRecordFrontSize + 4 * i], entry_hashes[i]);
  const size_t hashed = record.size() - kRecordHashSize;
  StoreLE32(&record[hashed], TChecksum::Of(record.data(), hashed));
  return record;
}

bool NeedsTreeLayout(const PackagePlan& Plan) {
  if (Plan.Files.size() > kMaxEntries || !Plan.Folders.empty()) return true;
  for (const PackageFile& file : Plan.Files) {
    if (file.Name.find('\\') != std::string::npos) return true;
  }
  return false;
}

void CheckPackagePlan(const PackagePlan& Plan) {
  if (Plan.Stub.size() > static_cast<size_t>(PackageOffset)) {
    throw Exception("The stub is " + std::to_string(Plan.Stub.size()) + " bytes long; it must fit in " +
                    std::to_string(PackageOffset));
  }
  CheckText("The title", Plan.Title);
  CheckText("The publisher", Plan.Publisher);
  CheckText("The note", Plan.Note);
  for (const PackageFile& file : Plan.Files) {
    CheckPath(file.Name);
    if (file.Content == nullptr || file.Content->Seek(0, SeekOrigin::Current) < 0) ContentUnreadable(file);
  }
  for (const std::string& folder : Plan.Folders) CheckPath(folder);
  CheckDistinct(Plan);
}

void WritePackage(const PackagePlan& Plan, TStream& Output, const WriteOptions& Options) {
  CheckPackagePlan(Plan);
  int64_t bytes_total = 0;
  for (const PackageFile& file : Plan.Files) {
    const int64_t size = file.Content->Size();
    if (size < 0) ContentUnreadable(file);
    bytes_total += size;
  }

  // The stub, padded to the package offset.
  std::vector<uint8_t> front(Plan.Stub);
  front.resize(static_cast<size_t>(PackageOffset), 0);
  WriteAll(Output, front.data(), front.size());

  // The header, the texts and (once filled in) the table and the tree record, kept for the head's
  // hash.
  const bool tree = NeedsTreeLayout(Plan);
  const size_t count = Plan.Files.size();
  const size_t table_count = std::min<size_t>(count, kMaxEntries);
  std::vector<uint8_t> head(kPackageHeaderSize, 0);
  StoreLE16(head.data(), tree ? TreeVersion : PackageVersion);
  head[4] = static_cast<uint8_t>(table_count);
  head[5] = static_cast<uint8_t>(Plan.Publisher.size());
  head[6] = static_cast<uint8_t>(Plan.Title.size());
  head[7] = static_cast<uint8_t>(Plan.Note.size());
  head[8] = tree ? 0 : static_cast<uint8_t>(Plan.RunIndex);
  head[9] = static_cast<uint8_t>((Plan.Flags & ~HasChecksums) | (Plan.Checksums ? HasChecksums : 0));
  for (const std::string* text : {&Plan.Publisher, &Plan.Title, &Plan.Note}) {
    head.insert(head.end(), text->begin(), text->end());
  }
  const size_t table_at = head.size();
  head.resize(table_at + table_count * kEntrySlotSize, 0);
  size_t extra_slots_at = head.size();
  if (tree) {
    const std::set<std::string> folders = TreeFolders(Plan);
    head.insert(head.end(), kTreeMagic, kTreeMagic + sizeof kTreeMagic);
    head.resize(head.size() + 12, 0);
    StoreLE32(&head[extra_slots_at + 4], static_cast<uint32_t>(count));
    StoreLE32(&head[extra_slots_at + 8], Plan.RunIndex);
    StoreLE32(&head[extra_slots_at + 12], static_cast<uint32_t>(folders.size()));
    extra_slots_at = head.size();
    head.resize(head.size() + (count - table_count) * kEntrySlotSize, 0);
    for (const std::string& folder : folders) {
      head.push_back(static_cast<uint8_t>(folder.size()));
      head.insert(head.end(), folder.begin(), folder.end());
    }
  }
  // The slots are written as zeros first and filled in once every entry's size is known.
  const int64_t head_start = Output.Position();
  WriteAll(Output, head.data(), head.size());
  // The integrity record comes behind the entries, and the whole file stays below the limit.
  const int64_t record_size = Plan.Checksums ? static_cast<int64_t>(IntegrityRecordSize(count)) : 0;
  TOrderedOutput entries(Output, count, Options.MemoryBudget, kEntryLimit - record_size);
  TEntryWorkers workers(Plan, entries, Options, bytes_total);
  workers.Run();
  for (size_t i = 0; i < count; ++i) {
    StoreSlot(
        &head[i < table_count ? table_at + i * kEntrySlotSize : extra_slots_at + (i - table_count) * kEntrySlotSize],
        entries, i);
  }
  if (Output.Seek(head_start, SeekOrigin::Beginning) != head_start) throw Exception("Could not write the package");
  WriteAll(Output, head.data(), head.size());
  Output.Seek(0, SeekOrigin::End);
  if (!Plan.Checksums) return;
  // The record right behind the last entry, which ends the file.
  std::vector<std::string> names;
  for (const PackageFile& file : Plan.Files) names.push_back(file.Name);
  const std::vector<uint8_t> record =
      IntegrityRecord(HeadHash(head, names), static_cast<uint8_t>(table_count), workers.Hashes());
  WriteAll(Output, record.data(), record.size());
}

}  // namespace vornix

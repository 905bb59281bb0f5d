// Fuzzes the package reader of the tools: the input is the package, read as the file of a stub of
// zero bytes followed by the input. ReadPackageIndex may refuse the header; every entry it finds must
// be described as the layout documents it, and an entry the reader passes as sound must decode to
// exactly its stated size or fail with a vornix::Exception.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "package/package_layout.h"
#include "package/package_reader.h"
#include "runtime/stream.h"

namespace {

using namespace vornix;

// A stated size is no reason to spend seconds on one input: larger entries are not decoded, and an
// input stops decoding once its entries have stated this much in total.
constexpr int64_t kMaxEntrySize = 16 << 20;
constexpr int64_t kMaxDecodedPerInput = 32 << 20;

// The executable as a stream without copying the fuzz input behind 340 KB of stub: the stub reads
// as zeros, and reads are served from the input itself so that ASan sees any read past its end.
class StubAndPackage : public TStream {
 public:
  StubAndPackage(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int64_t>(size)) {}

  int32_t Read(void* buffer, int32_t count) override {
    if (count < 0) return -1;
    const int64_t available = position_ < Size() ? Size() - position_ : 0;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, available));
    auto* out = static_cast<uint8_t*>(buffer);
    for (int32_t done = 0; done < n;) {
      const int64_t at = position_ + done;
      if (at < PackageOffset) {
        const int32_t zeros = static_cast<int32_t>(std::min<int64_t>(n - done, PackageOffset - at));
        std::memset(out + done, 0, static_cast<size_t>(zeros));
        done += zeros;
      } else {
        std::memcpy(out + done, data_ + (at - PackageOffset), static_cast<size_t>(n - done));
        done = n;
      }
    }
    position_ += n;
    return n;
  }

  int32_t Write(const void*, int32_t) override { return -1; }

  // Like a file: a position past the end is allowed and reads nothing.
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    const int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : Size();
    if (offset < -base || offset > INT64_MAX - base) return -1;
    position_ = base + offset;
    return position_;
  }

  int64_t Size() override { return PackageOffset + size_; }

  // The byte at a file offset, for checking what the reader reports against the file itself.
  int At(int64_t offset) const {
    if (offset < PackageOffset) return 0;
    if (offset >= PackageOffset + size_) return -1;
    return data_[offset - PackageOffset];
  }

  uint32_t LE32At(int64_t offset) const {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint32_t>(At(offset + i));
    return value;
  }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t position_ = 0;
};

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

// What the layout says of an entry without a Problem: its name runs from Offset to the first zero
// byte (or the end of the file), of which at most 255 bytes are kept; its stream starts behind that
// zero byte, ends at Offset + Size inside the file and below 2^32, and opens with the stream header.
void CheckSoundEntry(const StubAndPackage& file, int64_t file_size, const PackageEntryInfo& entry) {
  Check(entry.StreamStart >= 0 && entry.StreamLength >= 0);
  const int64_t end = entry.StreamStart + entry.StreamLength;
  Check(end <= file_size);
  Check(end < kEntryLimit);
  Check(end == int64_t{entry.Offset} + entry.Size);

  int64_t name_end = entry.Offset;
  while (name_end < file_size && file.At(name_end) != 0) ++name_end;
  const int64_t name_length = name_end - entry.Offset;
  Check(entry.Name.size() == static_cast<size_t>(std::min<int64_t>(name_length, kMaxTextLength)));
  for (size_t i = 0; i < entry.Name.size(); ++i) {
    Check(static_cast<uint8_t>(entry.Name[i]) == file.At(entry.Offset + static_cast<int64_t>(i)));
  }
  Check(entry.StreamStart == (name_end < file_size ? name_end + 1 : file_size));

  if (entry.StreamLength >= 8) {
    Check(entry.MethodId == file.LE32At(entry.StreamStart));
    Check(entry.OriginalSize == file.LE32At(entry.StreamStart + 4));
  } else {
    Check(entry.MethodId == 0 && entry.OriginalSize == -1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StubAndPackage file(data, size);
  const int64_t file_size = file.Size();
  PackageIndex index;
  try {
    index = ReadPackageIndex(file);
  } catch (const Exception&) {
    return 0;
  } catch (const std::exception&) {
    std::abort();  // only the library's own exceptions may leave the reader
  }
  Check(index.Header.Version == PackageVersion);
  Check(index.Entries.size() == index.Header.FileCount);

  int64_t budget = kMaxDecodedPerInput;
  for (const PackageEntryInfo& entry : index.Entries) {
    Check(entry.Name.size() <= static_cast<size_t>(kMaxTextLength));
    if (entry.Problem.empty()) CheckSoundEntry(file, file_size, entry);

    // An entry with a Problem is refused before anything is decoded, whatever it states.
    if (entry.Problem.empty() && (entry.OriginalSize > kMaxEntrySize || entry.OriginalSize > budget)) continue;
    TDiscardStream output;
    try {
      const int64_t decoded = DecodeEntry(file, entry, output);
      Check(entry.Problem.empty());
      Check(decoded == entry.OriginalSize);
      Check(output.Size() == decoded);
    } catch (const Exception&) {
    } catch (const std::exception&) {
      std::abort();
    }
    if (entry.Problem.empty()) budget -= std::max<int64_t>(entry.OriginalSize, 0);
  }
  return 0;
}

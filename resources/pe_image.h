// A Windows executable's headers, as far as putting a new resource section into it needs: the
// section table, the data directories that point into it, the image size and the image checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/stream.h"

namespace vornix {

struct PeSection {
  std::string Name;
  uint32_t VirtualSize = 0;
  uint32_t VirtualAddress = 0;
  uint32_t RawSize = 0;
  uint32_t RawOffset = 0;
};

class TPeImage {
 public:
  // Whether Bytes begin with a DOS header that points at a PE signature.
  static bool Recognised(const std::vector<uint8_t>& Bytes);

  // Reads the headers of Bytes, which must be recognised. Raises Exception when they are damaged,
  // or when the resource section cannot grow: it must exist and be the last section in the file
  // and in memory but for the base relocations, the image must not be signed, and nothing but
  // zero bytes may follow the last section.
  explicit TPeImage(const std::vector<uint8_t>& Bytes);

  uint32_t ResourceRva() const { return sections_[resources_].VirtualAddress; }
  // The resource directory's bytes.
  std::vector<uint8_t> ResourceSection() const;
  // The most bytes the resource section can take while the image ends at or before Limit.
  int64_t ResourceRoom(int64_t Limit) const;
  // The bytes a resource section of Size bytes takes in the file, rounded up to the file alignment.
  int64_t SectionFileSize(size_t Size) const {
    return static_cast<int64_t>((Size + file_alignment_ - 1) / file_alignment_ * file_alignment_);
  }

  // The image with Section, made for ResourceRva(), in place of its resource section, the base
  // relocations moved up behind it, and every header that describes them (section sizes, image
  // size, data directories, checksum) to match. Raises Exception, naming the room there is and the
  // room needed, when the result would end past Limit.
  std::vector<uint8_t> WithResourceSection(const std::vector<uint8_t>& Section, int64_t Limit) const;

 private:
  std::vector<uint8_t> bytes_;
  uint32_t optional_header_ = 0;
  uint32_t directories_ = 0;  // offset of the data directories
  uint32_t section_table_ = 0;
  uint32_t file_alignment_ = 0;
  uint32_t section_alignment_ = 0;
  std::vector<PeSection> sections_;
  size_t resources_ = 0;
  size_t relocations_ = 0;  // sections_.size() when there are none behind the resources
};

// The architecture a Windows executable is built for, as vornix names it: "x86" (the file
// header's Machine is i386, 0x14C) or "x64" (AMD64, 0x8664); an empty string for any other machine
// or when Bytes, the start of the file, hold no PE headers.
std::string PeArchitecture(const std::vector<uint8_t>& Bytes);

// Writes into the PE header of File, a whole executable with whatever follows its sections, the
// image checksum Windows computes for it (CheckSumMappedFile): the 16-bit one's-complement sum of
// the file, with the checksum field taken as zero, plus the file's length. Raises Exception when
// the file cannot be read or written.
void StampImageChecksum(TStream& File);

}  // namespace vornix

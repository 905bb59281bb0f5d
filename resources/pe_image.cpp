// The PE headers: the DOS header's e_lfanew (at 0x3C) points at "PE\0\0", the 20-byte file header
// (the section count at +2, the optional header's size at +16) and the optional header (magic at
// +0, section alignment +32, file alignment +36, image size +56, checksum +64, then the count of
// data directories and the 8-byte directories themselves, at +92 and +96 for PE32, +108 and +112
// for PE32+), followed by the 40-byte section headers.
#include "resources/pe_image.h"

#include <algorithm>

#include "compression/unaligned.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

constexpr uint32_t kLfanewOffset = 0x3C;
constexpr uint32_t kFileHeaderSize = 4 + 20;  // the signature, then the file header
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kChecksumOffset = 64;  // in the optional header
constexpr uint32_t kImageSizeOffset = 56;
constexpr size_t kResourceDirectory = 2;
constexpr size_t kSecurityDirectory = 4;
constexpr size_t kRelocationDirectory = 5;
constexpr const char* kDamaged = "its PE headers are damaged";

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Adds bytes to the checksum's 16-bit one's-complement sum. at_odd says whether the first byte is
// the high half of a word. The carries are folded in at the end: the sum is the same.
uint32_t AddToChecksum(uint32_t sum, const uint8_t* bytes, size_t count, bool at_odd) {
  uint64_t total = sum;
  size_t i = 0;
  if (at_odd && count > 0) total += uint32_t{bytes[i++]} << 8;
  for (; count - i >= 2; i += 2) total += LoadLE16(bytes + i);
  if (i < count) total += bytes[i];
  while ((total >> 16) != 0) total = (total & 0xFFFF) + (total >> 16);
  return static_cast<uint32_t>(total);
}

uint32_t ChecksumOffset(const uint8_t* header, size_t size) {
  if (size < kLfanewOffset + 4) throw Exception(kDamaged);
  return LoadLE32(header + kLfanewOffset) + kFileHeaderSize + kChecksumOffset;
}

}  // namespace

bool TPeImage::Recognised(const std::vector<uint8_t>& Bytes) {
  if (Bytes.size() < kLfanewOffset + 4 || Bytes[0] != 'M' || Bytes[1] != 'Z') return false;
  const uint32_t pe = LoadLE32(&Bytes[kLfanewOffset]);
  return pe <= Bytes.size() - 4 && Bytes[pe] == 'P' && Bytes[pe + 1] == 'E' && Bytes[pe + 2] == 0 && Bytes[pe + 3] == 0;
}

std::string PeArchitecture(const std::vector<uint8_t>& Bytes) {
  if (!TPeImage::Recognised(Bytes)) return "";
  const uint32_t machine_at = LoadLE32(&Bytes[kLfanewOffset]) + 4;
  if (Bytes.size() - machine_at < 2) return "";
  switch (LoadLE16(&Bytes[machine_at])) {
    case 0x14C:
      return "x86";
    case 0x8664:
      return "x64";
    default:
      return "";
  }
}

TPeImage::TPeImage(const std::vector<uint8_t>& Bytes) : bytes_(Bytes) {
  const uint32_t pe = LoadLE32(&bytes_[kLfanewOffset]);
  const size_t size = bytes_.size();
  if (size < kFileHeaderSize || pe > size - kFileHeaderSize) throw Exception(kDamaged);
  const uint32_t section_count = LoadLE16(&bytes_[pe + 6]);
  const uint32_t optional_size = LoadLE16(&bytes_[pe + 20]);
  optional_header_ = pe + kFileHeaderSize;
  section_table_ = optional_header_ + optional_size;
  if (section_table_ > size || section_count * kSectionHeaderSize > size - section_table_) throw Exception(kDamaged);
  if (optional_size < 96) throw Exception(kDamaged);
  const uint16_t magic = LoadLE16(&bytes_[optional_header_]);
  if (magic != 0x10B && magic != 0x20B) throw Exception(kDamaged);
  const uint32_t count_at = magic == 0x10B ? 92 : 108;
  directories_ = optional_header_ + count_at + 4;
  if (optional_size < count_at + 4) throw Exception(kDamaged);
  const uint32_t directory_count = LoadLE32(&bytes_[optional_header_ + count_at]);
  if (directory_count <= kRelocationDirectory || (count_at + 4) + 8 * (kRelocationDirectory + 1) > optional_size) {
    throw Exception(kDamaged);
  }
  section_alignment_ = LoadLE32(&bytes_[optional_header_ + 32]);
  file_alignment_ = LoadLE32(&bytes_[optional_header_ + 36]);
  if (!PowerOfTwo(file_alignment_) || !PowerOfTwo(section_alignment_) || section_alignment_ < file_alignment_) {
    throw Exception(kDamaged);
  }

  uint32_t raw_end = 0;
  for (uint32_t i = 0; i < section_count; ++i) {
    const uint8_t* header = &bytes_[section_table_ + i * kSectionHeaderSize];
    PeSection section;
    section.Name.assign(reinterpret_cast<const char*>(header), 8);
    section.Name.resize(section.Name.find('\0') == std::string::npos ? 8 : section.Name.find('\0'));
    section.VirtualSize = LoadLE32(header + 8);
    section.VirtualAddress = LoadLE32(header + 12);
    section.RawSize = LoadLE32(header + 16);
    section.RawOffset = LoadLE32(header + 20);
    if (section.RawOffset > size || section.RawSize > size - section.RawOffset) throw Exception(kDamaged);
    if (section.RawSize != 0) raw_end = std::max(raw_end, section.RawOffset + section.RawSize);
    sections_.push_back(section);
  }

  auto directory = [this](size_t index) { return LoadLE32(&bytes_[directories_ + 8 * index]); };
  if (LoadLE32(&bytes_[directories_ + 8 * kSecurityDirectory + 4]) != 0) {
    throw Exception("it is signed: sign the package instead");
  }
  const uint32_t resource_rva = directory(kResourceDirectory);
  const auto by_rva = [&](uint32_t rva) {
    return static_cast<size_t>(std::find_if(sections_.begin(), sections_.end(),
                                            [rva](const PeSection& s) { return s.VirtualAddress == rva; }) -
                               sections_.begin());
  };
  resources_ = by_rva(resource_rva);
  if (resource_rva == 0 || resources_ == sections_.size()) throw Exception("it has no resource section to rewrite");
  const PeSection& rsrc = sections_[resources_];
  const uint32_t relocation_rva = directory(kRelocationDirectory);
  relocations_ = sections_.size();
  for (size_t i = 0; i < sections_.size(); ++i) {
    const PeSection& s = sections_[i];
    if (i == resources_ ||
        (s.VirtualAddress < rsrc.VirtualAddress && (s.RawSize == 0 || s.RawOffset < rsrc.RawOffset))) {
      continue;
    }
    // The base relocations may follow: their blocks name places in other sections, so the section
    // itself can move. Anything else pinned behind the resources would be overwritten.
    const bool relocations = relocation_rva >= s.VirtualAddress && relocation_rva - s.VirtualAddress < s.VirtualSize &&
                             relocations_ == sections_.size() && s.VirtualAddress > rsrc.VirtualAddress &&
                             s.RawOffset >= rsrc.RawOffset + rsrc.RawSize;
    if (!relocations) throw Exception("its resource section is not its last: " + s.Name + " follows it");
    relocations_ = i;
  }
  if (LoadLE32(&bytes_[directories_ + 8 * kResourceDirectory + 4]) > std::max(rsrc.VirtualSize, rsrc.RawSize)) {
    throw Exception(kDamaged);
  }
  if (std::any_of(bytes_.begin() + raw_end, bytes_.end(), [](uint8_t b) { return b != 0; })) {
    throw Exception("it carries data behind its last section");
  }
}

std::vector<uint8_t> TPeImage::ResourceSection() const {
  const PeSection& rsrc = sections_[resources_];
  const uint32_t size = std::min(LoadLE32(&bytes_[directories_ + 8 * kResourceDirectory + 4]), rsrc.RawSize);
  return std::vector<uint8_t>(bytes_.begin() + rsrc.RawOffset, bytes_.begin() + rsrc.RawOffset + size);
}

int64_t TPeImage::ResourceRoom(int64_t Limit) const {
  const uint32_t behind = relocations_ == sections_.size() ? 0 : sections_[relocations_].RawSize;
  return Limit - sections_[resources_].RawOffset - behind;
}

std::vector<uint8_t> TPeImage::WithResourceSection(const std::vector<uint8_t>& Section, int64_t Limit) const {
  const PeSection& rsrc = sections_[resources_];
  const uint32_t section_size = static_cast<uint32_t>(Section.size());
  const int64_t needed = AlignUp(section_size, file_alignment_);
  if (needed > ResourceRoom(Limit)) {
    throw Exception("the resources would take " + std::to_string(needed) + " bytes; the stub has room for " +
                    std::to_string(ResourceRoom(Limit)));
  }
  std::vector<uint8_t> image(bytes_.begin(), bytes_.begin() + rsrc.RawOffset);
  image.insert(image.end(), Section.begin(), Section.end());
  image.resize(rsrc.RawOffset + static_cast<size_t>(needed), 0);
  uint8_t* rsrc_header = &image[section_table_ + resources_ * kSectionHeaderSize];
  StoreLE32(rsrc_header + 8, section_size);
  StoreLE32(rsrc_header + 16, static_cast<uint32_t>(needed));
  StoreLE32(&image[directories_ + 8 * kResourceDirectory + 4], section_size);
  uint32_t image_end = rsrc.VirtualAddress + section_size;

  if (relocations_ != sections_.size()) {
    const PeSection& reloc = sections_[relocations_];
    const uint32_t rva = AlignUp(image_end, section_alignment_);
    const uint32_t offset = static_cast<uint32_t>(image.size());
    image.insert(image.end(), bytes_.begin() + reloc.RawOffset, bytes_.begin() + reloc.RawOffset + reloc.RawSize);
    uint8_t* header = &image[section_table_ + relocations_ * kSectionHeaderSize];
    StoreLE32(header + 12, rva);
    StoreLE32(header + 20, offset);
    uint8_t* directory = &image[directories_ + 8 * kRelocationDirectory];
    StoreLE32(directory, LoadLE32(directory) - reloc.VirtualAddress + rva);
    // The loader maps a section's VirtualSize bytes, or its raw ones when that is zero.
    image_end = rva + (reloc.VirtualSize != 0 ? reloc.VirtualSize : reloc.RawSize);
  }
  StoreLE32(&image[optional_header_ + kImageSizeOffset], AlignUp(image_end, section_alignment_));

  const uint32_t checksum_at = optional_header_ + kChecksumOffset;
  StoreLE32(&image[checksum_at], 0);
  const uint32_t sum = AddToChecksum(0, image.data(), image.size(), false);
  StoreLE32(&image[checksum_at], sum + static_cast<uint32_t>(image.size()));
  return image;
}

void StampImageChecksum(TStream& File) {
  std::vector<uint8_t> buffer(1 << 20);
  if (File.Seek(0, SeekOrigin::Beginning) != 0) throw Exception("cannot read the file");
  const int32_t head = File.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
  if (head < 0) throw Exception("cannot read the file");
  const uint32_t checksum_at = ChecksumOffset(buffer.data(), static_cast<size_t>(head));
  uint32_t sum = 0;
  int64_t length = 0;
  int32_t done = head;
  while (done > 0) {
    // The field counts as zero wherever it falls in this block.
    for (uint32_t i = 0; i < 4; ++i) {
      const int64_t at = int64_t{checksum_at} + i - length;
      if (at >= 0 && at < done) buffer[static_cast<size_t>(at)] = 0;
    }
    sum = AddToChecksum(sum, buffer.data(), static_cast<size_t>(done), length % 2 == 1);
    length += done;
    done = File.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
  }
  if (done < 0) throw Exception("cannot read the file");
  if (int64_t{checksum_at} + 4 > length) throw Exception(kDamaged);
  uint8_t field[4];
  StoreLE32(field, sum + static_cast<uint32_t>(length));
  if (File.Seek(checksum_at, SeekOrigin::Beginning) != checksum_at || File.Write(field, 4) != 4) {
    throw Exception("cannot write the file");
  }
}

}  // namespace vornix

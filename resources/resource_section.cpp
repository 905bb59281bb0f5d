// Reading and writing the resource section's tree. Each directory is a 16-byte table header (the
// counts of named and of numbered entries in its last four bytes) followed by its 8-byte entries:
// an id (high bit set: the offset of a length-prefixed UTF-16 name) and a target (high bit set: the
// offset of a directory one level down; clear: the offset of a 16-byte data entry holding the
// data's RVA, its size and its code page). Offsets count from the section's start.
#include "resources/resource_section.h"

#include <algorithm>
#include <map>

#include "compression/unaligned.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

constexpr uint32_t kDirectorySize = 4 + 4 + 2 + 2 + 2 + 2;
constexpr uint32_t kDirectoryEntrySize = 4 + 4;
constexpr uint32_t kDataEntrySize = 4 + 4 + 4 + 4;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kDataAlignment = 8;
constexpr const char* kDamaged = "its resource section is damaged";

class TTreeReader {
 public:
  TTreeReader(const uint8_t* section, uint32_t size, uint32_t rva) : section_(section), size_(size), rva_(rva) {}

  void Walk(uint32_t offset, int level, Resource& path, std::vector<Resource>& out) {
    Need(offset, kDirectorySize);
    const uint32_t count = uint32_t{LoadLE16(section_ + offset + 12)} + LoadLE16(section_ + offset + 14);
    Need(offset + kDirectorySize, count * kDirectoryEntrySize);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entry = section_ + offset + kDirectorySize + i * kDirectoryEntrySize;
      const uint32_t id = LoadLE32(entry);
      const uint32_t target = LoadLE32(entry + 4);
      // Three levels: type, name, language; only the last points at data.
      if (((target & kHighBit) != 0) != (level < 2)) throw Exception(kDamaged);
      if (level == 0) path.Type = Id(id);
      if (level == 1) path.Name = Id(id);
      if (level < 2) {
        Walk(target & ~kHighBit, level + 1, path, out);
        continue;
      }
      if ((id & kHighBit) != 0) throw Exception(kDamaged);
      path.Language = static_cast<uint16_t>(id);
      Need(target, kDataEntrySize);
      const uint32_t data_rva = LoadLE32(section_ + target);
      const uint32_t data_size = LoadLE32(section_ + target + 4);
      if (data_rva < rva_) throw Exception(kDamaged);
      Need(data_rva - rva_, data_size);
      // Entries may share data; more than the section holds means a tree that loops back on itself.
      if (data_size > size_ - copied_) throw Exception(kDamaged);
      copied_ += data_size;
      path.CodePage = LoadLE32(section_ + target + 8);
      const uint8_t* data = section_ + (data_rva - rva_);
      path.Data.assign(data, data + data_size);
      out.push_back(path);
    }
  }

 private:
  // The count bytes at offset lie inside the section.
  void Need(uint32_t offset, uint32_t count) const {
    if (offset > size_ || count > size_ - offset) throw Exception(kDamaged);
  }

  ResourceId Id(uint32_t id) const {
    ResourceId result;
    if ((id & kHighBit) == 0) {
      if (id > 0xFFFF) throw Exception(kDamaged);
      result.Number = static_cast<uint16_t>(id);
      return result;
    }
    const uint32_t offset = id & ~kHighBit;
    Need(offset, 2);
    const uint32_t length = LoadLE16(section_ + offset);
    Need(offset + 2, 2 * length);
    if (length == 0) throw Exception(kDamaged);
    for (uint32_t i = 0; i < length; ++i) result.Text += static_cast<char16_t>(LoadLE16(section_ + offset + 2 + 2 * i));
    return result;
  }

  const uint8_t* section_;
  uint32_t size_;
  uint32_t rva_;
  uint32_t copied_ = 0;
};

// The order of a directory's entries: names first, by code unit, then numbers.
struct IdOrder {
  bool operator()(const ResourceId& a, const ResourceId& b) const {
    if (a.Text.empty() != b.Text.empty()) return !a.Text.empty();
    return a.Text.empty() ? a.Number < b.Number : a.Text < b.Text;
  }
};

using LanguageMap = std::map<uint16_t, const Resource*>;
using NameMap = std::map<ResourceId, LanguageMap, IdOrder>;
using TypeMap = std::map<ResourceId, NameMap, IdOrder>;

uint32_t DirectorySize(size_t entries) { return kDirectorySize + static_cast<uint32_t>(entries) * kDirectoryEntrySize; }

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

class TTreeWriter {
 public:
  TTreeWriter(const TypeMap& types, uint32_t rva) : types_(types), rva_(rva) {}

  std::vector<uint8_t> Write() {
    // Where each part begins: all directories, the names, the data entries, the data.
    uint32_t directories = DirectorySize(types_.size());
    uint32_t strings = 0;
    uint32_t resources = 0;
    for (const auto& type : types_) {
      directories += DirectorySize(type.second.size());
      strings += StringSize(type.first);
      for (const auto& name : type.second) {
        directories += DirectorySize(name.second.size());
        strings += StringSize(name.first);
        resources += static_cast<uint32_t>(name.second.size());
      }
    }
    next_directory_ = 0;
    next_string_ = directories;
    next_data_entry_ = AlignUp(directories + strings, 4);
    next_data_ = AlignUp(next_data_entry_ + resources * kDataEntrySize, kDataAlignment);

    const uint32_t root = Directory(types_.size());
    uint32_t slot = 0;
    for (const auto& type : types_) {
      const uint32_t names = Directory(type.second.size());
      Entry(root, slot++, type.first, names | kHighBit);
      uint32_t name_slot = 0;
      for (const auto& name : type.second) {
        const uint32_t languages = Directory(name.second.size());
        Entry(names, name_slot++, name.first, languages | kHighBit);
        uint32_t language_slot = 0;
        for (const auto& language : name.second) {
          ResourceId id;
          id.Number = language.first;
          Entry(languages, language_slot++, id, DataEntry(*language.second));
        }
      }
    }
    return std::move(out_);
  }

 private:
  static uint32_t StringSize(const ResourceId& id) {
    return id.Text.empty() ? 0 : 2 + 2 * static_cast<uint32_t>(id.Text.size());
  }

  // A directory with room for its entries; Entry counts each kind in its header as it fills them.
  uint32_t Directory(size_t entries) {
    const uint32_t at = next_directory_;
    next_directory_ += DirectorySize(entries);
    Grow(next_directory_);
    return at;
  }

  void Entry(uint32_t directory, uint32_t slot, const ResourceId& id, uint32_t target) {
    const bool named = !id.Text.empty();
    const uint32_t name = named ? String(id.Text) | kHighBit : id.Number;  // may grow out_
    uint8_t* count = &out_[directory + (named ? 12 : 14)];
    StoreLE16(count, static_cast<uint16_t>(LoadLE16(count) + 1));
    uint8_t* entry = &out_[directory + kDirectorySize + slot * kDirectoryEntrySize];
    StoreLE32(entry, name);
    StoreLE32(entry + 4, target);
  }

  uint32_t String(const std::u16string& text) {
    const uint32_t at = next_string_;
    next_string_ += 2 + 2 * static_cast<uint32_t>(text.size());
    Grow(next_string_);
    StoreLE16(&out_[at], static_cast<uint16_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) StoreLE16(&out_[at + 2 + 2 * i], text[i]);
    return at;
  }

  uint32_t DataEntry(const Resource& resource) {
    const uint32_t at = next_data_entry_;
    next_data_entry_ += kDataEntrySize;
    const uint32_t data = next_data_;
    next_data_ = AlignUp(data + static_cast<uint32_t>(resource.Data.size()), kDataAlignment);
    // Up to the next boundary, so that even empty data lies inside the section.
    Grow(next_data_);
    StoreLE32(&out_[at], rva_ + data);
    StoreLE32(&out_[at + 4], static_cast<uint32_t>(resource.Data.size()));
    StoreLE32(&out_[at + 8], resource.CodePage);
    std::copy(resource.Data.begin(), resource.Data.end(), out_.begin() + data);
    return at;
  }

  void Grow(uint32_t size) {
    if (out_.size() < size) out_.resize(size, 0);
  }

  const TypeMap& types_;
  uint32_t rva_;
  std::vector<uint8_t> out_;
  uint32_t next_directory_ = 0;
  uint32_t next_string_ = 0;
  uint32_t next_data_entry_ = 0;
  uint32_t next_data_ = 0;
};

}  // namespace

std::vector<Resource> ReadResourceSection(const uint8_t* Section, uint32_t Size, uint32_t SectionRva) {
  std::vector<Resource> resources;
  Resource path;
  TTreeReader(Section, Size, SectionRva).Walk(0, 0, path, resources);
  return resources;
}

std::vector<uint8_t> WriteResourceSection(const std::vector<Resource>& Resources, uint32_t SectionRva) {
  TypeMap types;
  for (const Resource& resource : Resources) types[resource.Type][resource.Name][resource.Language] = &resource;
  return TTreeWriter(types, SectionRva).Write();
}

}  // namespace vornix

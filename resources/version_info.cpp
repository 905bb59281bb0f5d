// The version resource is a tree of blocks, each one 32-bit aligned: its length in bytes (without
// the padding behind it), the length of its value (in bytes for binary values, in characters with
// the terminating zero for texts), its type (1 text, 0 binary), its key as a zero-ended UTF-16
// string, padding, the value, then its children.
#include "resources/version_info.h"

#include "compression/unaligned.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;           // VS_FFI_FILEFLAGSMASK
constexpr uint32_t kFileOs = 0x00040004;            // VOS_NT_WINDOWS32
constexpr uint32_t kFileTypeApplication = 1;        // VFT_APP
constexpr size_t kFixedSize = 13 * 4;               // VS_FIXEDFILEINFO
constexpr size_t kFixedOffset = 6 + 2 * 16 + 2;     // the block header, L"VS_VERSION_INFO", padding
constexpr uint32_t kUsEnglishUnicode = 0x04B00409;  // language 0x0409, code page 1200

using Bytes = std::vector<uint8_t>;

void Pad(Bytes& bytes) { bytes.resize((bytes.size() + 3) / 4 * 4, 0); }

void AppendText(Bytes& bytes, const std::u16string& text) {
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
}

Bytes Block(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t value_length,
            const std::vector<Bytes>& children = {}) {
  Bytes block(6, 0);
  AppendText(block, key);
  Pad(block);
  block.insert(block.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    Pad(block);
    block.insert(block.end(), child.begin(), child.end());
  }
  if (block.size() > 0xFFFF) throw Exception("the version information would pass 65535 bytes");
  StoreLE16(&block[0], static_cast<uint16_t>(block.size()));
  StoreLE16(&block[2], value_length);
  StoreLE16(&block[4], type);
  return block;
}

Bytes Text(const std::u16string& key, const std::u16string& value) {
  Bytes text;
  AppendText(text, value);
  if (value.size() >= 0xFFFF) throw Exception("the version information would pass 65535 bytes");
  return Block(key, 1, text, static_cast<uint16_t>(value.size() + 1));
}

Bytes FixedPart(const VersionNumbers& n) {
  const uint32_t high = uint32_t{n[0]} << 16 | n[1];
  const uint32_t low = uint32_t{n[2]} << 16 | n[3];
  const uint32_t fields[13] = {kFixedSignature, kFixedStructVersion,  high, low, high, low, kFileFlagsMask, 0,
                               kFileOs,         kFileTypeApplication, 0,    0,   0};
  Bytes fixed(kFixedSize);
  for (size_t i = 0; i < 13; ++i) StoreLE32(&fixed[4 * i], fields[i]);
  return fixed;
}

}  // namespace

std::vector<uint8_t> VersionResource(const VersionTexts& Texts) {
  std::vector<Bytes> strings = {Text(u"CompanyName", Texts.CompanyName),
                                Text(u"FileDescription", Texts.FileDescription), Text(u"FileVersion", Texts.Version)};
  if (!Texts.Copyright.empty()) strings.push_back(Text(u"LegalCopyright", Texts.Copyright));
  strings.push_back(Text(u"ProductName", Texts.ProductName));
  strings.push_back(Text(u"ProductVersion", Texts.Version));
  const Bytes table = Block(u"040904B0", 1, {}, 0, strings);
  Bytes translation(4);
  StoreLE32(translation.data(), kUsEnglishUnicode);
  const Bytes variables = Block(u"VarFileInfo", 1, {}, 0, {Block(u"Translation", 0, translation, 4)});
  return Block(u"VS_VERSION_INFO", 0, FixedPart(Texts.Numbers), kFixedSize,
               {Block(u"StringFileInfo", 1, {}, 0, {table}), variables});
}

bool FixedFileVersion(const std::vector<uint8_t>& Resource, VersionNumbers* Numbers) {
  if (Resource.size() < kFixedOffset + kFixedSize || LoadLE16(&Resource[2]) != kFixedSize ||
      LoadLE32(&Resource[kFixedOffset]) != kFixedSignature) {
    return false;
  }
  const uint32_t high = LoadLE32(&Resource[kFixedOffset + 8]);
  const uint32_t low = LoadLE32(&Resource[kFixedOffset + 12]);
  *Numbers = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high), static_cast<uint16_t>(low >> 16),
              static_cast<uint16_t>(low)};
  return true;
}

}  // namespace vornix

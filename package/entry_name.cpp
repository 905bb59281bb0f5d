// Entry names and paths: plain Windows file names that are no devices, joined by backslashes.
#include "package/entry_name.h"

#include "package/checksum.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace vornix {
namespace {

// Windows takes the part before the first dot, without trailing blanks, as the device name:
// "con.txt", "NUL.tar.gz" and "com1 .log" all open a device.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  base.erase(base.find_last_not_of(' ') + 1);
  base = FoldedPath(base);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$") {
    return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
  // Digits 0-9, and the superscripts one, two and three (0xB9, 0xB2, 0xB3 in code page 1252).
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return std::isdigit(digit) || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

std::string FoldedPath(const std::string& path) {
  std::string folded(path);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

const char* EntryNameProblem(const std::string& name) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it names a folder";
  if (name.size() > 255) return "it is longer than 255 bytes";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "it holds a control character";
    if (c == '\\' || c == '/' || c == ':') return "it holds a folder separator or a drive colon";
    if (std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos)
      return "it holds a character Windows does not allow in file names";
  }
  if (name.back() == '.' || name.back() == ' ') return "it ends in a dot or blank";
  if (IsDeviceName(name)) return "it names a device";
  // The unpacking keeps each entry's compressed stream in a file named like the entry with the
  // extension ".~~c": an entry of that extension would be overwritten and deleted by another's.
  if (name.size() >= 4 && FoldedPath(name.substr(name.size() - 4)) == ".~~C") return "it ends in .~~c";
  return nullptr;
}

const char* EntryPathProblem(const std::string& path) {
  if (path.find('\\') == std::string::npos) return EntryNameProblem(path);
  if (path.size() > kMaxPathLength) return "it is longer than 160 bytes, the most a path with folders holds";
  for (size_t start = 0;;) {
    const size_t end = std::min(path.find('\\', start), path.size());
    const std::string part = path.substr(start, end - start);
    if (part.empty()) return "it starts or ends with a backslash or holds two in a row";
    if (part == "." || part == "..") return "it holds a part . or ..";
    if (const char* problem = EntryNameProblem(part)) return problem;
    if (end == path.size()) return nullptr;
    start = end + 1;
  }
}

bool TFoldedPathSet::Insert(const std::string& path) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  std::string folded = FoldedPath(path);
  const size_t slot = Find(folded);
  if (used_[slot] != 0) return false;
  used_[slot] = 1;
  slots_[slot] = std::move(folded);
  ++count_;
  return true;
}

bool TFoldedPathSet::Contains(const std::string& path) const {
  return !slots_.empty() && used_[Find(FoldedPath(path))] != 0;
}

size_t TFoldedPathSet::Find(const std::string& folded) const {
  const size_t mask = slots_.size() - 1;
  size_t slot = TChecksum::Of(folded.data(), folded.size()) & mask;
  while (used_[slot] != 0 && slots_[slot] != folded) slot = (slot + 1) & mask;
  return slot;
}

void TFoldedPathSet::Grow() {
  std::vector<std::string> old_slots(slots_.empty() ? 16 : slots_.size() * 2);
  std::vector<uint8_t> old_used(old_slots.size(), 0);
  old_slots.swap(slots_);
  old_used.swap(used_);
  for (size_t i = 0; i < old_slots.size(); ++i) {
    if (old_used[i] == 0) continue;
    const size_t slot = Find(old_slots[i]);
    used_[slot] = 1;
    slots_[slot] = std::move(old_slots[i]);
  }
}

}  // namespace vornix

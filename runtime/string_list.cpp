// The string list's case-insensitive search.
#include "runtime/string_list.h"

namespace vornix {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

int TStringList::Add(std::string text) {
  items_.push_back(std::move(text));
  return Count() - 1;
}

int TStringList::IndexOf(const std::string& text) const {
  for (int i = 0; i < Count(); ++i) {
    if (EqualIgnoringCase(items_[static_cast<size_t>(i)], text)) return i;
  }
  return -1;
}

}  // namespace vornix

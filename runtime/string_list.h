// The string list: an ordered list of 8-bit strings. IndexOf compares ignoring ASCII case, as
// Windows file names and process paths are compared.
#pragma once

#include <string>
#include <vector>

namespace vornix {

class TStringList {
 public:
  int Add(std::string text);
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
  // Returns the index of the first item equal to text when case is ignored, or -1.
  int IndexOf(const std::string& text) const;

 private:
  std::vector<std::string> items_;
};

}  // namespace vornix

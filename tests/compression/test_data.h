// Inputs shared by the codec tests: text-like, binary-like and incompressible data, made the same
// way on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vornix::test {

using Bytes = std::vector<uint8_t>;

inline Bytes FromString(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline Bytes Hex(const std::string& text) {
  Bytes out;
  unsigned value = 0;
  int digits = 0;
  for (char c : text) {
    int nibble = c >= '0' && c <= '9'   ? c - '0'
                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                        : -1;
    if (nibble < 0) continue;
    value = value * 16 + static_cast<unsigned>(nibble);
    if (++digits == 2) {
      out.push_back(static_cast<uint8_t>(value));
      value = 0;
      digits = 0;
    }
  }
  return out;
}

// A reproducible mix: words from a small vocabulary, runs, counters and random bytes, so that
// every item kind of both coders (literals, short and long matches, runs, far offsets) occurs.
inline Bytes MixedData(size_t size, uint32_t seed = 1) {
  static const char* const kWords[] = {"the ", "package ",   "stub ",   "window ", "Quorrin ",   "installer ",
                                       "\r\n", "temporary ", "folder ", "vornix_", "0123456789", "; "};
  Bytes out;
  out.reserve(size);
  uint32_t state = seed;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  while (out.size() < size) {
    switch (next() % 8) {
      case 0:
        out.insert(out.end(), static_cast<size_t>(next() % 40 + 1), static_cast<uint8_t>(next()));
        break;
      case 1:
        for (int i = next() % 64; i > 0; --i) out.push_back(static_cast<uint8_t>(next()));
        break;
      case 2: {
        uint32_t v = next();
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        break;
      }
      default: {
        const char* word = kWords[next() % (sizeof kWords / sizeof kWords[0])];
        out.insert(out.end(), word, word + std::string(word).size());
      }
    }
  }
  out.resize(size);
  return out;
}

inline Bytes RandomData(size_t size, uint32_t seed = 7) {
  Bytes out(size);
  uint32_t state = seed;
  for (auto& b : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<uint8_t>(state);
  }
  return out;
}

}  // namespace vornix::test

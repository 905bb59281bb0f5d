// Byte sources and sinks over plain memory for the fuzz targets: a reader for the LZH coder that
// hands out a fixed buffer and then answers 0, and a writer that collects everything it is given.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vornix::fuzz {

class MemoryReader {
 public:
  MemoryReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  void Read(uint8_t* buffer, uint16_t count, uint16_t& delivered) {
    const size_t n = std::min<size_t>(count, size_ - position_);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    delivered = static_cast<uint16_t>(n);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

class MemoryWriter {
 public:
  void Write(const uint8_t* buffer, uint16_t count, uint16_t& written) {
    bytes.insert(bytes.end(), buffer, buffer + count);
    written = count;
  }

  std::vector<uint8_t> bytes;
};

}  // namespace vornix::fuzz

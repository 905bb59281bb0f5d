// The windows between the LZH coder and the container's input and output: what the coder's reader
// and writer do beyond their inline one-byte case. Kept apart from the file that binds the reader
// and writer, so that the compiler cannot inline this into them: their one-byte case then saves no
// registers.
#include <cstring>

#include "compression/lzrw1.h"
#include "compression/lzrw1_messages.h"

namespace vornix {

using namespace lzrw1_messages;

void Tlzrw1::ReadMany(uint8_t* dest, uint16_t count, uint16_t& delivered) {
  if (ReadPos <= ReadFill && ReadPos + count <= ReadFill + 1) {
    if (count != 0) std::memcpy(dest, ReadWindow + ReadPos - 1, count);
    ReadPos = static_cast<uint16_t>(ReadPos + count);
    delivered = count;
    return;
  }
  RefillAndRead(dest, count, delivered);
}

void Tlzrw1::WriteMany(const uint8_t* source, uint16_t count, uint16_t& written) {
  if (count != 0 && WritePos + count <= kWindowSize + 1) {
    std::memcpy(WriteWindow + WritePos - 1, source, count);
    WritePos = static_cast<uint16_t>(WritePos + count);
    written = count;
    return;
  }
  FlushAndWrite(source, count, written);
}

void Tlzrw1::RefillAndRead(uint8_t* dest, uint16_t count, uint16_t& delivered) {
  if (count > kWindowSize) count = kWindowSize;  // a window's worth at most; fewer count as delivered
  const int32_t remaining = ReadPos <= ReadFill ? ReadFill - ReadPos + 1 : 0;
  if (remaining > 0) std::memmove(ReadWindow, ReadWindow + ReadPos - 1, static_cast<size_t>(remaining));
  const int32_t got = ReadInput(ReadWindow + remaining, kWindowSize - remaining);
  if (got < 0) FailRead(kLzhSuffix);
  ReadFill = remaining + got;
  if (ReadFill == 0) {
    delivered = 0;
    return;
  }
  // Deliver what there is; only the available bytes count as delivered.
  const int32_t available = ReadFill < count ? ReadFill : count;
  std::memcpy(dest, ReadWindow, static_cast<size_t>(available));
  ReadPos = static_cast<uint16_t>(1 + count);
  delivered = static_cast<uint16_t>(available);
}

void Tlzrw1::FlushAndWrite(const uint8_t* source, uint16_t count, uint16_t& written) {
  const int32_t pending = WritePos - 1;
  const int32_t done = WriteOutput(WriteWindow, pending);
  CheckWrite(done, pending);
  BytesWritten += done;
  // The window is empty now, also after a flush: a second flush must not write its bytes again.
  WritePos = 1;
  if (count == 0) return;     // a flush leaves the out-parameter alone
  if (count > kWindowSize) {  // more than the window holds goes out directly
    const int32_t direct = WriteOutput(source, count);
    CheckWrite(direct, count);
    BytesWritten += direct;
    written = count;
    return;
  }
  std::memcpy(WriteWindow, source, count);
  WritePos = static_cast<uint16_t>(WritePos + count);
  written = count;
}

}  // namespace vornix

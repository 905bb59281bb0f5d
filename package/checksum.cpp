// XXH32 from xxHash, built into this unit alone (header-only).
#include "package/checksum.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <new>

namespace vornix {
namespace {

static_assert(sizeof(XXH32_state_t) <= 48, "TChecksum::state_ holds an XXH32_state_t");

XXH32_state_t* State(unsigned char* bytes) { return std::launder(reinterpret_cast<XXH32_state_t*>(bytes)); }

}  // namespace

TChecksum::TChecksum() {
  new (state_) XXH32_state_t;
  XXH32_reset(State(state_), 0);
}

void TChecksum::Add(const void* data, size_t count) {
  if (count > 0) XXH32_update(State(state_), data, count);
}

uint32_t TChecksum::Value() const { return XXH32_digest(State(const_cast<unsigned char*>(state_))); }

uint32_t TChecksum::Of(const void* data, size_t count) { return XXH32(data, count, 0); }

int32_t THashingStream::Write(const void* buffer, int32_t count) {
  const int32_t taken = target_.Write(buffer, count);
  if (taken > 0) {
    checksum_.Add(buffer, static_cast<size_t>(taken));
    written_ += taken;
  }
  return taken;
}

int64_t THashingStream::Seek(int64_t offset, SeekOrigin origin) { return SeekWhereWritten(written_, offset, origin); }

}  // namespace vornix

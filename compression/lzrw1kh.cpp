// The LZRW1/KH coder's state, apart from its block compressor, so that a program that only
// decompresses (the stub) does not carry the compressor.
#include <new>

#include "compression/lzrw1kh.h"

namespace vornix {
namespace {

const char kNoHashMemory[] = "LZRW1KH : no memory for HASH table";

}  // namespace

TLZR::TLZR() : HashTable(new (std::nothrow) int16_t[kLzrHashSize]) {
  if (!HashTable) throw ELzrw1KHCompressor(kNoHashMemory);
}

}  // namespace vornix

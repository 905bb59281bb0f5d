// The stubs the vornix program carries (built with it), for packages made without --stub: the
// 32-bit one ("x86", the default, which runs on every Windows) and the 64-bit one ("x64").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vornix::tools {

struct StubBytes {
  const uint8_t* Data;
  size_t Size;
};

// The stub for Arch ("x86" or "x64"); {nullptr, 0} when the program was built without it.
StubBytes EmbeddedStub(const std::string& Arch);

}  // namespace vornix::tools

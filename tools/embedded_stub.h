// The stub the vornix program carries (built with it), for packages made without --stub.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vornix::tools {

// The stub's bytes and length; nullptr and 0 when the program was built without one.
const uint8_t* EmbeddedStub();
size_t EmbeddedStubSize();

}  // namespace vornix::tools

// The hidden thread window's lifetime: created with the first thread object, destroyed (by its own
// thread) after the last one.
#pragma once

namespace vornix {

void AttachThreadWindow();
void DetachThreadWindow();

}  // namespace vornix

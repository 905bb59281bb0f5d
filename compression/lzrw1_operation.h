// What every operation of the container does on its way out, normally or by a failure: close the
// files it opened and free its buffers. Internal to the container.
#pragma once

#include "compression/lzrw1.h"

namespace vornix {

class Tlzrw1::OperationGuard {
 public:
  explicit OperationGuard(Tlzrw1& owner) : owner_(owner) {}
  OperationGuard(const OperationGuard&) = delete;
  OperationGuard& operator=(const OperationGuard&) = delete;
  ~OperationGuard() {
    if (owner_.InHandle > 0) FileClose(owner_.InHandle);
    if (owner_.OutHandle > 0) FileClose(owner_.OutHandle);
    owner_.InHandle = 0;
    owner_.OutHandle = 0;
    owner_.ReadWindow = nullptr;
    owner_.WriteWindow = nullptr;
    owner_.InBuffer.reset();
    owner_.OutBuffer.reset();
  }

 private:
  Tlzrw1& owner_;
};

}  // namespace vornix

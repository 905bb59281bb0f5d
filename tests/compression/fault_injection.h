// Faults the failure tests switch on: an allocation of one chosen size fails, reads or writes on
// files fail, or the n-th next file open fails. fault_injection.cpp puts them in place by standing
// in for the nothrow allocation operators and for open, read and write in this test program only.
#pragma once

#include <cstddef>

namespace vornix::fault {

extern size_t failing_allocation_size;  // 0: none
extern bool fail_file_reads;
extern bool fail_file_writes;
extern int opens_before_failure;  // -1: none; 0: the next open fails

// Switches every fault off again when a test ends.
struct Reset {
  ~Reset() {
    failing_allocation_size = 0;
    fail_file_reads = false;
    fail_file_writes = false;
    opens_before_failure = -1;
  }
};

}  // namespace vornix::fault

// The start-up and shutdown of the system's own units, in one place for the program entry. The
// units start in a fixed order, in the main thread before any window exists, and shut down in the
// reverse order; nothing depends on the order of static initialisation.
#pragma once

namespace vornix {

// Starts the units: first the DLL search is restricted to the system directory, then qnlist (nothing
// to do), qnthreads (main thread, priority class, sleep queue and thread window), the codecs and the
// container (nothing to do), hprocess (the process library; may show a warning box).
void StartUnits();
// Shuts them down in reverse: hprocess releases its library, qnthreads asks the sleep queue to stop.
void StopUnits();

// Starts the units for the lifetime of the program entry's scope, and stops them also when the
// entry leaves by an exception.
class UnitLifetime {
 public:
  UnitLifetime() { StartUnits(); }
  ~UnitLifetime() { StopUnits(); }
  UnitLifetime(const UnitLifetime&) = delete;
  UnitLifetime& operator=(const UnitLifetime&) = delete;
};

}  // namespace vornix

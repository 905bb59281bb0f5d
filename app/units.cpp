// The order of the unit start-ups and shutdowns.
#include "app/units.h"

#include "process/hprocess.h"
#include "threads/qnthreads.h"

namespace vornix {

void StartUnits() {
  RestrictDllSearch();  // before anything, user32's window creation included, loads a library
  // qnlist: nothing to start.
  InitializeQnThreads();
  // The codecs and the container: nothing to start.
  LoadProcessApi();
}

void StopUnits() {
  FinalizeHProcess();
  FinalizeQnThreads();
}

}  // namespace vornix

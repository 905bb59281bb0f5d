// The stub's program entry: the unit start-ups, the application object with its title, the main
// window and the message loop. The exit code tells a script how the run went (StubExit).
#include <windows.h>

#include "app/frm_main.h"
#include "app/units.h"
#include "runtime/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace vornix;
  try {
    UnitLifetime units;
    Application.Initialize();
    Application.Title = "Quorrin Vornix 1.0";
    TMainForm form;
    if (!form.Created()) return Application.ExitCode();
    Application.Run(form.Handle);
    if (!form.RunOver()) Application.Fail(StubExit::ClosedEarly);
    // The window was closed while the worker runs: end here, without the unit shutdowns, which
    // would release the process library and the sleep queue under the worker's feet.
    if (form.WorkerRunning()) ExitProcess(static_cast<UINT>(Application.ExitCode()));
  } catch (...) {
    Application.Fail(StubExit::PackageUnreadable);
  }
  return Application.ExitCode();
}

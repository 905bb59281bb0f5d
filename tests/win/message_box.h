// Finds the message boxes a program shows, reads them and answers them, as a user would. A box is
// a top-level window of the dialog class "#32770"; its text is the static control 0xFFFF.
#pragma once

#include <windows.h>

#include <string>

namespace vornix {

struct MessageBoxSeen {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  LONG ex_style = 0;
};

// The first top-level window of the process whose class is class_name (and that is visible, when
// visible_only is set), or nullptr.
HWND FindProcessWindow(DWORD process, const std::string& class_name, bool visible_only);

// Waits up to limit_ms for a visible message box of the process (this one by default) and reads it.
MessageBoxSeen WaitForMessageBox(DWORD limit_ms, DWORD process = GetCurrentProcessId());
// Presses the button id (IDOK by default) of the box.
void AnswerMessageBox(HWND box, WPARAM id = IDOK);

}  // namespace vornix

// The message-box watcher of the Windows tests.
#include "tests/win/message_box.h"

namespace vornix {
namespace {

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (std::string(class_name) == "#32770" && process == GetCurrentProcessId() && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

MessageBoxSeen WaitForMessageBox(DWORD limit_ms) {
  MessageBoxSeen seen;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < limit_ms) {
    HWND box = nullptr;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
    if (box != nullptr) {
      seen.window = box;
      seen.caption = WindowText(box);
      seen.text = WindowText(GetDlgItem(box, 0xFFFF));
      seen.ex_style = GetWindowLongA(box, GWL_EXSTYLE);
      return seen;
    }
    Sleep(20);
  }
  return seen;
}

void AnswerMessageBox(HWND box, WPARAM id) { PostMessageA(box, WM_COMMAND, id, 0); }

}  // namespace vornix

// The message-box watcher of the Windows tests.
#include "tests/win/message_box.h"

namespace vornix {
namespace {

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct BoxSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM search_address) {
  auto* search = reinterpret_cast<BoxSearch*>(search_address);
  char class_name[16] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (std::string(class_name) == "#32770" && process == search->process && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

MessageBoxSeen WaitForMessageBox(DWORD limit_ms, DWORD process) {
  MessageBoxSeen seen;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < limit_ms) {
    BoxSearch search = {process, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    HWND box = search.found;
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

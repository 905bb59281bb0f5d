// The message-box watcher of the Windows tests.
#include "tests/win/message_box.h"

namespace vornix {
namespace {

std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct WindowSearch {
  DWORD process;
  const std::string* class_name;
  bool visible_only;
  HWND found;
};

BOOL CALLBACK FindWindowOfProcess(HWND window, LPARAM search_address) {
  auto* search = reinterpret_cast<WindowSearch*>(search_address);
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && *search->class_name == class_name &&
      (!search->visible_only || IsWindowVisible(window))) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindProcessWindow(DWORD process, const std::string& class_name, bool visible_only) {
  WindowSearch search = {process, &class_name, visible_only, nullptr};
  EnumWindows(FindWindowOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

MessageBoxSeen WaitForMessageBox(DWORD limit_ms, DWORD process) {
  MessageBoxSeen seen;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < limit_ms) {
    HWND box = FindProcessWindow(process, "#32770", true);
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

// The demo package's "installer": a small window that shows the package's readme (unpacked beside
// it, in its working folder), pretends to install for a few seconds with a progress bar, writes a
// log to %TEMP%\vornix-demo.log saying where it ran and what it found, and closes itself.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <string>

namespace {

constexpr UINT_PTR kStepTimer = 1;
constexpr int kSteps = 30;  // of 100 ms each
HWND progress_bar = nullptr;
int steps_done = 0;

std::string ReadReadme() {
  HANDLE file = CreateFileA("readme.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(readme.txt was not found beside the installer)";
  char buffer[4096] = {};
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer - 1, &got, nullptr);
  CloseHandle(file);
  return std::string(buffer, got);
}

void WriteLog(const std::string& readme) {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string log = std::string("installer: ") + self + "\r\nworking folder: " + folder +
                          "\r\nreadme.txt: " + std::to_string(readme.size()) + " bytes\r\n";
  HANDLE file = CreateFileA((std::string(temp) + "vornix-demo.log").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, log.data(), static_cast<DWORD>(log.size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      SendMessageA(progress_bar, PBM_SETPOS, static_cast<WPARAM>(++steps_done * 100 / kSteps), 0);
      if (steps_done == kSteps) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const std::string readme = ReadReadme();
  WriteLog(readme);

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "VornixDemoInstaller";
  RegisterClassA(&window_class);
  HWND window =
      CreateWindowExA(0, "VornixDemoInstaller", "Vornix demo installer", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 200,
                      120, 420, 300, nullptr, nullptr, instance, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND text = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", readme.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 12, 12, 388, 200, window,
                              nullptr, instance, nullptr);
  SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  progress_bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 12, 224, 388, 20, window, nullptr,
                                 instance, nullptr);
  ShowWindow(window, show);
  SetTimer(window, kStepTimer, 100, nullptr);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

// The application object.
#include "runtime/application.h"

#include "runtime/ansi_path_win32.h"

namespace vornix {

TApplication Application;

void TApplication::Initialize() { ExeName = ModuleFileNameAnsi(); }

void TApplication::Run(HWND main_window) {
  ShowWindow(main_window, SW_SHOWNORMAL);
  UpdateWindow(main_window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Terminated = true;
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::ShowError(const std::string& text) const {
  MessageBoxA(nullptr, text.c_str(), Title.c_str(), kErrorBoxStyle);
}

void TApplication::Fail(StubExit failure) {
  if (exit_ == StubExit::Done) exit_ = failure;
}

}  // namespace vornix

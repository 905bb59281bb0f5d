// The main window: layout, fonts and handlers.
#include "app/frm_main.h"

#include <commctrl.h>  // needs windows.h before it

#include "runtime/application.h"
#include "unpack/unpack.h"

namespace vornix {
namespace {

constexpr char kWindowClass[] = "TMainForm";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 2000;
// The client area; every control position below is in client pixels.
constexpr int kClientWidth = 316;
constexpr int kClientHeight = 208;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Messages are answered at least this often while the unpacking goes on.
constexpr DWORD kAnswerIntervalMs = 40;
// The bar counts in thousandths, which every version of the control holds.
constexpr int kProgressSteps = 1000;

HFONT MakeFont(int height, int weight) {
  return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

}  // namespace

TMainForm::TMainForm() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = &TMainForm::WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, "MAINICON");
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  RegisterClassA(&window_class);

  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  Handle = CreateWindowExA(0, kWindowClass, Application.Title.c_str(), kWindowStyle, left, top, width, height, nullptr,
                           nullptr, instance, this);
  small_icon_ = static_cast<HICON>(LoadImageA(instance, "MAINICON", IMAGE_ICON, 16, 16, 0));
  if (small_icon_ != nullptr) SendMessageA(Handle, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
  window_font_ = MakeFont(-11, FW_NORMAL);
  bold_font_ = MakeFont(-13, FW_BOLD);
  SendMessageA(Handle, WM_SETFONT, reinterpret_cast<WPARAM>(window_font_), FALSE);
  CreateControls();
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
  if (Handle != nullptr) DestroyWindow(Handle);
  DeleteObject(window_font_);
  DeleteObject(bold_font_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
}

// Controls in their tab order: the note first (tab order 0), so that it takes the focus.
void TMainForm::CreateControls() {
  constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  Note = AddControl("EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_LEFT, kNoteId, 24, 72,
                    265, 109, window_font_);
  SendMessageA(Note, EM_SETLIMITTEXT, 256, 0);
  Bevel1 = AddControl("STATIC", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, kBevel1Id, 24, 48, 265, 9, nullptr);
  Label1 = AddControl("STATIC", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_NOPREFIX, kLabel1Id, 0, kClientHeight - 13,
                      kClientWidth, 13, window_font_);
  SetWindowTextA(Label1, frm_main_messages::kLabel1);
  Label3 = AddControl("STATIC", kLabel, kLabel3Id, 168, 36, 0, 16, bold_font_);
  Label4 = AddControl("STATIC", kLabel, kLabel4Id, 24, 12, 0, 16, bold_font_);
  Label5 = AddControl("STATIC", kLabel, kLabel5Id, 148, 37, 11, 13, window_font_);
  SetWindowTextA(Label5, "by");
}

HWND TMainForm::AddControl(const char* window_class, DWORD style, int id, int left, int top, int width, int height,
                           HFONT font) {
  HWND control = CreateWindowExA(0, window_class, "", style, left, top, width, height, Handle,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (font != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

// A label sized to its text in its own font, keeping its position and height.
void TMainForm::SetAutoSizedText(HWND label, const std::string& text) {
  SetWindowTextA(label, text.c_str());
  HDC context = GetDC(label);
  HGDIOBJ previous = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
  RECT extent = {0, 0, 0, 0};
  DrawTextA(context, text.c_str(), static_cast<int>(text.size()), &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(context, previous);
  ReleaseDC(label, context);
  RECT place;
  GetWindowRect(label, &place);
  MapWindowPoints(nullptr, Handle, reinterpret_cast<POINT*>(&place), 2);
  MoveWindow(label, place.left, place.top, extent.right - extent.left, place.bottom - place.top, FALSE);
}

void TMainForm::FormCreate() {
  try {
    PackageStream = std::make_unique<TFileStream>(Application.ExeName, TFileStream::Mode::OpenReadShared);
    ReadPackageHeader(Header, *PackageStream);
    ReadEntryTable(Header, *PackageStream);
    // Nothing is unpacked from a package whose header, table or names are not the ones written.
    Checks = ReadPackageChecks(Header, *PackageStream);
    if (!Checks.Problem.empty()) throw Exception(Checks.Problem);
    SetAutoSizedText(Label4, Header.Title);
    SetAutoSizedText(Label3, Header.Publisher);
    SetWindowTextA(Note, NoteWithCrLf(Header.NoteText).c_str());
    SetTimer(Handle, kTimer1, kTimer1Interval, nullptr);
    created_ = true;
  } catch (...) {
    // The failure's own text ("Invalid Version", a read error) means nothing to the user.
    Application.ShowError(frm_main_messages::kCorruptPackage);
    Application.Fail(StubExit::PackageUnreadable);
    Application.Terminate();
  }
}

void TMainForm::FormDestroy() { PackageStream.reset(); }

void TMainForm::Timer1Timer() {
  KillTimer(Handle, kTimer1);
  stage_ = Stage::Unpacking;
  // Below the note, above the bottom line: it takes no other control's place.
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  Progress = AddControl(PROGRESS_CLASSA, WS_CHILD | WS_VISIBLE, kProgressId, 24, 184, 265, 9, nullptr);
  SendMessageA(Progress, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressSteps));
  last_answer_ = GetTickCount();
  const UnpackResult result =
      UnpackPackage(Header, *PackageStream, Checks, TExeDone::Bind<&TMainForm::ExeThreadDone>(this),
                    TUnpackProgress::Bind<&TMainForm::UnpackHeadway>(this));
  // Closed while unpacking: everything unpacked is gone; now the window goes, and the run ends.
  if (result == UnpackResult::Cancelled) {
    if (Handle != nullptr) DestroyWindow(Handle);
    return;
  }
  SendMessageA(Progress, PBM_SETPOS, kProgressSteps, 0);
  if (result == UnpackResult::NoTempFolder) Application.Fail(StubExit::NoTempFolder);
  if (result == UnpackResult::EntryFailed || result == UnpackResult::Withdrawn) Application.Fail(StubExit::EntryFailed);
  if (result == UnpackResult::Withdrawn) {
    stage_ = Stage::Over;
    Application.Terminate();
    return;
  }
  stage_ = result != UnpackResult::NoTempFolder && Header.RunRequested() ? Stage::Running : Stage::Over;
}

bool TMainForm::UnpackHeadway(int64_t Done, int64_t Total) {
  // The bar too is moved only this often: each move repaints it, which costs more than the bytes.
  if (GetTickCount() - last_answer_ < kAnswerIntervalMs) return !closed_;
  // In floating point: a 64-bit division would bring the runtime's division routines into the stub.
  const int position =
      Total > 0 ? static_cast<int>(static_cast<double>(Done) * kProgressSteps / static_cast<double>(Total)) : 0;
  if (position != shown_position_ && !closed_) {
    SendMessageA(Progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    shown_position_ = position;
  }
  MSG message;
  while (!closed_ && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The window is gone; the loop in Application.Run takes the quit message again.
      closed_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  last_answer_ = GetTickCount();
  return !closed_;
}

void TMainForm::ExeThreadDone(int32_t Code, uint32_t ExitCode) {
  if (Code != 1) Application.Fail(StubExit::ProgramNotStarted);
  if (Code == 1) Application.ProgramEnded(ExitCode);
  stage_ = Stage::Over;
  Application.Terminate();
}

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TMainForm*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->Handle = window;
  }
  auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  // Nothing may unwind into Windows' frames.
  try {
    return form->HandleMessage(message, wparam, lparam);
  } catch (...) {
    return 0;
  }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimer1) Timer1Timer();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) SetFocus(Note);
      return 0;
    case WM_DRAWITEM: {
      // Bevel1 draws only its bottom edge: a lowered line.
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
      FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(item->hDC, &item->rcItem, EDGE_ETCHED, BF_BOTTOM);
      return TRUE;
    }
    case WM_CLOSE:
      // Closed while unpacking: the unpacking stops at its next piece and removes what it unpacked
      // before the window is destroyed, which may take a while (Wine without a window manager waits
      // 2 s for the window to go).
      if (stage_ == Stage::Unpacking) {
        closed_ = true;
        return 0;
      }
      return DefWindowProcA(Handle, message, wparam, lparam);
    case WM_DESTROY:
      SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
      Handle = nullptr;
      Application.Terminate();
      return 0;
    default:
      return DefWindowProcA(Handle, message, wparam, lparam);
  }
}

}  // namespace vornix

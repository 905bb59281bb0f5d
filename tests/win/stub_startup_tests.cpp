// The stub's start-up, end to end: a damaged package is refused with its box before any window
// shows; the main window is read back through Win32 (frame, controls, fonts, texts, icon, a kept
// screenshot); the two-second timer unpacks once; closing early ends with 5; the unpack folder is
// found or refused under the temporary directory; and the boxes carry their modality and buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// What the user reads, written out here and not taken from the product.
constexpr char kAppTitle[] = "Quorrin Vornix 1.0";
constexpr char kWarningCaption[] = "Quorrin Vornix";
constexpr char kCorruptText[] =
    "     This file could not be unpacked.\r\r     It has corrupt data and can not be fixed.  Please download\r"
    "the file again.  If this error persists, please contact the program\rvendor for a fresh distribution "
    "package.\r\r";
constexpr char kNoTempPathText[] = "Could not create temporary path!";
constexpr char kCreateFileStart[] = "     Could not create file \"";
constexpr char kCreateFileEnd[] =
    "\".\r     This package could not be unpacked.  Please make sure that\ryou have downloaded the complete "
    "package and that you have enough free\rspace on the disk drive where your Windows is installed.";
constexpr char kLabel1Text[] = "Quorrin Vornix 1.0  (c) 2026 the Vornix developers  ";

// The package starts behind the padded stub; its header is 12 bytes.
constexpr size_t kPackageOffset = 339968;
constexpr size_t kHeaderSize = 12;
constexpr uint8_t kRunAfterUnpack = 1;

// The main window's control ids.
constexpr int kNoteId = 1;
constexpr int kBevel1Id = 2;
constexpr int kLabel1Id = 3;
constexpr int kLabel3Id = 4;
constexpr int kLabel4Id = 5;
constexpr int kLabel5Id = 6;

std::vector<uint8_t> BareStub() { return ReadWholeFile(TestProgramFolder() + "vornix_stub.exe"); }
std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }
std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
StubFile MarkerProgram() { return {"marker.exe", PayloadProgram(), 1}; }

// The first line the payload wrote: the path it ran from.
std::string ProgramSeen(const std::string& marker) {
  const std::string seen = Text(ReadWholeFile(marker));
  return seen.substr(0, seen.find('\n'));
}

// A window's text as the window itself gives it: GetWindowText would read another process's edit
// control as empty.
std::string WindowText(HWND window) {
  char text[1024] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// A window's place in its parent's client pixels.
RECT PlaceInParent(HWND window) {
  RECT place;
  GetWindowRect(window, &place);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

bool ProgramRunning(const char* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
    found = lstrcmpiA(entry.szExeFile, name) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

// Waits up to limit_ms for condition to hold. Changes of names or contents under folder wake the
// wait; the short bound on each wait covers a platform that misses a notification.
bool WaitForChange(const std::string& folder, const std::function<bool()>& condition, DWORD limit_ms) {
  HANDLE change = FindFirstChangeNotificationA(
      folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  const DWORD start = GetTickCount();
  bool held = condition();
  while (!held && GetTickCount() - start < limit_ms) {
    if (change == INVALID_HANDLE_VALUE) {
      Sleep(50);
    } else if (WaitForSingleObject(change, 200) == WAIT_OBJECT_0) {
      FindNextChangeNotification(change);
    }
    held = condition();
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  return held;
}

// Waits up to limit_ms for condition to hold, looking every 20 ms: windows coming and going and
// processes starting have no handle of their own to wait for.
bool Eventually(const std::function<bool()>& condition, DWORD limit_ms) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= limit_ms) return false;
    Sleep(20);
  }
  return true;
}

// A started stub. A test that fails half-way ends it on the way out, so that no window or box of
// one case is left over for the next.
class RunningStub {
 public:
  RunningStub(const StubCase& stub, PROCESS_INFORMATION process) : stub_(stub), process_(process) {
    DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &own_handle_, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  }
  explicit RunningStub(const StubCase& stub) : RunningStub(stub, stub.Start()) {}
  ~RunningStub() {
    if (!watched_) {
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (WaitForSingleObject(own_handle_, 0) == WAIT_TIMEOUT) {
      TerminateProcess(own_handle_, 99);
      WaitForSingleObject(own_handle_, 5000);
    }
    CloseHandle(own_handle_);
  }
  RunningStub(const RunningStub&) = delete;
  RunningStub& operator=(const RunningStub&) = delete;

  DWORD Id() const { return process_.dwProcessId; }
  HANDLE Handle() const { return own_handle_; }
  HWND MainWindow() const { return WaitForMainWindow(process_.dwProcessId, 10000); }
  // Answers the boxes until the stub ends; see StubCase::Watch.
  StubRun Watch(DWORD limit_ms = 30000, const std::function<void(const MessageBoxSeen&)>& on_box = nullptr) {
    watched_ = true;
    return stub_.Watch(process_, limit_ms, on_box);
  }

 private:
  const StubCase& stub_;
  PROCESS_INFORMATION process_;
  HANDLE own_handle_ = nullptr;
  bool watched_ = false;
};

// One of several stubs started together, each with its own case folders.
struct StartedCase {
  std::unique_ptr<StubCase> stub;
  std::unique_ptr<RunningStub> running;  // declared second: ends before its case goes
};

// Waits for a stub's next box, lets check read it while it shows, and answers it. Without a window
// manager Wine takes about two seconds to hide a window, so the boxes of stubs started together are
// answered first and their ends waited for afterwards, when those seconds overlap.
MessageBoxSeen AnswerNextBox(const RunningStub& running, const std::function<void(const MessageBoxSeen&)>& check) {
  const MessageBoxSeen box = WaitForMessageBox(15000, running.Id());
  if (box.window != nullptr) {
    check(box);
    AnswerMessageBox(box.window);
  }
  return box;
}

// The folder that holds folder; both end in a backslash.
std::string ParentFolder(const std::string& folder) {
  return folder.substr(0, folder.find_last_of('\\', folder.size() - 2) + 1);
}

// Pixels as 0x00RRGGBB, top row first. Outside the picture (a window that moved) everything is black.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty()) return 0;
    return pixels[static_cast<size_t>(y) * width + x];
  }
};

uint32_t PixelOf(COLORREF colour) { return GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour); }

// What draw paints into a 32-bit picture of the given size.
Picture Paint(int width, int height, const std::function<void(HDC)>& draw) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    draw(memory);
    GdiFlush();
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) picture.pixels.push_back(pixels[i] & 0xFFFFFF);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

Picture CaptureScreen(const RECT& area) {
  return Paint(area.right - area.left, area.bottom - area.top, [&](HDC target) {
    HDC screen = GetDC(nullptr);
    BitBlt(target, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

// The window as it shows once painting has settled: repainted now, then captured until two
// captures in a row agree (Wine hands the painted pixels to the display a little later).
Picture CaptureSettled(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT area;
  GetWindowRect(window, &area);
  Picture last = CaptureScreen(area);
  for (int i = 0; i < 40; ++i) {
    Sleep(50);
    Picture next = CaptureScreen(area);
    if (next.pixels == last.pixels) break;
    last = next;
  }
  return last;
}

// A 32-bit top-down .bmp file.
void SaveBitmap(const Picture& picture, const std::string& path) {
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  const DWORD pixel_bytes = static_cast<DWORD>(picture.pixels.size() * 4);
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + pixel_bytes;
  info.biSize = sizeof info;
  info.biWidth = picture.width;
  info.biHeight = -picture.height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  std::vector<uint8_t> bytes(file.bfSize);
  std::memcpy(bytes.data(), &file, sizeof file);
  std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
  std::memcpy(bytes.data() + file.bfOffBits, picture.pixels.data(), pixel_bytes);
  WriteWholeFile(path, bytes);
}

// A font as the layout names them: "MS Sans Serif" at a pixel height, normal or bold.
class Font {
 public:
  Font(int height, int weight)
      : handle_(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif")) {}
  ~Font() { DeleteObject(handle_); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  int Width(const std::string& text) const {
    SIZE extent = {0, 0};
    Measure([&](HDC context) { GetTextExtentPoint32A(context, text.c_str(), static_cast<int>(text.size()), &extent); });
    return extent.cx;
  }
  int LineHeight() const {
    TEXTMETRICA metrics = {};
    Measure([&](HDC context) { GetTextMetricsA(context, &metrics); });
    return metrics.tmHeight;
  }
  // text drawn as a label in this font: black on the button face, in a box of the given size.
  Picture Label(const std::string& text, int width, int height, UINT alignment) const {
    return Paint(width, height, [&](HDC target) {
      RECT area = {0, 0, width, height};
      FillRect(target, &area, GetSysColorBrush(COLOR_BTNFACE));
      SetBkColor(target, GetSysColor(COLOR_BTNFACE));
      SetTextColor(target, GetSysColor(COLOR_WINDOWTEXT));
      HGDIOBJ previous = SelectObject(target, handle_);
      DrawTextA(target, text.c_str(), -1, &area, alignment | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(target, previous);
    });
  }

 private:
  void Measure(const std::function<void(HDC)>& measure) const {
    HDC context = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(context, handle_);
    measure(context);
    SelectObject(context, previous);
    ReleaseDC(nullptr, context);
  }

  HFONT handle_;
};

// The part of picture that shows window (a child of the captured top-level window).
Picture Crop(const Picture& picture, HWND top_level, HWND window) {
  RECT outer;
  RECT inner;
  GetWindowRect(top_level, &outer);
  GetWindowRect(window, &inner);
  Picture part;
  part.width = inner.right - inner.left;
  part.height = inner.bottom - inner.top;
  for (int y = 0; y < part.height; ++y) {
    for (int x = 0; x < part.width; ++x) {
      part.pixels.push_back(picture.At(inner.left - outer.left + x, inner.top - outer.top + y));
    }
  }
  return part;
}

// The static of a message box that shows its icon.
HWND IconOf(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

// Whether the box shows the system icon which: the static's pixels against the icon drawn here at
// the static's size over the static's corner pixel, which the icon leaves transparent.
bool BoxShowsIcon(const MessageBoxSeen& box, LPCSTR which) {
  HWND icon = IconOf(box.window);
  if (icon == nullptr) return false;
  const Picture shown = Crop(CaptureSettled(box.window), box.window, icon);
  if (shown.pixels.empty()) return false;
  const HBRUSH background =
      CreateSolidBrush(RGB(shown.At(0, 0) >> 16, shown.At(0, 0) >> 8 & 0xFF, shown.At(0, 0) & 0xFF));
  const Picture expected = Paint(shown.width, shown.height, [&](HDC target) {
    RECT area = {0, 0, shown.width, shown.height};
    FillRect(target, &area, background);
    DrawIconEx(target, 0, 0, LoadIconA(nullptr, which), shown.width, shown.height, 0, nullptr, DI_NORMAL);
  });
  DeleteObject(background);
  return shown.pixels == expected.pixels;
}

// Wine 8 gives MB_TOPMOST boxes no WS_EX_TOPMOST (only MB_SYSTEMMODAL ones get it), so there the flag
// cannot be seen from outside. Found out once with a box of this program's own.
DWORD WINAPI ShowTopmostBox(LPVOID) {
  MessageBoxA(nullptr, "Does this box stay on top?", "Topmost probe", MB_OK | MB_TOPMOST);
  return 0;
}

bool PlatformShowsTopmostBoxes() {
  static const bool shows = [] {
    HANDLE thread = CreateThread(nullptr, 0, ShowTopmostBox, nullptr, 0, nullptr);
    const MessageBoxSeen box = WaitForMessageBox(10000);
    // The thread ends in its own time: hiding the box takes Wine a while.
    if (box.window != nullptr) AnswerMessageBox(box.window);
    CloseHandle(thread);
    return (box.ex_style & WS_EX_TOPMOST) != 0;
  }();
  return shows;
}

// The could-not-create-the-folder warning: its texts, OK alone, on top of everything.
void ExpectNoTempPathWarning(const MessageBoxSeen& box) {
  EXPECT_EQ(kWarningCaption, box.caption);
  EXPECT_EQ(kNoTempPathText, box.text);
  EXPECT_EQ(std::vector<int>{IDOK}, LookAtMessageBox(box.window).buttons);
  EXPECT_NE(0, box.ex_style & WS_EX_TOPMOST);
}

// ---------------------------------------------------------------------------------------------
// Packages the stub cannot read.

std::vector<uint8_t> ReadablePackage() {
  return BuildPackage("Title", "Publisher", "A note", 0, kRunAfterUnpack, {MarkerProgram()});
}

std::vector<uint8_t> CutAt(size_t length) {
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes.resize(length);
  return bytes;
}

std::vector<uint8_t> WithVersion(uint8_t low, uint8_t high) {
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes[kPackageOffset] = low;
  bytes[kPackageOffset + 1] = high;
  return bytes;
}

struct UnreadableCase {
  const char* name;
  std::function<std::vector<uint8_t>()> bytes;
};

// The texts follow the header: publisher (9 bytes), title (5), note (6).
const UnreadableCase kUnreadableCases[] = {
    {"BareStub", BareStub},
    {"ElevenHeaderBytes", [] { return CutAt(kPackageOffset + kHeaderSize - 1); }},
    {"Version2", [] { return WithVersion(2, 0); }},
    {"Version257", [] { return WithVersion(1, 1); }},
    {"EndsInsideThePublisher", [] { return CutAt(kPackageOffset + kHeaderSize + 4); }},
    {"EndsInsideTheTitle", [] { return CutAt(kPackageOffset + kHeaderSize + 9 + 2); }},
    {"EndsInsideTheNote", [] { return CutAt(kPackageOffset + kHeaderSize + 9 + 5 + 5); }},
};

// Started together: each stub waits in its box, and their ends overlap.
TEST(StubUnreadable, ShowsTheCorruptBoxWithoutWindowAndEndsWithOne) {
  std::vector<StartedCase> started;
  for (const UnreadableCase& unreadable : kUnreadableCases) {
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("unreadable ") + unreadable.name);
    one.stub->WritePackage(unreadable.bytes());
    one.running = std::make_unique<RunningStub>(*one.stub);
    started.push_back(std::move(one));
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kUnreadableCases[i].name);
    const RunningStub& running = *started[i].running;
    const MessageBoxSeen box = AnswerNextBox(running, [&](const MessageBoxSeen& shown) {
      EXPECT_EQ(nullptr, WaitForMainWindow(running.Id(), 0)) << "the main window shows";
      EXPECT_EQ(std::vector<int>{IDOK}, LookAtMessageBox(shown.window).buttons);
    });
    EXPECT_NE(nullptr, box.window) << "no box";
    EXPECT_EQ(kAppTitle, box.caption);
    EXPECT_EQ(kCorruptText, box.text);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kUnreadableCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(1u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty()) << "another box";
    EXPECT_TRUE(FolderNames(started[i].stub->temp_folder).empty());
    EXPECT_FALSE(FileExists(started[i].stub->marker));
  }
}

TEST(StubHeader, ReservedBytesSetToFFAreIgnored) {
  StubCase stub("reserved bytes");
  std::vector<uint8_t> bytes = ReadablePackage();
  bytes[kPackageOffset + 2] = 0xFF;
  bytes[kPackageOffset + 3] = 0xFF;
  stub.WritePackage(bytes);
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(stub.UnpackFolder(1) + "marker.exe", ProgramSeen(stub.marker));
}

// ---------------------------------------------------------------------------------------------
// The main window, read back from outside: one stub with known texts and nothing to unpack, shared
// by the tests of this suite.

constexpr char kTitle[] = "Setup of Example Tool";
constexpr char kPublisher[] = "Example Software Ltd.";
// A first line long enough to wrap, then lines broken by LF, CR and CR LF, and a last lone CR.
constexpr char kNote[] =
    "Welcome to the setup of Example Tool. This window unpacks the tool into a folder of its own and "
    "starts its installer.\nsecond line\rthird line\r\nfourth line\r";
constexpr char kNoteShown[] =
    "Welcome to the setup of Example Tool. This window unpacks the tool into a folder of its own and "
    "starts its installer.\r\nsecond line\r\nthird line\r\nfourth line\r\n";

class StubWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    stub_ = new StubCase("window");
    stub_->WritePackage(BuildPackage(kTitle, kPublisher, kNote, 0, 0, {}));
    running_ = new RunningStub(*stub_);
    main_ = running_->MainWindow();
  }
  static void TearDownTestSuite() {
    if (main_ != nullptr) CloseWindowAsUser(main_);
    running_->Watch(10000);
    delete running_;
    delete stub_;
  }
  void SetUp() override { ASSERT_NE(nullptr, main_) << "the main window did not show"; }

  static HWND Control(int id) { return GetDlgItem(main_, id); }

  static StubCase* stub_;
  static RunningStub* running_;
  static HWND main_;
};

StubCase* StubWindow::stub_ = nullptr;
RunningStub* StubWindow::running_ = nullptr;
HWND StubWindow::main_ = nullptr;

TEST_F(StubWindow, FrameIsFixedWithCaptionAndMinimiseBoxCentredOnTheScreen) {
  EXPECT_EQ(kAppTitle, WindowText(main_));
  char class_name[32] = {};
  GetClassNameA(main_, class_name, sizeof class_name);
  EXPECT_STREQ("TMainForm", class_name);
  RECT client;
  GetClientRect(main_, &client);
  EXPECT_EQ(316, client.right - client.left);
  EXPECT_EQ(208, client.bottom - client.top);
  const LONG style = GetWindowLongA(main_, GWL_STYLE);
  EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
  EXPECT_NE(0, style & WS_SYSMENU);
  EXPECT_NE(0, style & WS_MINIMIZEBOX);
  EXPECT_EQ(0, style & WS_MAXIMIZEBOX);
  EXPECT_EQ(0, style & WS_THICKFRAME);
  EXPECT_EQ(0, GetWindowLongA(main_, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  RECT frame;
  GetWindowRect(main_, &frame);
  // Centred: equal room on both sides, give or take the odd pixel of an odd difference.
  EXPECT_LE(std::abs(frame.left - (GetSystemMetrics(SM_CXSCREEN) - frame.right)), 1);
  EXPECT_LE(std::abs(frame.top - (GetSystemMetrics(SM_CYSCREEN) - frame.bottom)), 1);
}

struct ControlLook {
  const char* name;
  int id;
  const char* window_class;
  RECT place;      // in the main window's client pixels
  int type;        // the SS_TYPEMASK part of a static's style; -1 for the edit
  DWORD style_on;  // bits that must be set
  DWORD style_off;
  std::string text;
};

TEST_F(StubWindow, ControlsSitWhereTheLayoutPutsThemWithTheirTexts) {
  const Font bold(-13, FW_BOLD);
  const int title_width = bold.Width(kTitle);
  const int publisher_width = bold.Width(kPublisher);
  ASSERT_GT(title_width, 0);
  ASSERT_GT(publisher_width, 0);
  constexpr DWORD kShown = WS_CHILD | WS_VISIBLE;
  constexpr DWORD kNoFrills = WS_BORDER | WS_HSCROLL | WS_VSCROLL | WS_TABSTOP;
  const ControlLook looks[] = {
      {"Note",
       kNoteId,
       "Edit",
       {24, 72, 24 + 265, 72 + 109},
       -1,
       kShown | WS_TABSTOP | ES_MULTILINE | ES_READONLY,
       WS_BORDER | WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL,
       kNoteShown},
      {"Bevel1", kBevel1Id, "Static", {24, 48, 24 + 265, 48 + 9}, SS_OWNERDRAW, kShown, kNoFrills, ""},
      {"Label1", kLabel1Id, "Static", {0, 195, 316, 208}, SS_RIGHT, kShown, kNoFrills, kLabel1Text},
      {"Label3", kLabel3Id, "Static", {168, 36, 168 + publisher_width, 36 + 16}, -1, kShown, kNoFrills, kPublisher},
      {"Label4", kLabel4Id, "Static", {24, 12, 24 + title_width, 12 + 16}, -1, kShown, kNoFrills, kTitle},
      {"Label5", kLabel5Id, "Static", {148, 37, 148 + 11, 37 + 13}, -1, kShown, kNoFrills, "by"},
  };
  for (const ControlLook& look : looks) {
    SCOPED_TRACE(look.name);
    HWND control = Control(look.id);
    ASSERT_NE(nullptr, control);
    char class_name[32] = {};
    GetClassNameA(control, class_name, sizeof class_name);
    EXPECT_EQ(0, lstrcmpiA(look.window_class, class_name)) << class_name;
    const RECT place = PlaceInParent(control);
    EXPECT_EQ(look.place.left, place.left);
    EXPECT_EQ(look.place.top, place.top);
    EXPECT_EQ(look.place.right - look.place.left, place.right - place.left);
    EXPECT_EQ(look.place.bottom - look.place.top, place.bottom - place.top);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    EXPECT_EQ(look.style_on, style & look.style_on);
    EXPECT_EQ(0u, style & look.style_off);
    if (look.type >= 0) {
      EXPECT_EQ(static_cast<DWORD>(look.type), style & SS_TYPEMASK);
    }
    EXPECT_EQ(0, GetWindowLongA(control, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
    EXPECT_EQ(look.text, WindowText(control));
  }
  // The note comes first in the tab order and is the only stop.
  EXPECT_EQ(Control(kNoteId), GetWindow(main_, GW_CHILD));
  EXPECT_EQ(Control(kNoteId), GetNextDlgTabItem(main_, Control(kNoteId), FALSE));
  EXPECT_EQ(256, SendMessageA(Control(kNoteId), EM_GETLIMITTEXT, 0, 0));
}

// A font handle does not cross into this process, so each label's font is seen in its pixels: the
// label as shown must equal its text drawn here in the font the layout names.
TEST_F(StubWindow, LabelsAreDrawnInTheirFonts) {
  const Font window_font(-11, FW_NORMAL);
  const Font bold(-13, FW_BOLD);
  struct LabelLook {
    const char* name;
    int id;
    const Font& font;
    UINT alignment;
    const char* text;
  };
  const LabelLook labels[] = {
      {"Label1", kLabel1Id, window_font, DT_RIGHT, kLabel1Text},
      {"Label3", kLabel3Id, bold, DT_LEFT, kPublisher},
      {"Label4", kLabel4Id, bold, DT_LEFT, kTitle},
      {"Label5", kLabel5Id, window_font, DT_LEFT, "by"},
  };
  const Picture window = CaptureSettled(main_);
  for (const LabelLook& label : labels) {
    SCOPED_TRACE(label.name);
    const Picture shown = Crop(window, main_, Control(label.id));
    const Picture expected = label.font.Label(label.text, shown.width, shown.height, label.alignment);
    EXPECT_TRUE(shown.pixels == expected.pixels);
  }
}

// The note's font, seen through where the edit control puts its characters.
TEST_F(StubWindow, NoteWrapsAndUsesTheWindowFont) {
  HWND note = Control(kNoteId);
  const std::string shown = kNoteShown;
  const Font window_font(-11, FW_NORMAL);
  auto x_of = [&](size_t index) { return static_cast<int>(LOWORD(SendMessageA(note, EM_POSFROMCHAR, index, 0))); };
  auto y_of = [&](size_t index) { return static_cast<int>(HIWORD(SendMessageA(note, EM_POSFROMCHAR, index, 0))); };
  for (size_t index : {1u, 7u, 14u}) {
    EXPECT_EQ(window_font.Width(shown.substr(0, index)), x_of(index) - x_of(0)) << index;
  }
  const size_t second = shown.find("second");
  const size_t third = shown.find("third");
  EXPECT_EQ(window_font.LineHeight(), y_of(third) - y_of(second));
  // The first line does not fit in 265 pixels: it wraps instead of scrolling sideways.
  EXPECT_GE(SendMessageA(note, EM_LINEFROMCHAR, second, 0), 2);
  EXPECT_EQ(x_of(0), x_of(second));
}

TEST_F(StubWindow, ScreenshotIsKeptAndShowsTheBevelAsABottomLine) {
  const Picture window = CaptureSettled(main_);
  SaveBitmap(window, TestProgramFolder() + "stub_window.bmp");
  ASSERT_FALSE(window.pixels.empty());
  EXPECT_NE(window.pixels.end(), std::find_if(window.pixels.begin(), window.pixels.end(),
                                              [&](uint32_t pixel) { return pixel != window.pixels[0]; }))
      << "the picture is one flat colour";
  // Bevel1 is 9 pixels high: seven rows of the face colour, then the two rows of an etched line.
  // Label5 and Label3 reach into its top rows; left of them the bevel shows alone.
  const Picture bevel = Crop(window, main_, Control(kBevel1Id));
  const int alone = PlaceInParent(Control(kLabel5Id)).left - PlaceInParent(Control(kBevel1Id)).left;
  const uint32_t face = PixelOf(GetSysColor(COLOR_BTNFACE));
  for (int y = 0; y < bevel.height; ++y) {
    const int width = y < 7 ? alone : bevel.width;
    int face_pixels = 0;
    for (int x = 0; x < width; ++x) face_pixels += bevel.At(x, y) == face ? 1 : 0;
    EXPECT_EQ(y < 7 ? width : 0, face_pixels) << "row " << y;
  }
}

// ---------------------------------------------------------------------------------------------
// The icon, in the package file (a window's icon handle does not cross into this process).

#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

BOOL CALLBACK AddResourceName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  reinterpret_cast<std::vector<std::string>*>(names)->push_back(IS_INTRESOURCE(name) ? "#" : name);
  return TRUE;
}

TEST(StubIcon, PackageCarriesOneIconOfSixteenColoursIn16And32Pixels) {
  StubCase stub("icon");
  stub.WritePackage(BuildPackage("T", "P", "N", 0, 0, {}));
  HMODULE module = LoadLibraryExA(stub.package.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  std::vector<std::string> groups;
  EnumResourceNamesA(module, RT_GROUP_ICON, AddResourceName, reinterpret_cast<LONG_PTR>(&groups));
  EXPECT_EQ(std::vector<std::string>{"MAINICON"}, groups);
  HRSRC group = FindResourceA(module, "MAINICON", RT_GROUP_ICON);
  ASSERT_NE(nullptr, group);
  const auto* header = static_cast<const IconGroupHeader*>(LockResource(LoadResource(module, group)));
  ASSERT_EQ(sizeof(IconGroupHeader) + 2 * sizeof(IconGroupEntry), SizeofResource(module, group));
  EXPECT_EQ(1, header->type);
  ASSERT_EQ(2, header->count);
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
  std::vector<int> sizes;
  for (int i = 0; i < header->count; ++i) {
    const IconGroupEntry& entry = entries[i];
    SCOPED_TRACE(entry.width);
    sizes.push_back(entry.width);
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(16, entry.colours);
    EXPECT_EQ(4, entry.bit_count);
    HRSRC image = FindResourceA(module, MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_NE(nullptr, image);
    auto* bits = static_cast<BYTE*>(LockResource(LoadResource(module, image)));
    const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(bits);
    EXPECT_EQ(entry.width, bitmap->biWidth);
    EXPECT_EQ(2 * entry.width, bitmap->biHeight);  // the colour rows, then the mask's
    EXPECT_EQ(4, bitmap->biBitCount);
    HICON icon = CreateIconFromResourceEx(bits, SizeofResource(module, image), TRUE, 0x00030000, 0, 0, 0);
    ASSERT_NE(nullptr, icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(entry.width, colour.bmWidth);
    EXPECT_EQ(entry.width, colour.bmHeight);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ((std::vector<int>{16, 32}), sizes);
  FreeLibrary(module);
}

// ---------------------------------------------------------------------------------------------
// Empty texts and the timer.

TEST(StubTexts, EmptyTextsLeaveLabelsAndNoteEmptyAndStillUnpack) {
  StubCase stub("empty texts");
  stub.WritePackage(BuildPackage("", "", "", 0, kRunAfterUnpack, {MarkerProgram()}));
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  for (int id : {kLabel3Id, kLabel4Id, kNoteId}) {
    SCOPED_TRACE(id);
    EXPECT_EQ("", WindowText(GetDlgItem(main, id)));
  }
  for (int id : {kLabel3Id, kLabel4Id}) {
    const RECT place = PlaceInParent(GetDlgItem(main, id));
    EXPECT_EQ(0, place.right - place.left) << id;
  }
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(stub.UnpackFolder(1) + "marker.exe", ProgramSeen(stub.marker));
}

struct StayingCase {
  const char* name;
  std::vector<std::string> packed;  // marker.exe is the payload program, anything else a text
  uint8_t run_index;
  uint8_t flags;
};

const StayingCase kStayingCases[] = {
    {"RunFlagClear", {"readme.txt", "marker.exe"}, 1, 0},
    {"NoEntries", {}, 0, 0},
    {"RunIndexPastTheEntries", {"marker.exe", "readme.txt"}, 2, kRunAfterUnpack},
};

// Nothing to run: the timer unpacks once, two seconds in, and the window and the files stay until
// the user closes the window. The cases run side by side.
TEST(StubTimer, UnpacksOnceAfterTwoSecondsAndKeepsWindowAndFilesWhenNothingRuns) {
  std::vector<StartedCase> started;
  std::vector<std::vector<std::string>> unpacked;
  for (const StayingCase& staying : kStayingCases) {
    std::vector<StubFile> files;
    for (const std::string& name : staying.packed) {
      files.push_back(name == "marker.exe" ? MarkerProgram() : StubFile{name, Bytes("read me"), 0});
    }
    unpacked.push_back(staying.packed);
    std::sort(unpacked.back().begin(), unpacked.back().end());
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("stays open ") + staying.name);
    one.stub->WritePackage(BuildPackage("Stays open", "Vornix tests", "", staying.run_index, staying.flags, files));
    one.running = std::make_unique<RunningStub>(*one.stub);
    started.push_back(std::move(one));
  }
  std::vector<HWND> windows;
  std::vector<DWORD> shown;
  for (const StartedCase& one : started) {
    windows.push_back(one.running->MainWindow());
    shown.push_back(GetTickCount());
    ASSERT_NE(nullptr, windows.back());
  }
  // When each unpack folder was first seen.
  std::vector<DWORD> seen(started.size(), 0);
  EXPECT_TRUE(WaitForChange(
      ParentFolder(started[0].stub->folder),
      [&] {
        for (size_t i = 0; i < started.size(); ++i) {
          if (seen[i] == 0 && DirectoryExists(started[i].stub->UnpackFolder(1))) seen[i] = GetTickCount();
        }
        return std::find(seen.begin(), seen.end(), 0u) == seen.end();
      },
      15000));
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubCase& stub = *started[i].stub;
    EXPECT_NE(0u, seen[i]) << "nothing was unpacked";
    EXPECT_GE(seen[i] - shown[i], 1500u) << "unpacking began too early";
    EXPECT_TRUE(WaitForChange(
        stub.folder, [&] { return FolderNames(stub.UnpackFolder(1)) == unpacked[i]; }, 15000));
  }
  // Another tick of a two-second timer would come within this wait; no stub ends in it either.
  std::vector<HANDLE> processes;
  for (const StartedCase& one : started) processes.push_back(one.running->Handle());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT),
            WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), FALSE, 2500));
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubCase& stub = *started[i].stub;
    EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
    EXPECT_EQ(unpacked[i], FolderNames(stub.UnpackFolder(1)));
    EXPECT_TRUE(IsWindowVisible(windows[i]));
    EXPECT_FALSE(FileExists(stub.marker)) << "a program ran";
    CloseWindowAsUser(windows[i]);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kStayingCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
  }
}

// ---------------------------------------------------------------------------------------------
// Closing the window before the run is over.

TEST(StubClosedEarly, BeforeTheTimerEndsWithFiveAndUnpacksNothing) {
  StubCase stub("closed before timer");
  stub.WritePackage(ReadablePackage());
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  CloseWindowAsUser(main);
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(5u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  EXPECT_FALSE(FileExists(stub.marker));
}

TEST(StubClosedEarly, WhileTheProgramsChildRunsEndsAtOnceWithFiveAndLeavesTheFiles) {
  StubCase stub("closed while child runs");
  stub.WritePackage(BuildPackage("Launcher", "Vornix tests", "", 0, kRunAfterUnpack,
                                 {{"launcher.exe", PayloadProgram(), 1}, {"second.exe", PayloadProgram(), 0}}));
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  ASSERT_TRUE(Eventually([] { return ProgramRunning("second.exe"); }, 15000));
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(running.Handle(), 0));
  CloseWindowAsUser(main);
  const StubRun run = running.Watch(15000);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(5u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_FALSE(ProgramRunning("winedbg.exe")) << "the stub crashed on its way out";
  // second.exe still waits for its release.
  EXPECT_FALSE(FileExists(stub.marker + ".second"));
  EXPECT_EQ((std::vector<std::string>{"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
  SetEvent(stub.release);
  EXPECT_TRUE(WaitForChange(
      stub.folder, [&] { return FileExists(stub.marker + ".second"); }, 15000));
  EXPECT_EQ((std::vector<std::string>{"launcher.exe", "second.exe"}), FolderNames(stub.UnpackFolder(1)));
}

// ---------------------------------------------------------------------------------------------
// The unpack folder under the temporary directory.

TEST(StubTempFolder, FolderOfAnotherCopyIsLeftAloneAndTheNextNumberTaken) {
  StubCase stub("temp folder taken");
  CreateDirectoryA(stub.UnpackFolder(1).c_str(), nullptr);
  WriteWholeFile(stub.UnpackFolder(1) + "keep.txt", Bytes("keep"));
  stub.WritePackage(ReadablePackage());
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(stub.UnpackFolder(2) + "marker.exe", ProgramSeen(stub.marker));
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(stub.UnpackFolder(1)));
}

TEST(StubTempFolder, PlainFileOfTheFoldersNameStopsWithTheWarningAndThree) {
  StubCase stub("temp folder is a file");
  const std::string file = stub.temp_folder + "vornix_1";
  WriteWholeFile(file, Bytes("a file"));
  stub.WritePackage(ReadablePackage());
  RunningStub running(stub);
  const StubRun run = running.Watch(30000, [](const MessageBoxSeen& box) {
    ExpectNoTempPathWarning(box);
    EXPECT_TRUE(BoxShowsIcon(box, IDI_EXCLAMATION));
  });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(3u, run.exit_code);
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  EXPECT_EQ("a file", Text(ReadWholeFile(file)));
  EXPECT_FALSE(FileExists(stub.marker));
}

// A folder inside base whose path, with its trailing backslash, is length characters long.
std::string DeepFolder(const std::string& base, size_t length) {
  std::string folder = base;
  while (folder.size() < length) {
    // Each level is a name of at least one character and its backslash.
    const size_t left = length - folder.size();
    const size_t level = left <= 60 ? left : (left - 60 < 2 ? left - 2 : 60);
    folder += std::string(level - 1, 'd') + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  return folder;
}

struct LongTempCase {
  const char* name;
  size_t length;  // of the temporary directory's path, trailing backslash included
  bool fits;      // "<temp>vornix_1\" takes at most 260 characters
};

const LongTempCase kLongTempCases[] = {
    {"Takes260", 251, true},
    {"Takes261", 252, false},
    {"GetTempPathLimit", 259, false},
};

// The cases run side by side: the refused ones' warnings are answered first.
TEST(StubTempFolder, UnpackFolderPathOver260CharactersIsRefusedWithTheWarning) {
  std::vector<StartedCase> started;
  std::vector<std::string> temps;
  for (const LongTempCase& long_temp : kLongTempCases) {
    StartedCase one;
    one.stub = std::make_unique<StubCase>(std::string("long temp ") + long_temp.name);
    temps.push_back(DeepFolder(one.stub->temp_folder, long_temp.length));
    ASSERT_TRUE(DirectoryExists(temps.back()));
    ASSERT_EQ(long_temp.length, temps.back().size());
    // A file would not fit inside a folder whose path takes 260 characters already.
    one.stub->WritePackage(long_temp.fits ? BuildPackage("Long temp", "Vornix tests", "", 0, 0, {})
                                          : ReadablePackage());
    one.running = std::make_unique<RunningStub>(*one.stub, StartWithFolders(*one.stub, temps.back(), one.stub->marker));
    started.push_back(std::move(one));
  }
  for (size_t i = 0; i < started.size(); ++i) {
    if (kLongTempCases[i].fits) continue;
    SCOPED_TRACE(kLongTempCases[i].name);
    EXPECT_NE(nullptr, AnswerNextBox(*started[i].running, ExpectNoTempPathWarning).window) << "no warning";
  }
  for (size_t i = 0; i < started.size(); ++i) {
    if (!kLongTempCases[i].fits) continue;
    SCOPED_TRACE(kLongTempCases[i].name);
    HWND main = started[i].running->MainWindow();
    ASSERT_NE(nullptr, main);
    EXPECT_TRUE(WaitForChange(
        started[i].stub->folder, [&] { return DirectoryExists(temps[i] + "vornix_1\\"); }, 15000));
    CloseWindowAsUser(main);
  }
  for (size_t i = 0; i < started.size(); ++i) {
    SCOPED_TRACE(kLongTempCases[i].name);
    const StubRun run = started[i].running->Watch(15000);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(kLongTempCases[i].fits ? 0u : 3u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
    if (!kLongTempCases[i].fits) {
      EXPECT_TRUE(FolderNames(temps[i]).empty());
      EXPECT_FALSE(FileExists(started[i].stub->marker));
    }
  }
}

TEST(StubTempFolder, TemporaryDirectoryWithoutTrailingBackslashGetsOne) {
  StubCase stub("temp without backslash");
  stub.WritePackage(ReadablePackage());
  const std::string temp = stub.temp_folder.substr(0, stub.temp_folder.size() - 1);
  RunningStub running(stub, StartWithFolders(stub, temp, stub.marker));
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(temp + "\\vornix_1\\marker.exe", ProgramSeen(stub.marker));
}

TEST(StubTempFolder, TwoCopiesStartedTogetherTakeOneFolderEach) {
  StubCase stub("two copies");
  stub.WritePackage(ReadablePackage());
  const std::string first_marker = stub.folder + "first.txt";
  const std::string second_marker = stub.folder + "second.txt";
  RunningStub first(stub, StartWithFolders(stub, stub.temp_folder, first_marker));
  RunningStub second(stub, StartWithFolders(stub, stub.temp_folder, second_marker));
  const StubRun first_run = first.Watch();
  const StubRun second_run = second.Watch();
  ASSERT_TRUE(first_run.exited);
  ASSERT_TRUE(second_run.exited);
  EXPECT_EQ(0u, first_run.exit_code);
  EXPECT_EQ(0u, second_run.exit_code);
  EXPECT_TRUE(first_run.boxes.empty());
  EXPECT_TRUE(second_run.boxes.empty());
  std::vector<std::string> programs = {ProgramSeen(first_marker), ProgramSeen(second_marker)};
  std::sort(programs.begin(), programs.end());
  EXPECT_EQ((std::vector<std::string>{stub.UnpackFolder(1) + "marker.exe", stub.UnpackFolder(2) + "marker.exe"}),
            programs);
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

// ---------------------------------------------------------------------------------------------
// The error box's modality, buttons and place on top.

// A package whose second entry is damaged: the first bytes of its stream no longer name a method.
std::vector<uint8_t> PackageWithDamagedSecondEntry() {
  const std::string title = "Damaged";
  const std::string publisher = "Vornix tests";
  std::vector<uint8_t> bytes =
      BuildPackage(title, publisher, "", 0, 0, {{"first.txt", Bytes("first"), 0}, {"second.txt", Bytes("second"), 1}});
  // The entry table follows the texts: per entry its offset and size, 4 bytes each, little-endian.
  const size_t slot = kPackageOffset + kHeaderSize + publisher.size() + title.size() + 8;
  size_t offset = 0;
  for (int i = 3; i >= 0; --i) offset = offset << 8 | bytes[slot + i];
  bytes.at(offset + std::strlen("second.txt") + 1) ^= 0xFF;
  return bytes;
}

TEST(StubBoxes, ErrorBoxDisablesTheWindowWhileItShowsAndOffersOkAlone) {
  StubCase stub("error box");
  stub.WritePackage(PackageWithDamagedSecondEntry());
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(IsWindowEnabled(main));
  const MessageBoxSeen box = WaitForMessageBox(15000, running.Id());
  ASSERT_NE(nullptr, box.window);
  EXPECT_EQ(kAppTitle, box.caption);
  EXPECT_EQ(kCreateFileStart + stub.UnpackFolder(1) + "second.~~c" + kCreateFileEnd, box.text);
  EXPECT_EQ(std::vector<int>{IDOK}, LookAtMessageBox(box.window).buttons);
  EXPECT_FALSE(IsWindowEnabled(main)) << "the box is not task-modal";
  EXPECT_TRUE(BoxShowsIcon(box, IDI_HAND));
  AnswerMessageBox(box.window);
  EXPECT_TRUE(Eventually([&] { return !IsWindow(box.window) && IsWindowEnabled(main); }, 10000));
  EXPECT_EQ("first", Text(ReadWholeFile(stub.UnpackFolder(1) + "first.txt")));
  CloseWindowAsUser(main);
  const StubRun run = running.Watch();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
}

TEST(StubBoxes, ErrorBoxStaysOnTop) {
  if (!PlatformShowsTopmostBoxes()) GTEST_SKIP() << "this platform shows MB_TOPMOST boxes without WS_EX_TOPMOST";
  StubCase stub("error box on top");
  stub.WritePackage(BareStub());
  const StubRun run = stub.Run();
  ASSERT_TRUE(run.exited);
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_NE(0, run.boxes[0].ex_style & WS_EX_TOPMOST);
}

}  // namespace
}  // namespace vornix

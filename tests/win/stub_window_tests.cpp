// The stub's main window, read back through Win32 from outside its process: the frame, the controls
// with their places, styles and texts, the labels' and the note's fonts (seen in their pixels), a
// kept screenshot (stub_window.bmp beside the test program), the window with empty texts, and the
// icon resource in the package file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win/screen_picture.h"
#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// The foot line, written out here and not taken from the product.
constexpr char kLabel1Text[] = "Quorrin Vornix 1.0  (c) 2026 the Vornix developers  ";

// The main window's control ids.
constexpr int kNoteId = 1;
constexpr int kBevel1Id = 2;
constexpr int kLabel1Id = 3;
constexpr int kLabel3Id = 4;
constexpr int kLabel4Id = 5;
constexpr int kLabel5Id = 6;

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

constexpr char kTitle[] = "Setup of Example Tool";
constexpr char kPublisher[] = "Example Software Ltd.";
// A first line long enough to wrap, then lines broken by LF, CR and CR LF, and a last lone CR.
constexpr char kNote[] =
    "Welcome to the setup of Example Tool. This window unpacks the tool into a folder of its own and "
    "starts its installer.\nsecond line\rthird line\r\nfourth line\r";
constexpr char kNoteShown[] =
    "Welcome to the setup of Example Tool. This window unpacks the tool into a folder of its own and "
    "starts its installer.\r\nsecond line\r\nthird line\r\nfourth line\r\n";

// One stub with known texts and nothing to unpack, shared by the tests of this suite.
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

// What a label shows: its text drawn here in the font the layout names, in a box the label's size,
// cut where the label is cut at the client edge.
Picture ExpectedLabel(const Font& font, const std::string& text, UINT alignment, HWND label, const Picture& shown) {
  RECT place;
  GetWindowRect(label, &place);
  return TopLeft(font.Label(text, place.right - place.left, place.bottom - place.top, alignment), shown.width,
                 shown.height);
}

// A font handle does not cross into this process, so each label's font is seen in its pixels: the
// label as shown must equal its text drawn here in the font the layout names. In these fonts the
// publisher is wider than the 148 pixels from Label3 to the client edge, so it is shown cut there.
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
    ASSERT_GT(shown.width, 0);
    EXPECT_TRUE(shown.pixels ==
                ExpectedLabel(label.font, label.text, label.alignment, Control(label.id), shown).pixels);
  }
}

// A publisher far wider than the room left: its label keeps its text's width and is cut at the
// client edge, and the foot line and the note show as they do with a short one.
TEST_F(StubWindow, LongPublisherIsCutAtTheClientEdge) {
  const std::string publisher = "Example Software Corporation of Greater Manchester Ltd.";
  // Before the second window opens over this one, at the same place.
  const Picture usual = CaptureSettled(main_);
  StubCase stub("long publisher");
  stub.WritePackage(BuildPackage(kTitle, publisher, kNote, 0, 0, {}));
  RunningStub running(stub);
  HWND main = running.MainWindow();
  ASSERT_NE(nullptr, main);
  const Font bold(-13, FW_BOLD);
  HWND label3 = GetDlgItem(main, kLabel3Id);
  const RECT place = PlaceInParent(label3);
  EXPECT_EQ(bold.Width(publisher), place.right - place.left);
  // Wine at times hands the display the labels' lower rows late, after two captures agreed: the
  // label gets a second and a third look before it counts as wrong.
  Picture window = CaptureSettled(main);
  Picture shown = Crop(window, main, label3);
  for (int look = 0; look < 2 && shown.pixels != ExpectedLabel(bold, publisher, DT_LEFT, label3, shown).pixels;
       ++look) {
    Sleep(500);
    window = CaptureSettled(main);
    shown = Crop(window, main, label3);
  }
  EXPECT_EQ(316 - 168, shown.width);
  EXPECT_TRUE(shown.pixels == ExpectedLabel(bold, publisher, DT_LEFT, label3, shown).pixels);
  EXPECT_TRUE(Crop(window, main, GetDlgItem(main, kLabel1Id)).pixels == Crop(usual, main_, Control(kLabel1Id)).pixels);
  // The note below its first line, where the caret of the focused window blinks.
  const Picture note = Crop(window, main, GetDlgItem(main, kNoteId));
  const Picture usual_note = Crop(usual, main_, Control(kNoteId));
  const size_t first_line = static_cast<size_t>(Font(-11, FW_NORMAL).LineHeight()) * note.width;
  ASSERT_EQ(usual_note.pixels.size(), note.pixels.size());
  EXPECT_TRUE(std::equal(note.pixels.begin() + first_line, note.pixels.end(), usual_note.pixels.begin() + first_line));
  CloseWindowAsUser(main);
  EXPECT_TRUE(running.Watch(10000).exited);
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
// Empty texts.

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

}  // namespace
}  // namespace vornix

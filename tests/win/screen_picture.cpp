// Screen captures, pictures drawn for comparison and .bmp files of the stub tests.
#include "tests/win/screen_picture.h"

#include <cstring>

#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

Picture CaptureScreen(const RECT& area) {
  return Paint(area.right - area.left, area.bottom - area.top, [&](HDC target) {
    HDC screen = GetDC(nullptr);
    BitBlt(target, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  });
}

// The static of a message box that shows its icon.
HWND IconOf(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  }
  return nullptr;
}

Picture Part(const Picture& picture, int left, int top, int width, int height) {
  Picture part;
  part.width = width;
  part.height = height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) part.pixels.push_back(picture.At(left + x, top + y));
  }
  return part;
}

}  // namespace

uint32_t PixelOf(COLORREF colour) { return GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour); }

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

Picture Crop(const Picture& picture, HWND top_level, HWND window) {
  RECT outer;
  RECT inner;
  RECT client;
  GetWindowRect(top_level, &outer);
  GetWindowRect(window, &inner);
  GetClientRect(top_level, &client);
  MapWindowPoints(top_level, nullptr, reinterpret_cast<POINT*>(&client), 2);
  RECT shown;
  if (!IntersectRect(&shown, &inner, &client)) return Picture();
  return Part(picture, shown.left - outer.left, shown.top - outer.top, shown.right - shown.left,
              shown.bottom - shown.top);
}

Picture TopLeft(const Picture& picture, int width, int height) { return Part(picture, 0, 0, width, height); }

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

Font::Font(int height, int weight)
    : handle_(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif")) {}

int Font::Width(const std::string& text) const {
  SIZE extent = {0, 0};
  Measure([&](HDC context) { GetTextExtentPoint32A(context, text.c_str(), static_cast<int>(text.size()), &extent); });
  return extent.cx;
}

int Font::LineHeight() const {
  TEXTMETRICA metrics = {};
  Measure([&](HDC context) { GetTextMetricsA(context, &metrics); });
  return metrics.tmHeight;
}

Picture Font::Label(const std::string& text, int width, int height, UINT alignment) const {
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

void Font::Measure(const std::function<void(HDC)>& measure) const {
  HDC context = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(context, handle_);
  measure(context);
  SelectObject(context, previous);
  ReleaseDC(nullptr, context);
}

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

}  // namespace vornix

// The stub's windows as pictures: what the screen shows of a window once painting has settled, what
// this process draws for comparison (texts in a named font, a system icon), and a .bmp file to keep.
// Font and icon handles do not cross into another process, so the tests compare pixels instead.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/win/message_box.h"

namespace vornix {

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

uint32_t PixelOf(COLORREF colour);

// What draw paints into a 32-bit picture of the given size.
Picture Paint(int width, int height, const std::function<void(HDC)>& draw);

// The window as it shows once painting has settled: repainted now, then captured until two
// captures in a row agree (Wine hands the painted pixels to the display a little later).
Picture CaptureSettled(HWND window);

// The part of picture that shows window (a child of the captured top-level window), cut at the
// top-level window's client edge, where Windows clips its children.
Picture Crop(const Picture& picture, HWND top_level, HWND window);

// The top left width x height pixels of picture.
Picture TopLeft(const Picture& picture, int width, int height);

// A 32-bit top-down .bmp file.
void SaveBitmap(const Picture& picture, const std::string& path);

// A font as the layout names them: "MS Sans Serif" at a pixel height, normal or bold.
class Font {
 public:
  Font(int height, int weight);
  ~Font() { DeleteObject(handle_); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  int Width(const std::string& text) const;
  int LineHeight() const;
  // text drawn as a label in this font: black on the button face, in a box of the given size.
  Picture Label(const std::string& text, int width, int height, UINT alignment) const;

 private:
  void Measure(const std::function<void(HDC)>& measure) const;

  HFONT handle_;
};

// Whether the box shows the system icon which: the static's pixels against the icon drawn here at
// the static's size over the static's corner pixel, which the icon leaves transparent.
bool BoxShowsIcon(const MessageBoxSeen& box, LPCSTR which);

}  // namespace vornix

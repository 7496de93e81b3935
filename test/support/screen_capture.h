#ifndef TEST_SUPPORT_SCREEN_CAPTURE_H_
#define TEST_SUPPORT_SCREEN_CAPTURE_H_

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

namespace test {

// Decoded 32-bit ARGB pixels, row by row.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;

  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  bool empty() const { return argb.empty(); }
};

// Decodes an image file (PNG, BMP...) with GDI+; empty on failure.
Pixels LoadImagePixels(const std::wstring& path);
// Writes `pixels` as a PNG with GDI+ (alpha kept).
bool SavePixelsAsPng(const Pixels& pixels, const std::wstring& path);

// The artefact file <build>/ui_artefacts/<suite>/<name>.png (folders made),
// kept after the run for people to look at.
std::wstring ArtefactPath(const std::string& suite, const std::string& name);

// A screenshot of `rect` (screen coordinates) of the display, taken with
// ImageMagick's import on the X root window (without a window manager X
// root and screen coordinates agree). Captures until two in a row agree,
// so that a window still being drawn does not count; the last one is kept
// as the artefact of `suite` and `name`. Empty when no two agreed.
Pixels CaptureScreen(const RECT& rect, const std::string& suite, const std::string& name);

// Waits up to `timeout_ms` until the display shows something other than
// the bare X root (#808080) at the centre of `rect`: a window that reports
// itself visible may not have reached the display yet.
bool WaitUntilShown(const RECT& rect, DWORD timeout_ms = 10000);

// The same for the running gtest test: suite and test names.
Pixels CaptureScreenForCurrentTest(const RECT& rect, const std::string& suffix = "");

// Red, green, blue of an ARGB pixel as a COLORREF.
inline COLORREF ToColorRef(uint32_t argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// The contrast ratio of two colours (1 to 21), from their relative
// luminance as accessibility guidelines define it.
double ContrastRatio(COLORREF a, COLORREF b);
// Text as rendered in `rect` of `pixels` (clipped to the picture): the most
// frequent colour is taken as the background, the pixel that differs most
// from it as the text's solid core. Their contrast ratio (1 when empty).
struct TextContrast {
  COLORREF background = 0;
  COLORREF text = 0;
  double ratio = 1.0;
};
TextContrast MeasureTextContrast(const Pixels& pixels, const RECT& rect);

}  // namespace test

#endif  // TEST_SUPPORT_SCREEN_CAPTURE_H_

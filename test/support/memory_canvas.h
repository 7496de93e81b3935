#ifndef TEST_SUPPORT_MEMORY_CANVAS_H_
#define TEST_SUPPORT_MEMORY_CANVAS_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace test {

// A memory device context over a 32-bit top-down DIB, for tests that paint
// and then read the pixels back.
class MemoryCanvas {
 public:
  MemoryCanvas(int width, int height);
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;
  ~MemoryCanvas();

  bool is_valid() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Paints every pixel `color` (0xRRGGBB).
  void Fill(uint32_t color);
  // The pixel at (x, y) as 0xRRGGBB, after flushing GDI's queue; 0 outside.
  uint32_t Pixel(int x, int y) const;

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// The name of the plain colour nearest to `color` (0xRRGGBB): "white",
// "black", "red", "green", "blue", "yellow", "magenta", "cyan", or "other"
// when none is within a small distance (antialiased or blended pixels).
std::string ColorName(uint32_t color);

// A font drawn without antialiasing (Tahoma, `pixel_height` high), so that
// text pixels carry the text colour exactly; owned by the caller.
HFONT CreateCrispFont(int pixel_height);

// Largest difference of the red, green and blue channels of two
// 0xRRGGBB colours.
int ChannelDistance(uint32_t a, uint32_t b);

// `alpha` of `over` blended onto `under` (0xRRGGBB), as constant-alpha
// AlphaBlend does it.
uint32_t BlendColor(uint32_t over, uint32_t under, int alpha);

}  // namespace test

#endif  // TEST_SUPPORT_MEMORY_CANVAS_H_

#include "test/support/memory_canvas.h"

#include <algorithm>

#include <cstdlib>

namespace test {

MemoryCanvas::MemoryCanvas(int width, int height)
    : width_(width), height_(height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = ::CreateCompatibleDC(nullptr);
  bitmap_ = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dc_ || !bitmap_)
    return;
  old_bitmap_ = ::SelectObject(dc_, bitmap_);
  bits_ = static_cast<uint32_t*>(bits);
}

MemoryCanvas::~MemoryCanvas() {
  if (old_bitmap_)
    ::SelectObject(dc_, old_bitmap_);
  if (bitmap_)
    ::DeleteObject(bitmap_);
  if (dc_)
    ::DeleteDC(dc_);
}

void MemoryCanvas::Fill(uint32_t color) {
  ::GdiFlush();
  for (int i = 0; bits_ && i < width_ * height_; ++i)
    bits_[i] = color & 0xFFFFFF;
}

uint32_t MemoryCanvas::Pixel(int x, int y) const {
  ::GdiFlush();
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
    return 0;
  // A DIB's 32-bit pixel is B, G, R, unused in memory: 0x00RRGGBB.
  return bits_[y * width_ + x] & 0xFFFFFF;
}

std::string ColorName(uint32_t color) {
  struct Named {
    const char* name;
    uint32_t color;
  } const kColors[] = {
      {"white", 0xFFFFFF}, {"black", 0x000000},   {"red", 0xFF0000},
      {"green", 0x00FF00}, {"blue", 0x0000FF},    {"yellow", 0xFFFF00},
      {"magenta", 0xFF00FF}, {"cyan", 0x00FFFF},
  };
  for (const Named& named : kColors) {
    int distance = 0;
    for (int shift : {0, 8, 16}) {
      distance += std::abs(static_cast<int>((color >> shift) & 0xFF) -
                           static_cast<int>((named.color >> shift) & 0xFF));
    }
    if (distance <= 48)
      return named.name;
  }
  return "other";
}

HFONT CreateCrispFont(int pixel_height) {
  return ::CreateFontW(-pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                       DEFAULT_PITCH, L"Tahoma");
}

int ChannelDistance(uint32_t a, uint32_t b) {
  int distance = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    distance = std::max(distance, d < 0 ? -d : d);
  }
  return distance;
}

uint32_t BlendColor(uint32_t over, uint32_t under, int alpha) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int o = (over >> shift) & 0xFF;
    const int u = (under >> shift) & 0xFF;
    result |= static_cast<uint32_t>((o * alpha + u * (255 - alpha) + 127) / 255) << shift;
  }
  return result;
}

}  // namespace test

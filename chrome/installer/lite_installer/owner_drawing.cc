#include "chrome/installer/lite_installer/owner_drawing.h"

#include "logging/file_logger.h"

namespace lite_installer {

bool DrawAlphaText(HDC dc,
                   const RECT& rect,
                   const std::wstring& text,
                   HFONT font,
                   COLORREF colour,
                   BYTE alpha,
                   UINT flags) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || text.empty())
    return true;
  base::ScopedMemoryDC memory(::CreateCompatibleDC(dc));
  base::ScopedBitmap bitmap(::CreateCompatibleBitmap(dc, width, height));
  if (!memory.is_valid() || !bitmap.is_valid()) {
    PLOG(ERROR) << "Failed to create the " << width << "x" << height
                << " copy for blended text";
    return false;
  }
  base::ScopedSelectObject select_bitmap(memory.get(), bitmap.get());
  if (!::BitBlt(memory.get(), 0, 0, width, height, dc, rect.left, rect.top, SRCCOPY)) {
    PLOG(ERROR) << "Failed to copy the background under blended text at " << rect.left << ","
                << rect.top;
    return false;
  }
  {
    base::ScopedSelectObject select_font(memory.get(), font);
    ::SetBkMode(memory.get(), TRANSPARENT);
    ::SetTextColor(memory.get(), colour);
    RECT local = {0, 0, width, height};
    ::DrawTextW(memory.get(), text.c_str(), static_cast<int>(text.size()), &local,
                flags | DT_WORDBREAK);
  }
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
  if (!::GdiAlphaBlend(dc, rect.left, rect.top, width, height, memory.get(), 0, 0, width, height,
                       blend)) {
    PLOG(ERROR) << "Failed to blend text into " << width << "x" << height << " at "
                << rect.left << "," << rect.top;
    return false;
  }
  return true;
}

OffscreenDC::OffscreenDC(HDC target, const RECT& rect) : target_(target), rect_(rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0)
    return;
  base::ScopedMemoryDC memory(::CreateCompatibleDC(target));
  base::ScopedBitmap bitmap(::CreateCompatibleBitmap(target, width, height));
  if (!memory.is_valid() || !bitmap.is_valid()) {
    PLOG(ERROR) << "Failed to create an off-screen " << width << "x" << height
                << " bitmap; drawing directly";
    return;
  }
  previous_bitmap_ = ::SelectObject(memory.get(), bitmap.get());
  ::SetViewportOrgEx(memory.get(), -rect.left, -rect.top, nullptr);
  memory_dc_ = std::move(memory);
  bitmap_ = std::move(bitmap);
}

OffscreenDC::~OffscreenDC() {
  if (!memory_dc_.is_valid())
    return;
  if (!::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left,
                rect_.bottom - rect_.top, memory_dc_.get(), rect_.left, rect_.top, SRCCOPY)) {
    PLOG(ERROR) << "Failed to copy an off-screen bitmap to " << rect_.left << ","
                << rect_.top;
  }
  ::SelectObject(memory_dc_.get(), previous_bitmap_);
}

void PaintBuffered(HDC dc, const RECT& rect, const std::function<void(HDC, const RECT&)>& paint) {
  OffscreenDC offscreen(dc, rect);
  paint(offscreen.dc(), rect);
}

POINT PositionInParent(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  POINT origin = {rect.left, rect.top};
  HWND parent = ::GetParent(window);
  if (parent)
    ::ScreenToClient(parent, &origin);
  return origin;
}

}  // namespace lite_installer

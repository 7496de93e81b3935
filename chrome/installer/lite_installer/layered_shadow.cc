#include "chrome/installer/lite_installer/layered_shadow.h"

#include "base/scoped_gdi.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

constexpr DWORD kShadowStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER | WS_SYSMENU;
// Never activated, never hit by the mouse, drawn with per-pixel alpha.
constexpr DWORD kShadowExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;

}  // namespace

RECT ShadowMargins(double scale_factor) {
  return {static_cast<LONG>(7 * scale_factor), static_cast<LONG>(4 * scale_factor),
          static_cast<LONG>(6 * scale_factor), static_cast<LONG>(8 * scale_factor)};
}

RECT GrowRect(const RECT& rect, const RECT& margins) {
  return {rect.left - margins.left, rect.top - margins.top, rect.right + margins.right,
          rect.bottom + margins.bottom};
}

bool ComposeShadowPicture(HDC target, SIZE shadow_size, HDC image, SIZE image_size,
                          const RECT& hole) {
  const LONG half_width = shadow_size.cx / 2;
  const LONG half_height = shadow_size.cy / 2;
  const LONG right_width = shadow_size.cx - half_width;
  const LONG bottom_height = shadow_size.cy - half_height;
  struct Quadrant {
    LONG x, y, width, height, source_x, source_y;
  };
  const Quadrant quadrants[] = {
      {0, 0, half_width, half_height, 0, 0},
      {half_width, 0, right_width, half_height, image_size.cx - right_width, 0},
      {0, half_height, half_width, bottom_height, 0, image_size.cy - bottom_height},
      {half_width, half_height, right_width, bottom_height, image_size.cx - right_width,
       image_size.cy - bottom_height},
  };
  bool drawn = true;
  for (const Quadrant& q : quadrants) {
    if (!::BitBlt(target, q.x, q.y, q.width, q.height, image, q.source_x, q.source_y, SRCCOPY)) {
      PLOG(ERROR) << "Failed to draw a shadow quadrant at " << q.x << "," << q.y;
      drawn = false;
    }
  }
  // The dialog covers this area: source AND NOT destination of itself is 0
  // in every channel, alpha included.
  if (!::BitBlt(target, hole.left, hole.top, hole.right - hole.left, hole.bottom - hole.top,
                target, hole.left, hole.top, SRCERASE)) {
    PLOG(ERROR) << "Failed to clear the dialog's area of the shadow";
    drawn = false;
  }
  return drawn;
}

LayeredShadow::LayeredShadow(HWND dialog, HBITMAP background)
    : LayeredShadow(dialog, background, GetDeviceScaleFactor()) {}

LayeredShadow::LayeredShadow(HWND dialog, HBITMAP background, double scale_factor)
    : dialog_(dialog), margins_(ShadowMargins(scale_factor)) {
  RECT dialog_rect;
  if (!::GetWindowRect(dialog, &dialog_rect)) {
    PLOG(ERROR) << "Failed to read the dialog's rectangle for its shadow";
    return;
  }
  const RECT rect = GrowRect(dialog_rect, margins_);
  window_ = ::CreateWindowExW(kShadowExStyle, L"Static", nullptr, kShadowStyle, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                              nullptr, nullptr, nullptr);
  if (!window_) {
    PLOG(ERROR) << "Failed to create the dialog's shadow window";
    return;
  }
  ShowPicture(background);
}

LayeredShadow::~LayeredShadow() {
  if (window_)
    ::DestroyWindow(window_);
}

void LayeredShadow::FollowDialog() {
  RECT dialog_rect;
  if (!window_ || !::GetWindowRect(dialog_, &dialog_rect))
    return;
  const RECT rect = GrowRect(dialog_rect, margins_);
  ::MoveWindow(window_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               TRUE);
}

void LayeredShadow::ShowPicture(HBITMAP background) {
  base::ScopedGetDC screen(nullptr);
  base::ScopedMemoryDC memory(::CreateCompatibleDC(screen.get()));
  // Below 32 bits per pixel there is no alpha to draw with: no picture.
  if (!memory || ::GetDeviceCaps(memory.get(), BITSPIXEL) < 32)
    return;
  RECT rect;
  BITMAP image = {};
  if (!::GetWindowRect(window_, &rect) || !::GetObjectW(background, sizeof(image), &image)) {
    PLOG(ERROR) << "Failed to measure the shadow or its background image";
    return;
  }
  SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
  base::ScopedBitmap picture(::CreateCompatibleBitmap(screen.get(), size.cx, size.cy));
  base::ScopedMemoryDC image_dc(::CreateCompatibleDC(screen.get()));
  if (!picture || !image_dc) {
    PLOG(ERROR) << "Failed to create a " << size.cx << "x" << size.cy << " shadow picture";
    return;
  }
  base::ScopedSelectObject select_picture(memory.get(), picture.get());
  base::ScopedSelectObject select_image(image_dc.get(), background);
  const RECT hole = {margins_.left, margins_.top, size.cx - margins_.right - 1,
                     size.cy - margins_.bottom - 1};
  ComposeShadowPicture(memory.get(), size, image_dc.get(), {image.bmWidth, image.bmHeight}, hole);
  ::SetLayout(memory.get(), LAYOUT_RTL);
  POINT position = {rect.left, rect.top};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!::UpdateLayeredWindow(window_, nullptr, &position, &size, memory.get(), &source, 0, &blend,
                             ULW_ALPHA)) {
    PLOG(ERROR) << "Failed to show the " << size.cx << "x" << size.cy
                << " shadow picture of the dialog";
  }
}

}  // namespace lite_installer

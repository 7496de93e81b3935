#include "chrome/installer/lite_installer/custom_progress_bar.h"

#include <commctrl.h>
#include <oleacc.h>

#include "chrome/installer/lite_installer/owner_drawing.h"
#include "logging/file_logger.h"

namespace lite_installer {

int FilledWidth(int width, int low, int high, int pos) {
  // An empty or reversed range has nothing to divide by: no fill.
  if (high <= low || width <= 0)
    return 0;
  const long long filled = static_cast<long long>(width) * (static_cast<long long>(pos) - low) /
                           (static_cast<long long>(high) - low);
  if (filled < 0)
    return 0;
  return filled > width ? width : static_cast<int>(filled);
}

CustomProgressBar::CustomProgressBar(HWND progress_bar) {
  if (!Attach(progress_bar)) {
    LOG(ERROR) << "Failed to attach to the progress bar " << progress_bar;
    return;
  }
  accessible_.reset(AccessibleControl::Create(progress_bar));
  if (accessible_)
    accessible_->SetProperties(ROLE_SYSTEM_PROGRESSBAR, L"", L"");
}

CustomProgressBar::~CustomProgressBar() {
  accessible_.reset();
  Detach();
}

void CustomProgressBar::SetImages(int fill_id1,
                                  int fill_id2,
                                  int track_id1,
                                  int track_id2,
                                  const std::optional<ResourceBitmap>& background) {
  fill_ = ResourceBitmap(fill_id1, fill_id2);
  track_ = ResourceBitmap(track_id1, track_id2);
  has_background_ = background.has_value();
  background_ = background.value_or(ResourceBitmap());
  if (hwnd_)
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void CustomProgressBar::SetRange(int low, int high) {
  ::SendMessageW(hwnd_, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void CustomProgressBar::SetPos(int pos) {
  ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
  if (accessible_)
    accessible_->SetValuePercent(pos);
}

int CustomProgressBar::GetPos() const {
  return static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0));
}

bool CustomProgressBar::ProcessWindowMessage(HWND window,
                                             UINT message,
                                             WPARAM wparam,
                                             LPARAM lparam,
                                             LRESULT* result) {
  switch (message) {
    case WM_PAINT:
      Paint();
      *result = 0;
      return true;
    case WM_ERASEBKGND:
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR:
      *result = 0;
      return true;
    default:
      return WindowObject::ProcessWindowMessage(window, message, wparam, lparam, result);
  }
}

void CustomProgressBar::Paint() {
  PAINTSTRUCT paint = {};
  HDC dc = ::BeginPaint(hwnd_, &paint);
  if (!dc) {
    PLOG(ERROR) << "Failed to begin painting the progress bar " << hwnd_;
    return;
  }
  RECT client = {};
  ::GetClientRect(hwnd_, &client);
  if (has_background_) {
    PaintBuffered(dc, client, [this](HDC buffer, const RECT& rect) { PaintSteps(buffer, rect); });
  } else {
    PaintSteps(dc, client);
  }
  ::EndPaint(hwnd_, &paint);
}

void CustomProgressBar::PaintSteps(HDC dc, const RECT& client) {
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (has_background_) {
    const POINT origin = PositionInParent(hwnd_);
    background_.Draw(dc, client.left, client.top, width, height, origin.x, origin.y, width,
                     height);
  }
  PBRANGE range = {};
  ::SendMessageW(hwnd_, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  const int pos = static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0));
  const int filled = FilledWidth(width, range.iLow, range.iHigh, pos);
  if (filled > 0)
    fill_.Draw(dc, client.left, client.top, filled, height, 0, 0, filled, height);
  if (width > 0 && height > 0 && filled < width) {
    track_.Draw(dc, client.left + filled, client.top, width - filled, height, filled, 0,
                width - filled, height);
  }
}

}  // namespace lite_installer

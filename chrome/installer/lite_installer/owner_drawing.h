#ifndef CHROME_INSTALLER_LITE_INSTALLER_OWNER_DRAWING_H_
#define CHROME_INSTALLER_LITE_INSTALLER_OWNER_DRAWING_H_

#include <windows.h>

#include <functional>
#include <string>

#include "base/scoped_gdi.h"

namespace lite_installer {

// Draws `text` into `rect` of `dc` blended over what is there: the text
// is drawn (transparent, `font`, `colour`, `flags` plus DT_WORDBREAK) onto a
// copy of the rectangle, and the copy goes back with the constant `alpha`.
// False, logged, when the copy could not be made or blended.
bool DrawAlphaText(HDC dc,
                   const RECT& rect,
                   const std::wstring& text,
                   HFONT font,
                   COLORREF colour,
                   BYTE alpha,
                   UINT flags);

// A memory device context with a bitmap the size of `rect`, its viewport
// moved so that `rect`'s own coordinates draw into it. On destruction the
// rectangle is copied onto the target with BitBlt SRCCOPY. When it could
// not be made, dc() is the target itself and drawing goes there directly.
class OffscreenDC {
 public:
  OffscreenDC(HDC target, const RECT& rect);
  OffscreenDC(const OffscreenDC&) = delete;
  OffscreenDC& operator=(const OffscreenDC&) = delete;
  ~OffscreenDC();

  HDC dc() const { return memory_dc_.is_valid() ? memory_dc_.get() : target_; }
  bool is_buffered() const { return memory_dc_.is_valid(); }

 private:
  HDC target_;
  RECT rect_;
  base::ScopedMemoryDC memory_dc_;
  base::ScopedBitmap bitmap_;
  HGDIOBJ previous_bitmap_ = nullptr;
};

// Runs `paint` on an off-screen copy of `rect` (same coordinates) and
// copies the result to `dc` in one BitBlt.
void PaintBuffered(HDC dc, const RECT& rect, const std::function<void(HDC, const RECT&)>& paint);

// The origin of `window` in its parent's client area.
POINT PositionInParent(HWND window);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_OWNER_DRAWING_H_

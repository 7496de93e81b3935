#ifndef BASE_SCOPED_GDI_H_
#define BASE_SCOPED_GDI_H_

#include <windows.h>

#include "base/scoped_handle.h"

namespace base {

// Memory device contexts from CreateCompatibleDC.
struct MemoryDCTraits {
  using Handle = HDC;
  static constexpr char kCloseFunction[] = "DeleteDC";
  static HDC Invalid() { return nullptr; }
  static bool Close(HDC dc) { return ::DeleteDC(dc) != FALSE; }
};
using ScopedMemoryDC = ScopedGeneric<MemoryDCTraits>;

// Bitmaps, brushes, pens, fonts, regions.
template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static constexpr char kCloseFunction[] = "DeleteObject";
  static T Invalid() { return nullptr; }
  static bool Close(T object) { return ::DeleteObject(object) != FALSE; }
};
using ScopedBitmap = ScopedGeneric<GdiObjectTraits<HBITMAP>>;
using ScopedBrush = ScopedGeneric<GdiObjectTraits<HBRUSH>>;
using ScopedFont = ScopedGeneric<GdiObjectTraits<HFONT>>;

// A window's (or the screen's, for a null window) device context from
// GetDC, released on destruction.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  ~ScopedGetDC() {
    if (dc_)
      ::ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR)
      ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace base

#endif  // BASE_SCOPED_GDI_H_

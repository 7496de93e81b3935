#ifndef CHROME_INSTALLER_LITE_INSTALLER_TEXT_LINK_H_
#define CHROME_INSTALLER_LITE_INSTALLER_TEXT_LINK_H_

#include <windows.h>

#include <string>

#include "chrome/installer/lite_installer/accessible_control.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

namespace lite_installer {

// An owner-drawn button shown as a text link: its window text blended over
// the parent's picture, and the hand cursor while the pointer is over it.
// The parent forwards WM_DRAWITEM and acts on BN_CLICKED.
class TextLink : public WindowObject {
 public:
  TextLink(HWND window, COLORREF colour, BYTE alpha, HFONT font, const ResourceBitmap& background);
  ~TextLink() override;

  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void SetAccessibleProperties(LONG role, const std::wstring& name);

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;

 private:
  COLORREF colour_;
  BYTE alpha_;
  HFONT font_;
  ResourceBitmap background_;
  HCURSOR hand_cursor_;
  ScopedAccessibleControl accessible_;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_TEXT_LINK_H_

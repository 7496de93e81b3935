#include "chrome/installer/lite_installer/text_link.h"

#include "chrome/installer/lite_installer/owner_drawing.h"
#include "logging/file_logger.h"

namespace lite_installer {

TextLink::TextLink(HWND window,
                   COLORREF colour,
                   BYTE alpha,
                   HFONT font,
                   const ResourceBitmap& background)
    : colour_(colour),
      alpha_(alpha),
      font_(font),
      background_(background),
      hand_cursor_(::LoadCursorW(nullptr, IDC_HAND)) {
  if (!Attach(window)) {
    LOG(ERROR) << "Failed to attach to the text link " << window;
    return;
  }
  accessible_.reset(AccessibleControl::Create(window));
}

TextLink::~TextLink() {
  accessible_.reset();
  Detach();
}

void TextLink::SetAccessibleProperties(LONG role, const std::wstring& name) {
  if (accessible_)
    accessible_->SetProperties(role, name, L"");
}

bool TextLink::ProcessWindowMessage(HWND window,
                                    UINT message,
                                    WPARAM wparam,
                                    LPARAM lparam,
                                    LRESULT* result) {
  if (message == WM_SETCURSOR) {
    ::SetCursor(hand_cursor_);
    *result = 1;
    return true;
  }
  return WindowObject::ProcessWindowMessage(window, message, wparam, lparam, result);
}

void TextLink::OnDrawItem(const DRAWITEMSTRUCT& item) {
  const RECT rect = item.rcItem;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  OffscreenDC offscreen(item.hDC, rect);
  HDC dc = offscreen.dc();
  const POINT origin = PositionInParent(hwnd_);
  background_.Draw(dc, rect.left, rect.top, width, height, origin.x, origin.y, width, height);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
  text.resize(::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size())));
  DrawAlphaText(dc, rect, text, font_, colour_, alpha_, DT_WORDBREAK);
  if (item.itemState & ODS_FOCUS)
    ::DrawFocusRect(dc, &rect);
}

}  // namespace lite_installer

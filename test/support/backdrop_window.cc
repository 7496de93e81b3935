#include "test/support/backdrop_window.h"

namespace test {

namespace {

constexpr wchar_t kClassName[] = L"LiteTestBackdrop";

}  // namespace

BackdropWindow::BackdropWindow(const RECT& rect, COLORREF colour)
    : colour_(colour), brush_(::CreateSolidBrush(colour)) {
  static const ATOM registered = [] {
    WNDCLASSEXW window_class = {sizeof(window_class)};
    window_class.lpfnWndProc = &BackdropWindow::WindowProc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClassName;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    return ::RegisterClassExW(&window_class);
  }();
  if (!registered)
    return;
  window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kClassName, L"backdrop",
                              WS_POPUP, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
  if (window_) {
    ::SetWindowPos(window_, HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::UpdateWindow(window_);
  }
}

BackdropWindow::~BackdropWindow() {
  if (window_)
    ::DestroyWindow(window_);
  if (brush_)
    ::DeleteObject(brush_);
}

LRESULT CALLBACK BackdropWindow::WindowProc(HWND window,
                                            UINT message,
                                            WPARAM wparam,
                                            LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (message == WM_ERASEBKGND) {
    auto* self = reinterpret_cast<BackdropWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    RECT client;
    ::GetClientRect(window, &client);
    ::FillRect(reinterpret_cast<HDC>(wparam), &client, self->brush_);
    return 1;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace test

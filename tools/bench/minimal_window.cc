// The floor of the first-paint benchmark (tools/bench/first_paint_time.sh):
// a Windows GUI program built and linked like the installer that shows one
// borderless 802 x 430 window filled with one colour, RGB(0x3b, 0x4b,
// 0xd8), centred on the work area, until it is closed.
#include <windows.h>

namespace {

constexpr COLORREF kColour = RGB(0x3b, 0x4b, 0xd8);

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      HBRUSH brush = ::CreateSolidBrush(kColour);
      ::FillRect(dc, &paint.rcPaint, brush);
      ::DeleteObject(brush);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = L"MinimalWindow";
  if (!::RegisterClassW(&window_class))
    return 1;
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = 802;
  const int height = 430;
  HWND window = ::CreateWindowExW(
      WS_EX_APPWINDOW, L"MinimalWindow", L"Minimal window", WS_POPUP,
      work.left + (work.right - work.left - width) / 2,
      work.top + (work.bottom - work.top - height) / 2, width, height, nullptr, nullptr,
      instance, nullptr);
  if (!window)
    return 1;
  ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

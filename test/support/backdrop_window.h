#ifndef TEST_SUPPORT_BACKDROP_WINDOW_H_
#define TEST_SUPPORT_BACKDROP_WINDOW_H_

#include <windows.h>

namespace test {

// A plain top-level window of one known colour, shown without activation
// at the bottom of the z-order, for tests that check what a shaped or
// semi-transparent window lets through.
class BackdropWindow {
 public:
  BackdropWindow(const RECT& rect, COLORREF colour);
  BackdropWindow(const BackdropWindow&) = delete;
  BackdropWindow& operator=(const BackdropWindow&) = delete;
  ~BackdropWindow();

  HWND window() const { return window_; }
  COLORREF colour() const { return colour_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
  COLORREF colour_;
  HBRUSH brush_ = nullptr;
};

}  // namespace test

#endif  // TEST_SUPPORT_BACKDROP_WINDOW_H_

#ifndef TEST_SUPPORT_UI_INPUT_H_
#define TEST_SUPPORT_UI_INPUT_H_

#include <windows.h>

#include <functional>

namespace test {

// Synthetic user input through SendInput, at screen coordinates. Input
// reaches the window under the cursor (or the capture, or for keys the
// foreground window) in whatever process owns it. Each call returns false
// when SendInput refused an event or the cursor did not arrive.
bool MoveCursor(POINT to);
bool PressLeftButton(POINT at);
bool ReleaseLeftButton(POINT at);
// Press and release at `at`.
bool Click(POINT at);
// Press at `at`, keep the button down for `hold_ms`, release.
bool Hold(POINT at, DWORD hold_ms);
// Press at `from`, move by `delta` in `steps` equal steps (the last one
// absorbs the remainder), release. `after_step` (optional) runs after each
// move, for the caller to wait until the window processed it; returning
// false stops the drag before the release.
bool Drag(POINT from, POINT delta, int steps, const std::function<bool(int step)>& after_step = {});
// Presses and releases the virtual key `key`.
bool KeyPress(WORD key);
// Presses `key` while `modifier` (VK_MENU, VK_SHIFT...) is held.
bool KeyChord(WORD modifier, WORD key);
// Makes `window` the foreground window (keys go there); false when the
// system refused.
bool BringToForeground(HWND window);

// Dispatches this thread's messages until `done` answers true or
// `timeout_ms` passes; the last answer of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);

// The centre of `window`'s window rectangle (or of its `client_point`, in
// client coordinates, when given) in screen coordinates.
POINT ScreenPointOf(HWND window);
POINT ScreenPointOf(HWND window, POINT client_point);

}  // namespace test

#endif  // TEST_SUPPORT_UI_INPUT_H_

#include "test/support/ui_input.h"

namespace test {

namespace {

// Absolute mouse coordinates run 0..65535 over the primary screen; the
// system maps them back with x = dx * width / 65536 (truncating), so
// rounding up lands on the wanted pixel.
LONG ToAbsolute(LONG pixel, int extent) {
  return static_cast<LONG>((static_cast<LONGLONG>(pixel) * 65536 + extent - 1) / extent);
}

bool CursorIs(POINT at) {
  POINT now = {};
  return ::GetCursorPos(&now) && now.x == at.x && now.y == at.y;
}

bool SendMouseInput(POINT at, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dx = ToAbsolute(at.x, ::GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = ToAbsolute(at.y, ::GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  return ::SendInput(1, &input, sizeof(input)) == 1;
}

// Under Wine the X pointer follows an injected move a little later, and an
// X crossing event from before it can put the cursor back where it was:
// a move counts once the cursor stayed at its target for a while.
bool SettleCursorAt(POINT at) {
  constexpr int kAttempts = 5;
  constexpr DWORD kSettleMs = 40;
  constexpr DWORD kArriveMs = 300;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (!SendMouseInput(at, MOUSEEVENTF_MOVE))
      return false;
    const DWORD start = ::GetTickCount();
    DWORD stayed_since = 0;
    bool there = false;
    while (::GetTickCount() - start < kArriveMs) {
      if (CursorIs(at)) {
        if (!there)
          stayed_since = ::GetTickCount();
        there = true;
        if (::GetTickCount() - stayed_since >= kSettleMs)
          return true;
      } else {
        there = false;
      }
      ::Sleep(5);
    }
  }
  return false;
}

bool SendButton(POINT at, DWORD flags) {
  return SettleCursorAt(at) && SendMouseInput(at, flags) && CursorIs(at);
}

}  // namespace

bool MoveCursor(POINT to) {
  return SettleCursorAt(to);
}

bool PressLeftButton(POINT at) {
  return SendButton(at, MOUSEEVENTF_LEFTDOWN);
}

bool ReleaseLeftButton(POINT at) {
  return SendButton(at, MOUSEEVENTF_LEFTUP);
}

bool Click(POINT at) {
  return MoveCursor(at) && PressLeftButton(at) && ReleaseLeftButton(at);
}

bool Hold(POINT at, DWORD hold_ms) {
  if (!MoveCursor(at) || !PressLeftButton(at))
    return false;
  ::Sleep(hold_ms);
  return ReleaseLeftButton(at);
}

bool Drag(POINT from, POINT delta, int steps, const std::function<bool(int step)>& after_step) {
  if (steps < 1 || !MoveCursor(from) || !PressLeftButton(from))
    return false;
  POINT at = from;
  for (int step = 1; step <= steps; ++step) {
    at = {from.x + delta.x * step / steps, from.y + delta.y * step / steps};
    if (!MoveCursor(at))
      return false;
    if (after_step && !after_step(step))
      return false;
  }
  return ReleaseLeftButton(at);
}

bool KeyPress(WORD key) {
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = key;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return ::SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool KeyChord(WORD modifier, WORD key) {
  INPUT inputs[4] = {};
  for (INPUT& input : inputs)
    input.type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[3].ki.wVk = modifier;
  inputs[1].ki.wVk = inputs[2].ki.wVk = key;
  inputs[2].ki.dwFlags = inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
  return ::SendInput(4, inputs, sizeof(INPUT)) == 4;
}

bool BringToForeground(HWND window) {
  ::SetForegroundWindow(window);
  return ::GetForegroundWindow() == window;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start >= timeout_ms)
      return done();
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

POINT ScreenPointOf(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT ScreenPointOf(HWND window, POINT client_point) {
  ::ClientToScreen(window, &client_point);
  return client_point;
}

}  // namespace test

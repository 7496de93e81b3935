#include "test/support/installer_window_driver.h"

#include <vector>

#include "test/support/ui_accessibility.h"
#include "test/support/ui_input.h"

namespace test {

namespace {

constexpr UINT kProgressUpdateMessage = WM_APP + 100;

bool IsVisibleDialog(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  const LONG style = ::GetWindowLongW(window, GWL_STYLE);
  return (style & (WS_CHILD | WS_VISIBLE)) == WS_VISIBLE && wcscmp(name, L"#32770") == 0;
}

}  // namespace

HWND InstallerWindowDriver::WaitForWindow(DWORD timeout_ms) {
  window_ = nullptr;
  PumpUntil(
      [&] {
        for (HWND window : ProcessWindows(pid_)) {
          if (IsVisibleDialog(window) && ::GetDlgItem(window, kCloseButtonId)) {
            window_ = window;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return window_;
}

HWND InstallerWindowDriver::WaitForOtherDialog(DWORD timeout_ms) {
  HWND found = nullptr;
  PumpUntil(
      [&] {
        for (HWND window : ProcessWindows(pid_)) {
          if (window != window_ && IsVisibleDialog(window) && ::GetDlgItem(window, IDOK)) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeout_ms);
  return found;
}

bool InstallerWindowDriver::WaitForControl(int id, DWORD timeout_ms) {
  return PumpUntil(
      [&] {
        HWND control = window_ ? ::GetDlgItem(window_, id) : nullptr;
        return control && ::IsWindowVisible(control);
      },
      timeout_ms);
}

bool InstallerWindowDriver::ClickControl(int id, HWND dialog) {
  if (!dialog)
    dialog = window_;
  HWND control = dialog ? ::GetDlgItem(dialog, id) : nullptr;
  if (!control)
    return false;
  // The mouse reaches the window under it in any case; in front, nothing
  // else can be under it. The window manager-less display may need a moment.
  PumpUntil([&] { return BringToForeground(dialog); }, 2000);
  return Click(ScreenPointOf(control));
}

bool InstallerWindowDriver::PressKey(WORD key, HWND dialog) {
  if (!dialog)
    dialog = window_;
  return dialog && PumpUntil([&] { return BringToForeground(dialog); }, 2000) && KeyPress(key);
}

std::wstring InstallerWindowDriver::StatusText() {
  HWND status = window_ ? ::GetDlgItem(window_, kStatusLineId) : nullptr;
  if (!status)
    return std::wstring();
  wchar_t text[256] = {};
  ::GetWindowTextW(status, text, 256);
  return text;
}

RECT InstallerWindowDriver::ControlRect(int id) {
  RECT rect = {};
  HWND control = window_ ? ::GetDlgItem(window_, id) : nullptr;
  if (control && ::GetWindowRect(control, &rect))
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND InstallerWindowDriver::ShadowWindow() {
  for (HWND window : ProcessWindows(pid_)) {
    if (window_ && ::GetWindow(window, GW_OWNER) == window_ &&
        (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) {
      return window;
    }
  }
  return nullptr;
}

int InstallerWindowDriver::FocusedId() {
  GUITHREADINFO info = {sizeof(info)};
  if (!window_ || !::GetGUIThreadInfo(::GetWindowThreadProcessId(window_, nullptr), &info) ||
      !info.hwndFocus || ::GetParent(info.hwndFocus) != window_) {
    return 0;
  }
  return ::GetDlgCtrlID(info.hwndFocus);
}

bool InstallerWindowDriver::PostRegistered(const wchar_t* name, WPARAM wparam, LPARAM lparam) {
  return window_ && ::PostMessageW(window_, ::RegisterWindowMessageW(name), wparam, lparam);
}

bool InstallerWindowDriver::SendRegistered(const wchar_t* name, LRESULT* answer, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  if (!window_ || !::SendMessageTimeoutW(window_, ::RegisterWindowMessageW(name), 0, 0,
                                         SMTO_NORMAL, timeout_ms, &result)) {
    return false;
  }
  *answer = static_cast<LRESULT>(result);
  return true;
}

bool InstallerWindowDriver::PostProgress(int percent) {
  return window_ && ::PostMessageW(window_, kProgressUpdateMessage, static_cast<WPARAM>(percent), 0);
}

}  // namespace test

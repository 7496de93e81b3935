#ifndef TEST_SUPPORT_INSTALLER_WINDOW_DRIVER_H_
#define TEST_SUPPORT_INSTALLER_WINDOW_DRIVER_H_

#include <windows.h>

#include <string>

namespace test {

// Controls of the installation window as a test sees them from outside (the
// numbers of the window's dialog template).
inline constexpr int kInstallButtonId = 1;  // Resume while the download is paused
inline constexpr int kResumeButtonId = 1;
inline constexpr int kTitleId = 107;
inline constexpr int kDefaultBrowserCheckboxId = 109;
inline constexpr int kStatisticsCheckboxId = 110;
inline constexpr int kCancelButtonId = 212;
inline constexpr int kCloseButtonId = 213;
inline constexpr int kCollapseButtonId = 214;
inline constexpr int kProgressBarId = 215;
inline constexpr int kPrivacyLinkId = 218;
inline constexpr int kLicenseLinkId = 223;
inline constexpr int kStatusLineId = 224;

// Drives the installation window of installer process `pid` from another
// process (or from a test thread of the same one): finds the window and
// its dialogs, clicks controls with real input, reads the status line and
// the progress bar's place, and posts or sends the messages setup sends.
class InstallerWindowDriver {
 public:
  explicit InstallerWindowDriver(DWORD pid) : pid_(pid) {}

  // The visible installation window (the dialog that holds control 213),
  // waiting up to `timeout_ms`; null when it never came.
  HWND WaitForWindow(DWORD timeout_ms = 30000);
  // A visible dialog of the process other than the installation window
  // (an error or notice dialog); null when none came within `timeout_ms`.
  HWND WaitForOtherDialog(DWORD timeout_ms = 30000);
  // Waits until control `id` of the window is visible.
  bool WaitForControl(int id, DWORD timeout_ms = 30000);

  // Brings `dialog` (default: the installation window) to the foreground
  // and clicks the centre of its control `id` with SendInput.
  bool ClickControl(int id, HWND dialog = nullptr);
  // Presses a key in the foreground window.
  bool PressKey(WORD key, HWND dialog = nullptr);

  // Control 224's text; control 215's rectangle in the window's client
  // area (empty when the control is missing).
  std::wstring StatusText();
  RECT ControlRect(int id);
  // The window's drop shadow: the layered window of the process that the
  // installation window owns (null when none).
  HWND ShadowWindow();
  // The id of the control that has the keyboard focus on the window's
  // thread; 0 when none of the window's controls has it.
  int FocusedId();
  HWND window() const { return window_; }

  // The message registered under `name`, posted or sent to the window.
  bool PostRegistered(const wchar_t* name, WPARAM wparam = 0, LPARAM lparam = 0);
  // Sent, waiting at most `timeout_ms` for the answer; false on time-out.
  bool SendRegistered(const wchar_t* name, LRESULT* answer, DWORD timeout_ms = 30000);
  // The window's own progress message (WM_APP + 100).
  bool PostProgress(int percent);

 private:
  DWORD pid_;
  HWND window_ = nullptr;
};

}  // namespace test

#endif  // TEST_SUPPORT_INSTALLER_WINDOW_DRIVER_H_

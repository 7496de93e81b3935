#ifndef TEST_SUPPORT_TEST_DIALOG_H_
#define TEST_SUPPORT_TEST_DIALOG_H_

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "chrome/installer/lite_installer/window_object.h"
#include "test/support/ui_input.h"
#include "test/support/ui_test_dialogs.h"

namespace test {

// The test template (test/data/ui_test_dialogs.rc) run modally by a
// WindowObject that records what reaches it. A script runs on its own
// thread once the dialog is up (so that SendInput's events reach the modal
// loop) and the dialog ends with the script's result.
class TestDialog : public lite_installer::WindowObject {
 public:
  // Messages the script posts for the dialog's thread to act on.
  static constexpr UINT kEndMessage = WM_APP + 1;           // wParam: result
  static constexpr UINT kReleaseCaptureMessage = WM_APP + 2;

  struct Seen {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };

  using Script = std::function<INT_PTR(TestDialog* dialog)>;

  // The dialog's top-left corner is put at `position` before the script runs.
  TestDialog(POINT position, Script script) : position_(position), script_(std::move(script)) {}
  ~TestDialog() override {
    if (script_thread_.joinable())
      script_thread_.join();
  }

  int GetDialogTemplateId() override { return LITE_TEST_DIALOG; }

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override {
    {
      std::lock_guard<std::mutex> lock(seen_lock_);
      seen_.push_back({message, wparam, lparam});
    }
    if (message == WM_INITDIALOG) {
      init_lparam_ = lparam;
      registered_at_init_ = FromHandle(window) == this;
      ::SetWindowPos(window, HWND_TOP, position_.x, position_.y, 0, 0, SWP_NOSIZE);
      OnInit(window);
      script_thread_ = std::thread([this, window] {
        const INT_PTR end = script_(this);
        ::PostMessageW(window, kEndMessage, static_cast<WPARAM>(end), 0);
      });
      return true;
    }
    if (message == kEndMessage) {
      ::EndDialog(window, static_cast<INT_PTR>(wparam));
      return true;
    }
    if (message == kReleaseCaptureMessage) {
      ::ReleaseCapture();
      capture_released_ = true;
      return true;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == LITE_TEST_DIALOG_BUTTON) {
      ++button_clicks_;
      return true;
    }
    if (message == move_window_message())
      OnMoveWindow(window);
    return false;
  }

  // What reached ProcessWindowMessage so far, in order.
  std::vector<Seen> seen() {
    std::lock_guard<std::mutex> lock(seen_lock_);
    return seen_;
  }
  size_t CountSeen(UINT message) {
    size_t count = 0;
    for (const Seen& s : seen())
      count += s.message == message;
    return count;
  }
  RECT WindowRect() const {
    RECT rect = {};
    ::GetWindowRect(hwnd_, &rect);
    return rect;
  }
  // A point of the dialog's own background, in screen coordinates.
  POINT BackgroundPoint() const { return ScreenPointOf(hwnd_, {150, 60}); }
  POINT ButtonPoint() const {
    return ScreenPointOf(::GetDlgItem(hwnd_, LITE_TEST_DIALOG_BUTTON));
  }

  LPARAM init_lparam() const { return init_lparam_; }
  bool registered_at_init() const { return registered_at_init_; }
  int button_clicks() const { return button_clicks_; }
  bool capture_released() const { return capture_released_; }

 protected:
  // Hooks for dialogs that own more (a shadow): at start and after moves.
  virtual void OnInit(HWND window) {}
  virtual void OnMoveWindow(HWND window) {}

 private:
  POINT position_;
  Script script_;
  std::thread script_thread_;
  std::mutex seen_lock_;
  std::vector<Seen> seen_;
  LPARAM init_lparam_ = 0;
  bool registered_at_init_ = false;
  std::atomic<int> button_clicks_{0};
  std::atomic<bool> capture_released_{false};
};

// Waits (without pumping: the dialog's thread does that) until `done`.
inline bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start >= timeout_ms)
      return done();
    ::Sleep(10);
  }
  return true;
}

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline RECT Offset(RECT rect, LONG dx, LONG dy) {
  ::OffsetRect(&rect, dx, dy);
  return rect;
}

}  // namespace test

#endif  // TEST_SUPPORT_TEST_DIALOG_H_

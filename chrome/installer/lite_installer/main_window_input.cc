// What the installation window does with the user's input, its own timer
// and setup's progress reports, and the statistics event of each action.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

namespace lite_installer {
namespace {

// The arrow-key hook of the process: it works on one window, on the thread
// that installed it, so its state needs no lock.
struct ArrowKeyHook {
  HHOOK hook = nullptr;
  HWND window = nullptr;
  uint8_t left_or_up = 0;
  uint8_t right_or_down = 0;
};
ArrowKeyHook g_arrow_keys;

// Focuses `to` when `from` of the hooked window has the focus and `flag`
// was set by the key's previous call (its down or up).
void MoveFocusOnSecondCall(int from, int to, uint8_t* flag) {
  HWND focused = ::GetFocus();
  if (!focused || focused != ::GetDlgItem(g_arrow_keys.window, from))
    return;
  if (!*flag) {
    *flag = 1;
    return;
  }
  *flag = 0;
  ::SetFocus(::GetDlgItem(g_arrow_keys.window, to));
}

LRESULT CALLBACK ArrowKeyHookProc(int code, WPARAM key, LPARAM data) {
  if (code == HC_ACTION) {
    if (key == VK_LEFT || key == VK_UP)
      MoveFocusOnSecondCall(kInstallButtonId, kLicenseLinkId, &g_arrow_keys.left_or_up);
    else if (key == VK_RIGHT || key == VK_DOWN)
      MoveFocusOnSecondCall(kLicenseLinkId, kInstallButtonId, &g_arrow_keys.right_or_down);
  }
  return ::CallNextHookEx(g_arrow_keys.hook, code, key, data);
}

bool IsPlainLanguageByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

}  // namespace

void SetArrowKeyHook(HWND window) {
  if (!g_arrow_keys.hook) {
    g_arrow_keys.hook =
        ::SetWindowsHookExW(WH_KEYBOARD, &ArrowKeyHookProc, nullptr, ::GetCurrentThreadId());
    if (!g_arrow_keys.hook)
      PLOG(ERROR) << "Failed to hook the keyboard of thread " << ::GetCurrentThreadId();
  }
  g_arrow_keys.window = window;
}

void RemoveArrowKeyHook() {
  if (g_arrow_keys.hook && !::UnhookWindowsHookEx(g_arrow_keys.hook))
    PLOG(ERROR) << "Failed to unhook the keyboard of thread " << ::GetCurrentThreadId();
  g_arrow_keys = ArrowKeyHook();
}

std::wstring MakeLinkAddress(const std::string& base, const std::string& language) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string address = base + "?lang=";
  for (unsigned char c : language) {
    if (IsPlainLanguageByte(c)) {
      address += static_cast<char>(c);
    } else {
      address += '%';
      address += kHex[c >> 4];
      address += kHex[c & 15];
    }
  }
  for (unsigned char c : address) {
    if (c > 0x7F)
      return base::UTF8ToWide(address);
  }
  return std::wstring(address.begin(), address.end());
}

int InstallStagePercent(WPARAM stage) {
  return stage == 5 ? 75 : (stage == 7 ? 79 : 0);
}

bool ImportProgressPercent(WPARAM imported, int* percent) {
  if (imported > 100)
    return false;
  const float q = static_cast<float>(imported) / 100.0f;
  *percent = static_cast<int>(q * 100.0f + (1.0f - q) * 80.0f);
  return true;
}

bool AllowMessageThroughFilter(HWND window, UINT message, int windows_version) {
  if (windows_version < 3)
    return true;
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  if (!user32) {
    PLOG(ERROR) << "Failed to find user32.dll for the message filter of " << message;
    return false;
  }
  if (windows_version >= 4) {
    using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    auto filter = reinterpret_cast<FilterEx>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    return filter && filter(window, message, 1, nullptr) == 1;
  }
  using Filter = BOOL(WINAPI*)(UINT, DWORD);
  auto filter = reinterpret_cast<Filter>(
      reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilter")));
  return filter && filter(message, 1) == 1;
}

void MainWindow::EndOnce(INT_PTR result) {
  // The first ending stands: a later one (Cancel confirmed after the
  // installation finished) must not turn a finished run into a cancelled one.
  if (end_result_set_)
    return;
  end_result_set_ = 1;
  if (cancel_confirmation_)
    cancel_confirmation_->End(1);
  ::EndDialog(hwnd_, result);
}

void MainWindow::OnInstallCommand() {
  if (hand_over_.install_requested())
    return;
  const bool skipped = distrib_params_ && IsWelcomeScreenSkipped(brand_, *distrib_params_);
  hand_over_.RequestInstall();
  if (skipped) {
    // The installation started with the window; an error recorded
    // meanwhile is shown now.
    bool show = false;
    if (const int32_t kind = hand_over_.TakePendingError(&show); kind && show)
      ShowErrorDialogAndEnd(kind);
    return;
  }
  if (installer_) {
    installer_->SetOkButtonPressedTime();
    installer_->SendClickedButtonEvent(L"install");
    bool fixed = false;
    int statistics = 255;
    if (distrib_params_ && GetStatisticsOverride(*distrib_params_, &fixed))
      statistics = fixed ? 1 : 0;
    else if (stats_checkbox_)
      statistics = stats_checkbox_->IsChecked() ? 1 : 0;
    int make_default = 0;
    if (distrib_params_ && GetMakeDefaultOverride(*distrib_params_, &fixed))
      make_default = fixed ? 1 : 0;
    else if (default_checkbox_)
      make_default = default_checkbox_->IsChecked() ? 1 : 0;
    installer_->SendInstallButtonClickedEvent(make_default != 0, statistics != 0);
  }
  if (LayoutProgressDialog()) {
    ::InvalidateRect(hwnd_, nullptr, TRUE);
    RefreshShadow(progress_background_);
  }
}

bool MainWindow::ConfirmClose(int command) {
  if (command == kEscapeCommandId) {
    if (installer_)
      installer_->SendClickedButtonEvent(L"cancel");
    return false;
  }
  if (!progress_active_) {
    if (installer_)
      installer_->SendClickedButtonEvent(L"close");
    return true;
  }
  const INT_PTR answer = cancel_confirmation_ ? cancel_confirmation_->Run(hwnd_)
                                              : static_cast<INT_PTR>(kCloseButtonId);
  // The installation ended while the question was open: its result stands.
  if (end_result_set_)
    return false;
  if (answer != kCancelButtonId && answer != kCloseButtonId)
    return false;
  if (installer_) {
    installer_->IncrementCancelCount();
    installer_->SendClickedButtonEvent(L"cancel");
  }
  return true;
}

void MainWindow::OnSystemCommand(WPARAM command) {
  // Whole values: moving, sizing and minimising from the system menu do
  // nothing.
  if (command == SC_RESTORE) {
    if (installer_)
      installer_->SendClickedButtonEvent(L"restore");
    ::ShowWindow(hwnd_, SW_RESTORE);
  } else if (command == SC_CLOSE) {
    EndOnce(2);
  }
}

void MainWindow::OnCollapseCommand() {
  HideShadow();
  ::ShowWindow(hwnd_, SW_SHOWMINIMIZED);
  if (installer_)
    installer_->SendClickedButtonEvent(L"minimize");
}

void MainWindow::OnLinkCommand(int id) {
  if (!brand_)
    return;
  std::string language;
  if (!distrib_params_ || !distrib_params_->Get("lang", &language))
    language = brand_->language_;
  const std::wstring address = MakeLinkAddress(
      id == kPrivacyLinkId ? brand_->privacy_policy_url_ : brand_->license_url_, language);
  ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
  if (installer_)
    installer_->SendClickedLinkEvent(address);
}

void MainWindow::OnCheckboxCommand(int id) {
  LinkCheckbox* checkbox = id == kDefaultBrowserCheckboxId ? default_checkbox_.get()
                           : id == kStatisticsCheckboxId   ? stats_checkbox_.get()
                                                           : shortcut_checkbox_.get();
  if (checkbox)
    checkbox->Toggle();
  if (installer_) {
    installer_->SendChosenCheckboxEvent(id == kDefaultBrowserCheckboxId ? L"default"
                                        : id == kStatisticsCheckboxId   ? L"sendstat"
                                                                        : L"nrpin_trial");
  }
}

void MainWindow::OnMoveWindow() {
  RECT rect;
  if (!shadow_window_ || !::IsWindow(hwnd_) || !::GetWindowRect(hwnd_, &rect))
    return;
  const int m = static_cast<int>(8 * GetDeviceScaleFactor());
  ::MoveWindow(shadow_window_, rect.left - m, rect.top - m, rect.right - rect.left + 2 * m,
               rect.bottom - rect.top + 2 * m, TRUE);
}

void MainWindow::OnInstallProgress(WPARAM stage) {
  const int percent = InstallStagePercent(stage);
  LOG(INFO) << "--> Installer > MainWindow::OnInstallProgress: " << percent;
  if (percent != 0)
    SetProgress(percent);
}

void MainWindow::OnImportProgress(WPARAM imported) {
  LOG(INFO) << "--> Installer > MainWindow::OnImportProgress: " << imported;
  int percent = 0;
  if (!ImportProgressPercent(imported, &percent)) {
    LOG(ERROR) << "Import progress out of range ignored: " << imported;
    return;
  }
  SetProgress(percent);
}

}  // namespace lite_installer

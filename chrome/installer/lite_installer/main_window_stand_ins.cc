#include "chrome/installer/lite_installer/main_window_stand_ins.h"

#include <iterator>
#include <string>

#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// Title and text of the stand-in dialogs, by family and kind.
struct DialogTexts {
  UINT title;
  UINT text;
  UINT primary;
  UINT secondary;  // 0: none
};

DialogTexts TextsFor(NoticeDialog::Family family, int kind) {
  switch (family) {
    case NoticeDialog::Family::kCancelConfirmation:
      return {419, 0, 420, 421};
    case NoticeDialog::Family::kNotice:
      if (kind == 3)
        return {497, 498, 461, 0};
      if (kind == 4)
        return {491, 492, 495, 496};
      return {454, 455, 461, 0};
    case NoticeDialog::Family::kError:
      break;
  }
  return {432, 434, 461, 0};
}

}  // namespace

void LogProvisionalOnce(const char* what) {
  // Callers pass literals: the address names the stand-in.
  static SRWLOCK lock = SRWLOCK_INIT;
  static const char* logged[32];
  static size_t count = 0;
  ::AcquireSRWLockExclusive(&lock);
  bool first = count < std::size(logged);
  for (size_t i = 0; i < count && first; ++i)
    first = logged[i] != what;
  if (first)
    logged[count++] = what;
  ::ReleaseSRWLockExclusive(&lock);
  if (first)
    LOG(INFO) << what << " is provisional";
}

NoticeDialog::NoticeDialog(Family family, int kind, LANGID language_id)
    : family_(family), kind_(kind), language_id_(language_id) {
  LogProvisionalOnce("The plain error and notice dialog");
}

NoticeDialog::~NoticeDialog() = default;

int NoticeDialog::GetDialogTemplateId() {
  return kNoticeDialogTemplateId;
}

INT_PTR NoticeDialog::Show(HWND owner) {
  const INT_PTR result = RunModal(owner);
  Detach();
  return result;
}

void NoticeDialog::End(INT_PTR result) {
  if (hwnd_ && ::IsWindow(hwnd_))
    ::EndDialog(hwnd_, result);
}

bool NoticeDialog::ProcessWindowMessage(HWND window,
                                        UINT message,
                                        WPARAM wparam,
                                        LPARAM lparam,
                                        LRESULT* result) {
  if (message == WM_INITDIALOG) {
    const DialogTexts texts = TextsFor(family_, kind_);
    ::SetWindowTextW(window, LoadLocalizedString(texts.title, language_id_).c_str());
    SetItemTextFromResource(107, texts.title, language_id_);
    if (texts.text)
      SetItemTextFromResource(108, texts.text, language_id_);
    SetItemTextFromResource(1, texts.primary, language_id_);
    if (texts.secondary) {
      SetItemTextFromResource(212, texts.secondary, language_id_);
    } else {
      ::ShowWindow(::GetDlgItem(window, 212), SW_HIDE);
    }
    CenterWindow();
    ::SetForegroundWindow(window);
    *result = 1;
    return true;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    const int id = LOWORD(wparam);
    if (id == 1 || id == 212 || id == 213) {
      ::EndDialog(window, id);
    } else if (id == IDCANCEL) {
      ::EndDialog(window, 213);
    } else {
      return false;
    }
    *result = 0;
    return true;
  }
  return false;
}

std::unique_ptr<NoticeDialog> CreateErrorDialog(int kind, LANGID language_id) {
  if (kind == kInstallErrorNone)
    return nullptr;
  return std::make_unique<NoticeDialog>(NoticeDialog::Family::kError, kind, language_id);
}

std::unique_ptr<NoticeDialog> CreateNoticeDialog(int kind, LANGID language_id) {
  return std::make_unique<NoticeDialog>(NoticeDialog::Family::kNotice, kind, language_id);
}

std::unique_ptr<NoticeDialog> CreateCancelConfirmation(LANGID language_id) {
  return std::make_unique<NoticeDialog>(NoticeDialog::Family::kCancelConfirmation, 0,
                                        language_id);
}

void HandleInstallCommand(MainWindow* window) {
  LogProvisionalOnce("The Install command without the elevated copy");
  window->hand_over().RequestInstall();
  if (!window->progress_active()) {
    if (Installer* installer = window->installer()) {
      installer->SetOkButtonPressedTime();
      installer->SendClickedButtonEvent(L"install");
      installer->SendInstallButtonClickedEvent(
          window->default_checkbox() && window->default_checkbox()->IsChecked(),
          window->stats_checkbox() && window->stats_checkbox()->IsChecked());
    }
    window->LayoutProgressDialog();
    return;
  }
  // The progress screen came without Install (welcome screen skipped): an
  // error recorded meanwhile is shown now.
  bool show = false;
  if (const int32_t kind = window->hand_over().TakePendingError(&show); kind && show)
    window->ShowErrorDialogAndEnd(kind);
}

void HandleCloseCommand(MainWindow* window, int command) {
  LogProvisionalOnce("Closing without the cancel confirmation");
  if (Installer* installer = window->installer()) {
    // Esc, or Close once the installation runs, cancels; Close on the
    // welcome screen closes.
    const bool cancel = command == kEscapeCommandId || window->progress_active();
    installer->SendClickedButtonEvent(cancel ? L"cancel" : L"close");
  }
  ::EndDialog(window->hwnd(), kCloseButtonId);
}

void HandleSystemCommand(MainWindow* window, WPARAM command) {
  switch (command & 0xFFF0) {
    case SC_CLOSE:
      LogProvisionalOnce("The system menu's Close without the cancel confirmation");
      ::EndDialog(window->hwnd(), 2);
      break;
    case SC_RESTORE:
      if (Installer* installer = window->installer())
        installer->SendClickedButtonEvent(L"restore");
      ::DefWindowProcW(window->hwnd(), WM_SYSCOMMAND, command, 0);
      break;
    case SC_MINIMIZE:
    case SC_MOVE:
      ::DefWindowProcW(window->hwnd(), WM_SYSCOMMAND, command, 0);
      break;
  }
}

void HandleCheckboxCommand(MainWindow* window, int id) {
  LogProvisionalOnce("Checkbox clicks");
  LinkCheckbox* checkbox = id == kDefaultBrowserCheckboxId ? window->default_checkbox()
                           : id == kStatisticsCheckboxId   ? window->stats_checkbox()
                                                           : window->shortcut_checkbox();
  if (checkbox)
    checkbox->Toggle();
  if (Installer* installer = window->installer()) {
    installer->SendChosenCheckboxEvent(id == kDefaultBrowserCheckboxId ? L"default"
                                       : id == kStatisticsCheckboxId   ? L"sendstat"
                                                                       : L"nrpin_trial");
  }
}

void HandleCollapseCommand(MainWindow* window) {
  LogProvisionalOnce("Collapse without the shadow");
  if (Installer* installer = window->installer())
    installer->SendClickedButtonEvent(L"minimize");
  ::ShowWindow(window->hwnd(), SW_MINIMIZE);
}

void HandleTimer(MainWindow* window) {
  LogProvisionalOnce("The progress screen's tick without slides");
  ::InvalidateRect(window->hwnd(), nullptr, FALSE);
}

void HandleInstallProgress(MainWindow* window, WPARAM stage) {
  LogProvisionalOnce("Setup's stage reports");
  const int percent = stage == 5 ? 75 : (stage == 7 ? 79 : 0);
  LOG(INFO) << "--> Installer > MainWindow::OnInstallProgress: " << percent;
  if (percent != 0)
    window->SetProgress(percent);
}

void HandleImportProgress(MainWindow* window, WPARAM percent) {
  LogProvisionalOnce("Setup's import reports");
  LOG(INFO) << "--> Installer > MainWindow::OnImportProgress: " << percent;
  const float q = static_cast<float>(percent) / 100.0f;
  window->SetProgress(static_cast<int32_t>(q * 100.0f + (1.0f - q) * 80.0f));
}

bool AllowMessageThroughFilter(HWND window, UINT message, int windows_version) {
  LogProvisionalOnce("The message filter");
  HMODULE user32 = ::GetModuleHandleA("user32.dll");
  if (!user32)
    return false;
  if (windows_version >= 4) {
    using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    auto filter = reinterpret_cast<FilterEx>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    return filter && filter(window, message, 1, nullptr) == 1;
  }
  if (windows_version == 3) {
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    auto filter = reinterpret_cast<Filter>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilter")));
    return filter && filter(message, 1) == 1;
  }
  return true;
}

bool NeedStartThisProcessAsAdmin(const Installer* installer) {
  LogProvisionalOnce("Running without the elevated copy");
  return false;
}

bool RestartAsAdmin(Installer* installer) {
  return false;
}

}  // namespace lite_installer

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

}  // namespace lite_installer

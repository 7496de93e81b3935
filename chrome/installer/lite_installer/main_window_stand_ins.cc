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

// The face every stand-in font uses: one that every Windows (and Wine) has.
constexpr wchar_t kSystemFontFace[] = L"Tahoma";

HFONT CreateSystemFont(int size, int weight) {
  return ::CreateFontW(-ScaleValue(size), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       kSystemFontFace);
}

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

RECT MakeLayoutRect(int left, int top, int right, int bottom) {
  return {left + 1, top + 1, right + 1 < 801 ? right + 1 : right,
          bottom + 1 < 428 ? bottom + 1 : bottom};
}

WindowLayout::WindowLayout(int windows_version, uint32_t kind, bool welcome_skipped)
    : windows_version_(windows_version), kind_(kind & 3), welcome_skipped_(welcome_skipped) {
  LogProvisionalOnce("The installation window's layout");
}

RECT WindowLayout::GetTitleRect() const {
  const int bar_top = MakeLayoutRect(60, 357, 453, 362).top;
  return MakeLayoutRect(60, welcome_skipped_ ? 146 : 98, 472, bar_top - 1);
}

RECT WindowLayout::GetStatisticsCheckboxRect() const {
  if (kind_ & 2)
    return MakeLayoutRect(58, 206, 453, 428);
  return {0, 0, 0, 0};
}

RECT WindowLayout::GetDefaultBrowserCheckboxRect() const {
  if (kind_ == 1)
    return MakeLayoutRect(58, 206, 453, 428);
  if (kind_ == 3)
    return MakeLayoutRect(58, 266, 453, 428);
  return {0, 0, 0, 0};
}

uint32_t LayoutKind(const DistribInfoParams& params) {
  bool ignored = false;
  const uint32_t default_offered = GetMakeDefaultOverride(params, &ignored) ? 0 : 1;
  const uint32_t statistics_offered = GetStatisticsOverride(params, &ignored) ? 0 : 1;
  return default_offered + 2 * statistics_offered;
}

WindowTheme::WindowTheme(int windows_version, bool welcome_skipped)
    : windows_version_(windows_version), welcome_skipped_(welcome_skipped) {
  LogProvisionalOnce("The installation window's theme");
}

WindowTheme::ImagePair WindowTheme::GetWelcomeBackgroundImages() const {
  // One plain picture serves with and without the welcome screen.
  return {2068, 2069};
}

HFONT WindowTheme::CreateTitleFont() const {
  return CreateSystemFont(34, 500);
}

HFONT WindowTheme::CreateTextFont() const {
  return CreateSystemFont(13, 400);
}

HFONT WindowTheme::CreateButtonFont() const {
  return CreateSystemFont(18, 400);
}

HFONT WindowTheme::CreateCheckboxFont() const {
  return CreateSystemFont(12, 400);
}

ResourceBitmap WindowTheme::LoadProgressBackground() const {
  LogProvisionalOnce("The progress screen's background without slides");
  const ImagePair pair = GetProgressBackgroundImages();
  return ResourceBitmap(pair.scale1, pair.scale2);
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

bool NeedStartThisProcessAsAdmin(const Installer* installer) {
  LogProvisionalOnce("Running without the elevated copy");
  return false;
}

bool RestartAsAdmin(Installer* installer) {
  return false;
}

}  // namespace lite_installer

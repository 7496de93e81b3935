#include "chrome/installer/lite_installer/main_window.h"

#include <commctrl.h>

#include <utility>

#include "base/command_line.h"
#include "base/strings.h"
#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/background_slides.h"
#include "chrome/installer/lite_installer/custom_progress_bar.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "chrome/installer/lite_installer/installation_window_theme.h"
#include "chrome/installer/lite_installer/installer_options.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "chrome/installer/lite_installer/owner_drawing.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/taskbar_progress.h"
#include "chrome/installer/lite_installer/text_layout.h"
#include "chrome/installer/lite_installer/text_link.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

// The accessible role of a progress bar.
constexpr LONG kProgressBarRole = 0x30;

// The install type handed to the installer: a corporate system-level
// installation, another installation, or none.
std::string InstallType(bool no_existing_browser) {
  if (IsSystemInstallCorporate())
    return "corporate";
  return no_existing_browser ? "none" : "user";
}

}  // namespace

std::wstring FormatProgressStatus(int percent,
                                  const std::wstring& downloading,
                                  const std::wstring& installing,
                                  const std::wstring& almost_done) {
  const std::wstring& prefix =
      percent <= 40 ? downloading : (percent > 90 ? almost_done : installing);
  return prefix + L" " + std::to_wstring(percent) + L"%";
}

int DownloadPercent(float fraction) {
  return static_cast<int>((1.0f - fraction) * 5.0f + fraction * 40.0f);
}

namespace {

class Locked {
 public:
  explicit Locked(SRWLOCK* lock) : lock_(lock) { ::AcquireSRWLockExclusive(lock_); }
  ~Locked() { ::ReleaseSRWLockExclusive(lock_); }

 private:
  SRWLOCK* lock_;
};

}  // namespace

bool ErrorHandOver::ReportError(int32_t kind) {
  Locked lock(&lock_);
  pending_error_kind_ = kind;
  if (!install_requested_ || dialog_claimed_)
    return false;
  dialog_claimed_ = 1;
  return true;
}

void ErrorHandOver::RequestInstall() {
  Locked lock(&lock_);
  install_requested_ = 1;
}

int32_t ErrorHandOver::TakePendingError(bool* show) {
  Locked lock(&lock_);
  *show = pending_error_kind_ != 0 && install_requested_ && !dialog_claimed_;
  if (*show)
    dialog_claimed_ = 1;
  return pending_error_kind_;
}

void ErrorHandOver::Close() {
  Locked lock(&lock_);
  dialog_claimed_ = 1;
}

int32_t ErrorHandOver::pending_error_kind() const {
  Locked lock(&lock_);
  return pending_error_kind_;
}

bool ErrorHandOver::install_requested() const {
  Locked lock(&lock_);
  return install_requested_ != 0;
}

MainWindow::MainWindow(BrandPackageInfo* brand, DistribInfoParams* distrib_params, bool interactive)
    : brand_(brand), distrib_params_(distrib_params), interactive_(interactive ? 1 : 0) {
  windows_version_ = base::GetWindowsVersionClass();
  no_existing_browser_ = HasNonCorporateInstall() ? 0 : 1;
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  shortcut_trial_state_ =
      brand_ ? GetNrpinTrialState(distrib_params_, *brand_, options.nrpin_state) : 0;
  set_import_progress_message_ = ::RegisterWindowMessageW(kSetImportProgressMessageName);
  close_window_message_ = ::RegisterWindowMessageW(kCloseWindowMessageName);
  set_install_progress_message_ = ::RegisterWindowMessageW(kSetInstallProgressMessageName);
  higher_version_exist_message_ = ::RegisterWindowMessageW(kHigherVersionExistMessageName);
  move_window_registered_message_ = ::RegisterWindowMessageW(kMoveWindowMessageName);
  corp_higher_version_exist_message_ =
      ::RegisterWindowMessageW(kCorpHigherVersionExistMessageName);
  corp_browser_exists_message_ = ::RegisterWindowMessageW(kCorpBrowserExistsMessageName);
  cancel_confirmation_ = CreateDialogFactory()->CreateCancelConfirmation(brand_, distrib_params_);
}

MainWindow::~MainWindow() {
  // The install thread reports to this object until it has stopped.
  installer_.reset();
  progress_bar_.reset();
  install_button_.reset();
  close_button_.reset();
  license_link_.reset();
  privacy_link_.reset();
  default_checkbox_.reset();
  stats_checkbox_.reset();
  shortcut_checkbox_.reset();
  taskbar_.reset();
  // Waits for the slides' download thread (at most one attempt's time).
  slide_show_.reset();
  RemoveArrowKeyHook();
  Detach();
  for (HICON icon : {big_icon_, small_icon_}) {
    if (icon)
      ::DestroyIcon(icon);
  }
}

std::unique_ptr<BackgroundSlidesPack> MainWindow::CreateSlidesPack() {
  return nullptr;
}

void MainWindow::StartInstaller() {
  if (!interactive_)
    return;
  installer_ = CreateInstaller(this, brand_, distrib_params_, /*with_async_tasks=*/true);
  installer_->SetBrowserPresent(InstallType(no_existing_browser_ != 0));
  installer_->StartInstallAsync();
}

INT_PTR MainWindow::Run() {
  const INT_PTR result = RunModal(nullptr);
  ended_ = true;
  hand_over_.Close();
  return result;
}

void MainWindow::EndFromAnyThread(INT_PTR result) {
  if (!hwnd_ || ended_)
    return;
  if (::GetWindowThreadProcessId(hwnd_, nullptr) == ::GetCurrentThreadId()) {
    EndOnce(result);
    return;
  }
  if (!::PostMessageW(hwnd_, kEndDialogMessage, static_cast<WPARAM>(result), 0))
    PLOG(ERROR) << "Failed to hand the end of the installation window to its thread";
}

bool MainWindow::ProcessWindowMessage(HWND window,
                                      UINT message,
                                      WPARAM wparam,
                                      LPARAM lparam,
                                      LRESULT* result) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      *result = 0;
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      const BYTE text_alpha = theme_ ? theme_->GetTextOpacity() : 255;
      const COLORREF colour = theme_ ? theme_->GetTextColor() : 0;
      switch (static_cast<int>(item.CtlID)) {
        case kTitleId:
          DrawStaticItem(item, title_font_.get(), colour, theme_ ? theme_->GetTitleOpacity() : 255,
                         progress_active_ ? progress_background_ : welcome_background_);
          break;
        case kDefaultBrowserCheckboxId:
          if (default_checkbox_)
            default_checkbox_->OnDrawItem(item);
          break;
        case kStatisticsCheckboxId:
          if (stats_checkbox_)
            stats_checkbox_->OnDrawItem(item);
          break;
        case kShortcutCheckboxId:
          if (shortcut_checkbox_)
            shortcut_checkbox_->OnDrawItem(item);
          break;
        case kPrivacyLinkId:
          if (privacy_link_)
            privacy_link_->OnDrawItem(item);
          break;
        case kLicensePieceId:
          DrawStaticItem(item, text_font_.get(), colour,
                         theme_ ? theme_->GetLicenseTextOpacity() : 255, welcome_background_);
          break;
        case kLicenseLinkId:
          if (license_link_)
            license_link_->OnDrawItem(item);
          break;
        case kStatusLineId:
          DrawStaticItem(item, text_font_.get(), colour, text_alpha, progress_background_);
          break;
      }
      OnExtraDrawItem(item);
      *result = 1;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code != static_cast<UINT>(NM_CUSTOMDRAW))
        return false;
      const auto& draw = *reinterpret_cast<const NMCUSTOMDRAW*>(lparam);
      switch (static_cast<int>(header->idFrom)) {
        case kInstallButtonId:
          if (!install_button_)
            return false;
          install_button_->NoteCustomDrawState(draw.uItemState);
          *result = install_button_->OnCustomDraw(draw, layout_ ? layout_->GetFocusRectInset() : 0);
          return true;
        case kDefaultBrowserCheckboxId:
        case kStatisticsCheckboxId:
        case kShortcutCheckboxId: {
          LinkCheckbox* checkbox = header->idFrom == kDefaultBrowserCheckboxId ? default_checkbox_.get()
                                   : header->idFrom == kStatisticsCheckboxId
                                       ? stats_checkbox_.get()
                                       : shortcut_checkbox_.get();
          if (!checkbox)
            return false;
          *result = checkbox->OnCustomDraw(draw);
          return true;
        }
      }
      *result = OnExtraCustomDraw(draw);
      return true;
    }
    case WM_NCACTIVATE:
      if (wparam && install_button_)
        install_button_->set_keyboard_cues(false);
      *result = 1;
      return true;
    case WM_INITDIALOG:
      OnInitDialog();
      *result = 1;
      return true;
    case WM_CTLCOLORDLG:
      *result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      return true;
  }
  if (message == set_install_progress_message_) {
    OnInstallProgress(wparam);
  } else if (message == set_import_progress_message_) {
    OnImportProgress(wparam);
  } else if (message == close_window_message_) {
    OnCloseWindow();
  } else if (message == higher_version_exist_message_) {
    if (ShowSetupNotice(0, /*hide_window=*/true) != -1)
      EndOnce(1);
  } else if (message == move_window_registered_message_) {
    OnMoveWindow();
  } else if (message == corp_higher_version_exist_message_) {
    if (ShowSetupNotice(3, /*hide_window=*/true) != -1)
      EndOnce(1);
  } else if (message == corp_browser_exists_message_) {
    // Declined unless the primary button closed the notice.
    const INT_PTR answer = ShowSetupNotice(4, /*hide_window=*/false);
    *result = (answer == -1 || answer == kCancelButtonId || answer == kCloseButtonId) ? 0 : 1;
    return true;
  } else if (message == WM_SYSCOMMAND) {
    OnSystemCommand(wparam);
  } else if (message == kProgressUpdateMessage) {
    OnProgressUpdate(static_cast<int>(wparam));
  } else if (message == kEndDialogMessage) {
    EndOnce(static_cast<INT_PTR>(wparam));
  } else if (message == kDisableCancelMessage) {
    while (HWND cancel = ::GetDlgItem(hwnd_, kCancelButtonId))
      if (!::DestroyWindow(cancel))
        break;
  } else if (message == WM_TIMER) {
    OnTimer();
  } else if (message == WM_COMMAND) {
    // The whole wParam: only clicks and the dialog manager's commands act.
    switch (wparam) {
      case kInstallButtonId:
        OnInstallCommand();
        break;
      case kEscapeCommandId:
      case kCloseButtonId:
        OnCloseCommand(static_cast<int>(wparam));
        break;
      case kCollapseButtonId:
        OnCollapseCommand();
        break;
      case kPrivacyLinkId:
      case kLicenseLinkId:
        OnLinkCommand(static_cast<int>(wparam));
        break;
      case kDefaultBrowserCheckboxId:
      case kStatisticsCheckboxId:
      case kShortcutCheckboxId:
        OnCheckboxCommand(static_cast<int>(wparam));
        break;
    }
  } else {
    return false;
  }
  *result = 0;
  return true;
}

bool MainWindow::OnInitDialog() {
  for (UINT message : {set_import_progress_message_, close_window_message_,
                       set_install_progress_message_, higher_version_exist_message_}) {
    AllowMessageThroughFilter(hwnd_, message, windows_version_);
  }
  AllowExtraMessages();
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  if (installer_ && distrib_params_ &&
      GetElevationMode(brand_, *distrib_params_, options.command_line) == 1 &&
      installer_->NeedStartThisProcessAsAdmin() && !installer_->RestartAsAdmin()) {
    LOG(INFO) << "Declined running the installer as admin";
  }
  LoadTextsAndImages();

  HMODULE module = ::GetModuleHandleW(nullptr);
  auto load_icon = [&](int width_metric, int height_metric) {
    return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(kMainWindowIconId),
                                           IMAGE_ICON, ::GetSystemMetrics(width_metric),
                                           ::GetSystemMetrics(height_metric), 0));
  };
  big_icon_ = load_icon(SM_CXICON, SM_CYICON);
  small_icon_ = load_icon(SM_CXSMICON, SM_CYSMICON);
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));

  title_font_.reset(theme_->CreateTitleFont());
  CreateExtraFonts();
  button_font_.reset(theme_->CreateButtonFont());
  text_font_.reset(theme_->CreateTextFont());
  link_font_.reset(theme_->CreateLinkFont());

  FitWindowToBackground();
  CreatePieceControls(hwnd_, ScaledRect(layout_->GetLicenseRect()), text_font_.get(),
                      theme_->IsLicenseLineCentered(), kLicensePieceId, kLicenseLinkId, GetLicenseText(),
                      theme_->GetTextLineGap());
  CreateControls();

  const bool skipped = distrib_params_ && IsWelcomeScreenSkipped(brand_, *distrib_params_);
  if (!skipped) {
    PlaceControl(kTitleId, layout_->GetTitleRect());
    LayoutCheckboxes();
    if (install_button_)
      PlaceControlAt(kInstallButtonId, layout_->GetInstallButtonRect(), install_button_->GetSize());
    if (close_button_)
      PlaceControlAt(kCloseButtonId, layout_->GetCloseButtonRect(), close_button_->GetSize());
  } else if (!LayoutProgressDialog()) {
    return true;
  }
  UpdateShadow(welcome_background_);
  SetTabOrder();
  return true;
}

bool MainWindow::LayoutProgressDialog() {
  bool choice = false;
  if (installer_) {
    if (distrib_params_ && GetMakeDefaultOverride(*distrib_params_, &choice)) {
      installer_->SetMakeBrowserDefault(choice);
    } else {
      installer_->SetMakeBrowserDefault(default_checkbox_ && default_checkbox_->IsChecked());
    }
    if (distrib_params_ && GetStatisticsOverride(*distrib_params_, &choice)) {
      installer_->set_send_statistics(choice ? 1 : 0);
    } else if (stats_checkbox_) {
      installer_->set_send_statistics(stats_checkbox_->IsChecked() ? 1 : 0);
    } else {
      installer_->set_send_statistics(255);
    }
    if (shortcut_trial_state_ != 0) {
      installer_->set_install_nrpin(shortcut_checkbox_ && shortcut_checkbox_->IsChecked() ? 1 : 0);
    } else {
      installer_->set_install_nrpin(1);
    }
    const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
    if (distrib_params_ &&
        GetElevationMode(brand_, *distrib_params_, options.command_line) == 0 &&
        installer_->NeedStartThisProcessAsAdmin() && !installer_->RestartAsAdmin()) {
      LOG(INFO) << "Declined running the installer as admin";
    }
  }
  HideShadow();
  ::SetFocus(hwnd_);

  taskbar_ = CreateTaskbarProgress();
  if (taskbar_) {
    taskbar_->SetProgressState(hwnd_, TBPF_NORMAL);
    taskbar_->SetProgressValue(hwnd_, 0, 100);
  }
  progress_background_ = theme_->LoadProgressBackground();
  if (HWND bar = ::GetDlgItem(hwnd_, kProgressBarId)) {
    progress_bar_ = std::make_unique<CustomProgressBar>(bar);
    if (progress_bar_->accessible())
      progress_bar_->accessible()->SetProperties(kProgressBarRole, L"", L"");
    const auto fill = theme_->GetProgressFillImages();
    const auto track = theme_->GetProgressTrackImages();
    progress_bar_->SetImages(fill.scale1, fill.scale2, track.scale1, track.scale2,
                             progress_background_);
  }
  PlaceControl(kProgressBarId, layout_->GetProgressBarRect());
  PlaceControl(kStatusLineId, layout_->GetStatusRect());
  ShowCollapseButton();
  // The slides over the whole window, each for 10 seconds; the built-in
  // one is shown first, then the show goes on from index 1.
  slide_show_ = std::make_unique<SlideShow>(
      SIZE{ScaleValue(layout_->GetWidth()), ScaleValue(layout_->GetHeight())},
      CreateSlidesPack(), theme_->GetSlideBrush(), kSlideDurationMs, 1);

  bool show = false;
  if (const int32_t kind = hand_over_.TakePendingError(&show)) {
    if (show)
      ShowErrorDialogAndEnd(kind);
    return false;
  }

  for (int id : GetWelcomeControlIds()) {
    while (HWND control = ::GetDlgItem(hwnd_, id)) {
      if (!::DestroyWindow(control))
        break;
    }
  }
  // The objects of destroyed controls go with them.
  install_button_.reset();
  license_link_.reset();
  privacy_link_.reset();
  default_checkbox_.reset();
  stats_checkbox_.reset();
  shortcut_checkbox_.reset();
  LayoutProgressControls();
  if (HWND bar = ::GetDlgItem(hwnd_, kProgressBarId)) {
    ::ShowWindow(bar, SW_SHOW);
    progress_bar_->SetRange(0, 100);
    progress_bar_->SetPos(0);
  }
  const auto logo = theme_->GetProgressLogoImages();
  logo_.Load(logo.scale1, logo.scale2);
  ::SetTimer(hwnd_, kProgressTimerId, kProgressTimerMs, nullptr);
  ::SetFocus(::GetDlgItem(hwnd_, kProgressBarId));
  // The window's own 0 is queued before the install thread is released, so
  // that a report the thread sends at once (40 when the archive was already
  // downloaded) is not followed by a step back to 0.
  progress_active_ = 1;
  SetProgress(0);
  if (installer_)
    installer_->StartInstallAfterDownload();
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  return true;
}

void MainWindow::OnProgressUpdate(int percent) {
  if (!progress_active_)
    return;
  if (percent < 0 || percent > 100) {
    LOG(ERROR) << "Progress update out of range ignored: " << percent;
    return;
  }
  if (progress_seen_ && progress_bar_ && progress_bar_->GetPos() == percent)
    return;
  progress_seen_ = 1;
  if (progress_bar_)
    progress_bar_->SetPos(percent);
  SetItemText(kStatusLineId, FormatProgressText(percent).c_str());
  RECT status = ScaledRect(layout_->GetStatusRect());
  ::InvalidateRect(hwnd_, &status, TRUE);
  if (taskbar_)
    taskbar_->SetProgressValue(hwnd_, static_cast<ULONGLONG>(percent), 100);
}

void MainWindow::OnDownloadProgress(float fraction) {
  SetProgress(DownloadPercent(fraction));
}

void MainWindow::SetProgress(int32_t percent) {
  // No window yet (or any more): nothing to show it.
  if (!hwnd_ || ended_)
    return;
  ::PostMessageW(hwnd_, kProgressUpdateMessage, static_cast<WPARAM>(percent), 0);
}

void MainWindow::OnInstallFinished(bool) {
  if (hand_over_.install_requested())
    EndFromAnyThread(1);
}

void MainWindow::OnInstallError(InstallErrorKind kind) {
  if (hand_over_.ReportError(kind))
    ShowErrorDialogAndEnd(kind);
}

uint32_t MainWindow::GetWindowHandle() {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd_));
}

void MainWindow::DisableCancel() {
  // Only the window's own thread may destroy its controls.
  if (hwnd_ && !ended_ && !::PostMessageW(hwnd_, kDisableCancelMessage, 0, 0))
    PLOG(ERROR) << "Failed to hand the removal of the Cancel button to the window's thread";
}

void MainWindow::HideWindowAndShadow() {
  HideShadow();
  const bool own_thread = ::GetWindowThreadProcessId(hwnd_, nullptr) == ::GetCurrentThreadId();
  // From the install thread the hide must not wait for the window's thread.
  auto hide = [own_thread](HWND window) {
    if (own_thread)
      ::ShowWindow(window, SW_HIDE);
    else
      ::ShowWindowAsync(window, SW_HIDE);
  };
  hide(hwnd_);
  if (shadow_window_ && ::IsWindow(shadow_window_))
    hide(shadow_window_);
}

void MainWindow::ShowErrorDialogAndEnd(int32_t kind) {
  HideWindowAndShadow();
  if (std::unique_ptr<NoticeDialog> dialog = CreateDialogFactory()
                                                 ->CreateErrorDialogFactory(brand_, distrib_params_)
                                                 ->CreateForErrorKind(kind)) {
    const bool own_thread = ::GetWindowThreadProcessId(hwnd_, nullptr) == ::GetCurrentThreadId();
    dialog->Run(own_thread ? hwnd_ : nullptr);
  }
  EndFromAnyThread(1);
}

INT_PTR MainWindow::ShowSetupNotice(int kind, bool hide_window) {
  if (notice_open_) {
    LOG(ERROR) << "Notice " << kind << " from setup dropped: another notice is open";
    return -1;
  }
  if (hide_window)
    HideWindowAndShadow();
  std::unique_ptr<NoticeDialog> notice =
      CreateDialogFactory()->CreateSetupNotice(kind, brand_, distrib_params_);
  if (!notice)
    return -1;
  notice_open_ = 1;
  const INT_PTR result = notice->Run(hide_window ? nullptr : hwnd_);
  notice_open_ = 0;
  return result;
}

void MainWindow::OnCloseWindow() {
  HideShadow();
  ::ShowWindow(hwnd_, SW_HIDE);
  if (shadow_window_ && ::IsWindow(shadow_window_))
    ::ShowWindow(shadow_window_, SW_HIDE);
  LOG(INFO) << "--> Installer > MainWindow::OnCloseWindow";
  if (installer_ && !installer_->WaitForInstallAsync())
    PLOG(ERROR) << "--> Installer > MainWindow::OnCloseWindow: WaitForInstallAsync timeout";
  EndOnce(1);
  ::KillTimer(hwnd_, kProgressTimerId);
}

void MainWindow::DrawStaticItem(const DRAWITEMSTRUCT& item,
                                HFONT font,
                                COLORREF colour,
                                BYTE alpha,
                                const ResourceBitmap& background) {
  const RECT rect = item.rcItem;
  const POINT origin = PositionInParent(item.hwndItem);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const std::wstring text = [&] {
    const int length = ::GetWindowTextLengthW(item.hwndItem);
    std::wstring value(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    value.resize(::GetWindowTextW(item.hwndItem, value.data(), length + 1));
    return value;
  }();
  PaintBuffered(item.hDC, rect, [&](HDC dc, const RECT& area) {
    background.Draw(dc, area.left, area.top, width, height, origin.x, origin.y, width, height);
    DrawAlphaText(dc, area, text, font, colour, alpha, 0);
  });
}

RECT MainWindow::ScaledRect(const RECT& design_rect) const {
  return ScaleRect(design_rect);
}

void MainWindow::PlaceControl(int id, const RECT& design_rect) {
  const RECT rect = ScaledRect(design_rect);
  if (HWND control = ::GetDlgItem(hwnd_, id)) {
    ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::PlaceControlAt(int id, const RECT& design_rect, SIZE size) {
  const RECT rect = ScaledRect(design_rect);
  if (HWND control = ::GetDlgItem(hwnd_, id)) {
    ::SetWindowPos(control, nullptr, rect.left, rect.top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace lite_installer

#ifndef CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_H_
#define CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_H_

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_gdi.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

class BrandPackageInfo;
class DistribInfoParams;

namespace lite_installer {

class BackgroundSlidesPack;
class CustomProgressBar;
class ImageButton;
class SlideShow;
class LinkCheckbox;
class NoticeDialog;
class TaskbarProgress;
class TextLink;
class InstallationWindowLayout;
class InstallationWindowTheme;

// The installation window's dialog template and icon group.
inline constexpr int kMainWindowTemplateId = 901;
inline constexpr int kMainWindowIconId = 900;

// Controls of the installation window.
enum MainWindowControlId : int {
  kInstallButtonId = 1,
  kEscapeCommandId = 2,
  kTitleId = 107,
  kDefaultBrowserCheckboxId = 109,
  kStatisticsCheckboxId = 110,
  kShortcutCheckboxId = 112,
  kCancelButtonId = 212,
  kCloseButtonId = 213,
  kCollapseButtonId = 214,
  kProgressBarId = 215,
  kPrivacyLinkId = 218,
  kLicensePieceId = 222,
  kLicenseLinkId = 223,
  kStatusLineId = 224,
};

// The window's own messages: the progress update that the install thread
// (and the elevated copy) post, and the two hand-overs of delegate calls
// that must act on the window's own thread.
inline constexpr UINT kProgressUpdateMessage = WM_APP + 100;
inline constexpr UINT kEndDialogMessage = WM_APP + 102;
inline constexpr UINT kDisableCancelMessage = WM_APP + 103;
// The timer of the progress screen and its period.
inline constexpr UINT_PTR kProgressTimerId = 100;
inline constexpr UINT kProgressTimerMs = 20;
// How long each slide of the progress screen stays.
inline constexpr uint32_t kSlideDurationMs = 10000;

// Names of the messages setup sends to the window (and of the drag message
// of every window object).
inline constexpr wchar_t kSetImportProgressMessageName[] = L"norvel.lite.set_import_progress";
inline constexpr wchar_t kCloseWindowMessageName[] = L"norvel.lite.close_window";
inline constexpr wchar_t kSetInstallProgressMessageName[] = L"norvel.lite.set_install_progress";
inline constexpr wchar_t kHigherVersionExistMessageName[] = L"norvel.higher_version_exist";
inline constexpr wchar_t kCorpHigherVersionExistMessageName[] =
    L"norvel.corp.user_higher_version_exist";
inline constexpr wchar_t kCorpBrowserExistsMessageName[] = L"norvel.corp.user_browser_exists";

// The status line for `percent`: a prefix by band (up to 40, up to 90,
// above), a blank and the percent with "%".
std::wstring FormatProgressStatus(int percent,
                                  const std::wstring& downloading,
                                  const std::wstring& installing,
                                  const std::wstring& almost_done);

// The percent of a download at `fraction` (0..1): 5 at the start, 40 when
// done, computed in single precision and truncated.
int DownloadPercent(float fraction);

// The address a link opens: `base`, "?lang=" and `language` with every
// byte but letters, digits, "-" and "_" percent-escaped; an address with
// bytes above 0x7F is read as UTF-8.
std::wstring MakeLinkAddress(const std::string& base, const std::string& language);

// The percent that setup's stage report `stage` gives (0: no change).
int InstallStagePercent(WPARAM stage);
// The percent that setup's import report `imported` gives; false above 100.
bool ImportProgressPercent(WPARAM imported, int* percent);

// Lets `message` reach `window` from processes of lower integrity, as far
// as Windows version class `windows_version` has a filter (below 3: none,
// true).
bool AllowMessageThroughFilter(HWND window, UINT message, int windows_version);

// The arrow keys between Install and the licence link: a keyboard hook of
// the calling thread, one per process, working on `window`. Left or Up on
// Install focuses the link, Right or Down there focuses Install.
void SetArrowKeyHook(HWND window);
void RemoveArrowKeyHook();

// Who shows the dialog of an installation error. The install thread
// reports the error, the window's thread the user's Install request; the
// first to see both shows the dialog, the other stays silent, so an error
// that arrives together with Install is shown exactly once and never lost.
class ErrorHandOver {
 public:
  // Install thread: records `kind`; true when the caller shows its dialog.
  bool ReportError(int32_t kind);
  // Window thread: the user asked to install.
  void RequestInstall();
  // Window thread, after RequestInstall: the pending kind (0: none) and, in
  // `show`, whether the caller shows its dialog.
  int32_t TakePendingError(bool* show);
  // Window thread, once the window has ended: no dialog any more.
  void Close();

  int32_t pending_error_kind() const;
  bool install_requested() const;

 private:
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  int32_t pending_error_kind_ = 0;
  uint8_t install_requested_ = 0;
  uint8_t dialog_claimed_ = 0;
};

// The installation window: a dialog from template 901 with a welcome screen
// and a progress screen, the owner of the Installer whose delegate it is.
// The concrete window supplies the screens' contents through the hooks.
class MainWindow : public WindowObject, public Installer::Delegate {
 public:
  MainWindow(BrandPackageInfo* brand, DistribInfoParams* distrib_params, bool interactive);
  ~MainWindow() override;

  // Shows the window modally: 1 when the installation or setup ended it,
  // 2 from the system menu or Alt+F4, 213 from the Close button.
  INT_PTR Run();

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;
  int GetDialogTemplateId() override { return kMainWindowTemplateId; }

  // Installer::Delegate, called on the install thread.
  void OnDownloadProgress(float fraction) override;
  void OnSlowDownload() override {}
  void OnTimeRemaining(int32_t, int32_t) override {}
  void OnInstallFinished(bool finished) override;
  void OnInstallError(InstallErrorKind kind) override;
  uint32_t GetWindowHandle() override;
  void SetProgress(int32_t percent) override;
  void DisableCancel() override;

  // Builds the progress screen and releases the install thread; false when
  // a pending error was shown instead (or recorded, before Install).
  bool LayoutProgressDialog();

  // What the input handlers use.
  Installer* installer() const { return installer_.get(); }
  LinkCheckbox* default_checkbox() const { return default_checkbox_.get(); }
  LinkCheckbox* stats_checkbox() const { return stats_checkbox_.get(); }
  LinkCheckbox* shortcut_checkbox() const { return shortcut_checkbox_.get(); }
  ErrorHandOver& hand_over() { return hand_over_; }
  bool progress_active() const { return progress_active_ != 0; }
  // The progress screen's slide show (null before it exists).
  SlideShow* slide_show() const { return slide_show_.get(); }
  int shortcut_trial_state() const { return shortcut_trial_state_; }
  int windows_version() const { return windows_version_; }
  const BrandPackageInfo* brand() const { return brand_; }
  const DistribInfoParams* distrib_params() const { return distrib_params_; }
  // The dialog's result, ended from the window's own thread or handed to it.
  void EndFromAnyThread(INT_PTR result);
  // Ends the dialog with `result` unless it was already ended; closes the
  // cancel confirmation if it is open.
  void EndOnce(INT_PTR result);

  // The user's input.
  void OnInstallCommand();
  // Esc (2) or Close (213): true when the window is to end with 213; on the
  // progress screen Close asks first.
  bool ConfirmClose(int command);
  void OnSystemCommand(WPARAM command);
  void OnCollapseCommand();
  void OnLinkCommand(int id);
  void OnCheckboxCommand(int id);
  // The drop shadow follows the dragged window.
  void OnMoveWindow();
  // Setup's reports.
  void OnInstallProgress(WPARAM stage);
  void OnImportProgress(WPARAM imported);
  // Hides the window, shows the dialog of error `kind` and ends with 1.
  void ShowErrorDialogAndEnd(int32_t kind);

  // Hooks of the concrete window (empty here unless noted).
  virtual void CreateThemeAndLayout() = 0;
  virtual void LoadTextsAndImages() {}
  virtual void FitWindowToBackground() {}
  virtual void CreateExtraFonts() {}
  virtual void CreateControls() {}
  virtual std::wstring GetLicenseText() { return std::wstring(); }
  virtual void RefreshStatisticsCheckbox() {}
  virtual void AllowExtraMessages() {}
  virtual void SetTabOrder() {}
  virtual LRESULT OnExtraCustomDraw(const NMCUSTOMDRAW& draw) { return CDRF_DODEFAULT; }
  virtual void OnExtraDrawItem(const DRAWITEMSTRUCT& item) {}
  virtual std::wstring GetSlidesFolder() { return std::wstring(); }
  virtual std::vector<int> GetWelcomeControlIds() = 0;
  virtual void OnCloseCommand(int command) {}
  virtual void OnTimer() {}
  virtual void OnPaint() {}
  virtual void PaintProgressScreen(HDC dc) {}
  virtual void LayoutCheckboxes() {}
  virtual void ShowShadow() {}
  virtual void HideShadow() {}
  virtual void LayoutProgressControls() {}
  virtual std::wstring FormatProgressText(int percent) = 0;
  // The slides of the progress screen (null: the show has none).
  virtual std::unique_ptr<BackgroundSlidesPack> CreateSlidesPack();
  virtual void ShowCollapseButton() {}
  virtual void RefreshShadow(const ResourceBitmap& background) {}
  virtual void UpdateShadow(const ResourceBitmap& background) {}

 protected:
  // The concrete window's constructor calls this last: the Installer with
  // this window as its delegate, its install type, and its thread.
  void StartInstaller();
  bool OnInitDialog();
  // The progress update (WM_APP + 100).
  void OnProgressUpdate(int percent);
  // Setup's close request.
  void OnCloseWindow();
  // Notice `kind` from setup; its dialog's result, or -1 when another
  // notice is still open (this one is logged and dropped).
  INT_PTR ShowSetupNotice(int kind, bool hide_window);
  void HideWindowAndShadow();
  // Draws `text` of control `item` over `background` at the control's
  // place.
  void DrawStaticItem(const DRAWITEMSTRUCT& item,
                      HFONT font,
                      COLORREF colour,
                      BYTE alpha,
                      const ResourceBitmap& background);
  // Places control `id` at `rect` (design pixels, scaled here).
  void PlaceControl(int id, const RECT& design_rect);
  // Places control `id` at the origin of `design_rect` with `size`.
  void PlaceControlAt(int id, const RECT& design_rect, SIZE size);
  RECT ScaledRect(const RECT& design_rect) const;

  BrandPackageInfo* brand_;
  DistribInfoParams* distrib_params_;
  // Title, button, text and link fonts, and four holders the themes leave
  // empty.
  base::ScopedFont title_font_;
  base::ScopedFont button_font_;
  base::ScopedFont text_font_;
  base::ScopedFont link_font_;
  base::ScopedFont spare_fonts_[4];
  std::unique_ptr<CustomProgressBar> progress_bar_;
  std::unique_ptr<Installer> installer_;
  ResourceBitmap welcome_background_;
  ResourceBitmap logo_;
  std::unique_ptr<ImageButton> install_button_;
  std::unique_ptr<ImageButton> close_button_;
  std::unique_ptr<TextLink> license_link_;
  std::unique_ptr<TextLink> privacy_link_;
  std::unique_ptr<TaskbarProgress> taskbar_;
  std::unique_ptr<LinkCheckbox> default_checkbox_;
  std::unique_ptr<LinkCheckbox> stats_checkbox_;
  std::unique_ptr<LinkCheckbox> shortcut_checkbox_;
  int windows_version_ = 0;
  uint8_t no_existing_browser_ = 1;
  int32_t shortcut_trial_state_ = 0;
  UINT set_import_progress_message_ = 0;
  UINT close_window_message_ = 0;
  UINT set_install_progress_message_ = 0;
  UINT higher_version_exist_message_ = 0;
  UINT move_window_registered_message_ = 0;
  UINT corp_higher_version_exist_message_ = 0;
  UINT corp_browser_exists_message_ = 0;
  // The pending error kind and the Install request, handed over between
  // the install thread and the window's thread.
  ErrorHandOver hand_over_;
  uint8_t progress_active_ = 0;
  uint8_t progress_seen_ = 0;
  // A notice from setup is open (its modal loop still delivers setup's
  // messages to this window).
  uint8_t notice_open_ = 0;
  // The dialog was ended; its first result stands.
  uint8_t end_result_set_ = 0;
  ResourceBitmap progress_background_;
  std::unique_ptr<SlideShow> slide_show_;
  HWND shadow_window_ = nullptr;
  std::unique_ptr<NoticeDialog> cancel_confirmation_;
  std::shared_ptr<InstallationWindowLayout> layout_;
  std::unique_ptr<InstallationWindowTheme> theme_;
  uint8_t interactive_;
  // The window's icons (WM_SETICON leaves them to their owner).
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
  // Set once the dialog has ended: the install thread's reports, which may
  // come until the installer is stopped, have no window any more.
  std::atomic<bool> ended_{false};
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_H_

#ifndef CHROME_INSTALLER_LITE_INSTALLER_NOTICE_DIALOGS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_NOTICE_DIALOGS_H_

// The installer's small modal dialogs: installation errors, setup's
// notices, the cancel confirmation and the start-up refusals. Two visual
// families share one dialog object: the classic dialogs (a fixed picture
// with a layered shadow border) and the redesigned ones (sized to their
// texts, with rounded corners and a composed shadow).

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/scoped_gdi.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

class BrandPackageInfo;
class DistribInfoParams;

namespace lite_installer {

class ImageButton;
class LayeredShadow;

// The dialog template and its controls (the body text has the id -1).
inline constexpr int kNoticeDialogTemplateId = 100;
inline constexpr int kDialogTitleId = 107;
inline constexpr int kDialogPrimaryId = 1;
inline constexpr int kDialogCrossId = 213;
inline constexpr int kDialogSecondaryId = 212;

// What the primary button does before it ends the dialog with 1.
enum class DialogAction { kClose, kOpenAddress, kStartBrowser };

// One dialog of a catalogue: string ids (0: none) and behaviour.
struct DialogContent {
  UINT title = 0;
  UINT text = 0;
  UINT primary = 0;
  UINT secondary = 0;
  // Redesigned: the primary button's strip is the yellow one.
  bool primary_yellow = false;
  // Classic: the two buttons sit at the right.
  bool right_aligned = false;
  // Classic: the Windows XP notice's own layout.
  bool xp_layout = false;
  DialogAction action = DialogAction::kClose;
  // The page that kOpenAddress opens.
  std::string address;
};

// The classic dialogs.
enum class ClassicDialog {
  kNewerVersion,
  kNotEnoughDiskSpace,
  kCorporateNewerVersion,
  kCorporateBrowserExists,
  kUnsupportedWindows,
  kCancelConfirmation,
};

// Redesigned dialog kinds.
enum RedesignedKind : int {
  kRedesignedNewerVersion = 0,
  kRedesignedUnsupportedWindows = 2,
  kRedesignedCorporateNewerVersion = 3,
  kRedesignedCorporateBrowserExists = 4,
  kRedesignedCryptoPro = 5,
  kRedesignedDownload = 6,
  kRedesignedCancelConfirmation = 7,
  kRedesignedMachineTypeMismatch = 8,
  kRedesignedAlreadyInstalled = 9,
  kRedesignedFolderLocked = 10,
  kRedesignedAnotherInstaller = 11,
  kRedesignedSeeTheLog = 12,
};

// The catalogues, without the addresses (the factories add them).
DialogContent ClassicDialogContent(ClassicDialog dialog);
// False for a kind that does not exist (1, or out of range).
bool RedesignedDialogContent(int kind, DialogContent* content);

// Sizes of a redesigned dialog, all in device pixels, from its measured
// texts; `scale` is the device scale factor.
struct RedesignedLayout {
  SIZE window;
  RECT title;
  RECT body;  // empty when there is no body
  RECT primary;
  RECT secondary;  // empty when there is no secondary button
};
RedesignedLayout ComputeRedesignedLayout(double scale,
                                         SIZE title,
                                         SIZE body,
                                         SIZE primary_label,
                                         SIZE secondary_label,
                                         bool has_body,
                                         bool has_secondary);

// The redesigned shadow's measures at `scale`: margin m, edge e, radius r
// (0 before Windows 8, `windows_version` < 5); g = r + e, c = g + m.
struct RedesignedShadowMetrics {
  int m, e, r, g, c;
};
RedesignedShadowMetrics ComputeRedesignedShadowMetrics(double scale, int windows_version);

// The common dialog object: template 100 shown modally, the strings of its
// catalogue row in `language_id`, the result 1 (primary, after its action),
// 212 (secondary) or 213 (close cross). Nothing else closes it.
class NoticeDialog : public WindowObject {
 public:
  // Appends to the body text before it is set.
  using TextCallback = std::function<std::wstring()>;

  NoticeDialog(DialogContent content, LANGID language_id, TextCallback text_callback);
  ~NoticeDialog() override;

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;
  int GetDialogTemplateId() override;

  // Shows the dialog modally, owned by `owner` or else the calling thread's
  // active window: 1, 212 or 213 (-1 when it could not be shown). The
  // object can be shown again afterwards.
  INT_PTR Run(HWND owner = nullptr);
  // Ends the open dialog with `result` (from its own thread).
  void End(INT_PTR result);

  const DialogContent& content() const { return content_; }
  // The shadow window while the dialog is open (null when there is none).
  virtual HWND shadow_window() const = 0;

 protected:
  virtual void OnPrimaryButton();
  virtual void OnSecondaryButton();
  virtual void OnInitDialog();
  virtual void OnEraseBackground(HDC dc);
  virtual HBRUSH OnCtlColorStatic(HDC dc, HWND control);
  virtual void OnPaint();
  virtual LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  virtual void OnMoveWindow() = 0;
  virtual void InitDialogSteps();
  virtual void SetTexts();
  virtual void SizeWindow() = 0;
  virtual void LayoutButtons() = 0;
  virtual void SetButtonFlag();
  virtual void LayoutTexts() = 0;
  virtual void PaintBackground(HDC dc) = 0;
  virtual void CreateButtons() = 0;
  virtual void CreateShadow() = 0;
  virtual COLORREF GetTitleColor() const = 0;
  virtual COLORREF GetTextColor() const = 0;
  // The window is going away: the shadow goes with it.
  virtual void DestroyShadow() = 0;

  HWND body() const { return body_; }
  std::wstring ItemText(HWND control) const;
  void PlaceItem(HWND control, const RECT& rect);

  LANGID language_id_;
  ResourceBitmap background_;
  base::ScopedFont text_font_;
  base::ScopedFont title_font_;
  base::ScopedFont button_font_;
  std::unique_ptr<ImageButton> primary_button_;
  std::unique_ptr<ImageButton> secondary_button_;
  std::unique_ptr<ImageButton> close_button_;
  uint8_t right_aligned_buttons_ = 0;
  DialogContent content_;
  TextCallback text_callback_;

 private:
  HWND body_ = nullptr;
};

// The families, for tests that build a dialog of their own.
std::unique_ptr<NoticeDialog> CreateClassicDialog(DialogContent content, LANGID language_id);
std::unique_ptr<NoticeDialog> CreateRedesignedDialog(DialogContent content,
                                                     LANGID language_id,
                                                     NoticeDialog::TextCallback text_callback);

// Makes the redesigned dialogs of installation errors.
class ErrorDialogFactory {
 public:
  ErrorDialogFactory(const BrandPackageInfo* brand, const DistribInfoParams* params);
  virtual ~ErrorDialogFactory();

  virtual std::unique_ptr<NoticeDialog> CreateErrorDialog(int kind,
                                                          NoticeDialog::TextCallback callback);
  virtual std::unique_ptr<NoticeDialog> CreateCryptoProDialog();
  virtual std::unique_ptr<NoticeDialog> CreateDownloadDialog();
  // The dialog of installation error `kind` (null for kind 0).
  virtual std::unique_ptr<NoticeDialog> CreateForErrorKind(int kind);

 private:
  const BrandPackageInfo* brand_;
  const DistribInfoParams* params_;
};

// The redesigned kind that installation error `kind` shows (-1: none);
// `without_download` is the "disable-error-dialog-download-button" switch.
int RedesignedKindForError(int kind, bool without_download);

// Makes every dialog; the brand's redesign value is read at each call.
class DialogFactory {
 public:
  virtual ~DialogFactory();

  // Setup's notice `type` (0, 3 or 4).
  virtual std::unique_ptr<NoticeDialog> CreateSetupNotice(int type,
                                                          const BrandPackageInfo* brand,
                                                          const DistribInfoParams* params);
  virtual std::unique_ptr<NoticeDialog> CreateCancelConfirmation(
      const BrandPackageInfo* brand,
      const DistribInfoParams* params);
  virtual std::unique_ptr<NoticeDialog> CreateUnsupportedSystemNotice(
      const BrandPackageInfo* brand);
  virtual std::unique_ptr<ErrorDialogFactory> CreateErrorDialogFactory(
      const BrandPackageInfo* brand,
      const DistribInfoParams* params);
};

std::unique_ptr<DialogFactory> CreateDialogFactory();

// The disk-space notice (always classic).
INT_PTR ShowNotEnoughDiskSpace(LANGID language_id);
// The processor refusal: string 482, a line break and `message_id` (483 or
// 484) under caption 481, in a system message box.
void ShowProcessorUnsupported(LANGID language_id, int message_id);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_NOTICE_DIALOGS_H_

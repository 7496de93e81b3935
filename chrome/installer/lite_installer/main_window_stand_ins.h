#ifndef CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_

// Provisional pieces of the installation window, kept together so that
// each is replaced in one place when its subsystem is built: the light
// layout with a system font and plain pictures, the progress background, a plain error and notice dialog, and the elevation question.
// Each logs once per process that it is provisional.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

class BrandPackageInfo;
class DistribInfoParams;
class Installer;

namespace lite_installer {

class MainWindow;

// Logs "<what> is provisional" once per process for each `what`.
void LogProvisionalOnce(const char* what);

// Rectangles of the 802 x 430 design grid (before scaling), shifted by the
// 1-pixel border.
RECT MakeLayoutRect(int left, int top, int right, int bottom);

// Where the elements of the window go, in design pixels: the light layout.
class WindowLayout {
 public:
  // `kind`: bit 0 the default-browser checkbox is offered, bit 1 the
  // statistics checkbox is.
  WindowLayout(int windows_version, uint32_t kind, bool welcome_skipped);

  int GetWidth() const { return 802; }
  int GetHeight() const { return 430; }
  RECT GetTitleRect() const;
  RECT GetStatisticsCheckboxRect() const;
  RECT GetDefaultBrowserCheckboxRect() const;
  RECT GetInstallButtonRect() const { return MakeLayoutRect(60, 332, 801, 428); }
  RECT GetCloseButtonRect() const { return MakeLayoutRect(766, 10, 801, 428); }
  RECT GetCollapseButtonRect() const { return MakeLayoutRect(722, 10, 801, 428); }
  RECT GetLogoRect() const { return MakeLayoutRect(60, 40, 272, 78); }
  RECT GetLicenseRect() const { return MakeLayoutRect(556, 332, 758, 428); }
  RECT GetProgressBarRect() const { return MakeLayoutRect(60, 357, 453, 362); }
  RECT GetStatusRect() const { return MakeLayoutRect(60, 371, 453, 428); }
  int GetFocusRectInset() const { return 0; }
  int GetCornerRadius() const { return windows_version_ >= 5 ? 9 : 0; }
  int GetCheckboxSpacing() const { return 8; }
  SIZE GetCheckboxMargins() const { return {5, 5}; }
  uint32_t kind() const { return kind_; }

 private:
  int windows_version_;
  uint32_t kind_;
  bool welcome_skipped_;
};

// The kind of the layout: which checkboxes the parameters leave open.
uint32_t LayoutKind(const DistribInfoParams& params);

// With what the elements are drawn: the light theme's pictures (plain
// stand-ins under its resource ids), colours and opacities, and a system
// font in the theme's sizes.
class WindowTheme {
 public:
  WindowTheme(int windows_version, bool welcome_skipped);

  struct ImagePair {
    int scale1;
    int scale2;
  };
  ImagePair GetCheckboxImages() const { return {2019, 2020}; }
  ImagePair GetInstallButtonImages() const { return {2270, 0}; }
  ImagePair GetProgressFillImages() const { return {2038, 2039}; }
  ImagePair GetProgressTrackImages() const { return {2040, 2041}; }
  ImagePair GetLogoImages() const { return {2271, 2272}; }
  ImagePair GetProgressLogoImages() const { return GetLogoImages(); }
  ImagePair GetWelcomeBackgroundImages() const;
  ImagePair GetProgressBackgroundImages() const { return {2072, 2073}; }
  ImagePair GetCloseButtonImages() const { return {2030, 2031}; }
  ImagePair GetCollapseButtonImages() const { return {2034, 2035}; }
  ImagePair GetCollapseGlyphImages() const { return {2036, 2037}; }
  UINT GetTitleStringId() const { return 410; }
  UINT GetDefaultBrowserStringId() const { return 426; }
  COLORREF GetTextColor() const { return RGB(0, 0, 0); }
  COLORREF GetInstallButtonTextColor() const { return RGB(255, 255, 255); }
  BYTE GetTitleOpacity() const { return 255; }
  BYTE GetLicenseTextOpacity() const { return 115; }
  BYTE GetTextOpacity() const { return 168; }
  int GetTextLineGap() const { return 1; }

  // New fonts, owned by the caller.
  HFONT CreateTitleFont() const;
  HFONT CreateTextFont() const;
  HFONT CreateLinkFont() const { return CreateTextFont(); }
  HFONT CreateButtonFont() const;
  HFONT CreateCheckboxFont() const;
  HFONT CreatePrivacyLinkFont() const { return CreateCheckboxFont(); }

  // The progress screen's background (and its only slide).
  ResourceBitmap LoadProgressBackground() const;

 private:
  int windows_version_;
  bool welcome_skipped_;
};

// A plain modal dialog standing in for the error and notice dialogs: title,
// text, a primary button (1), and for some a secondary one (212); the
// close cross or Esc end it with 213.
class NoticeDialog : public WindowObject {
 public:
  // Error kinds of the installer and notice kinds from setup.
  enum class Family { kError, kNotice, kCancelConfirmation };

  NoticeDialog(Family family, int kind, LANGID language_id);
  ~NoticeDialog() override;

  int GetDialogTemplateId() override;
  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;
  // Shows the dialog modally: 1, 212 or 213 (-1 when it could not be shown).
  INT_PTR Show(HWND owner);
  // Ends the dialog with `result` when it is open.
  void End(INT_PTR result);

 private:
  Family family_;
  int kind_;
  LANGID language_id_;
};

// The dialog for error `kind` of the installer (null for none).
std::unique_ptr<NoticeDialog> CreateErrorDialog(int kind, LANGID language_id);
// The dialog for notice `kind` from setup (0, 3 or 4).
std::unique_ptr<NoticeDialog> CreateNoticeDialog(int kind, LANGID language_id);
std::unique_ptr<NoticeDialog> CreateCancelConfirmation(LANGID language_id);

// The dialog template of the stand-in dialogs.
inline constexpr int kNoticeDialogTemplateId = 100;

// Whether the installation must run in an elevated copy, and starting it.
bool NeedStartThisProcessAsAdmin(const Installer* installer);
bool RestartAsAdmin(Installer* installer);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_MAIN_WINDOW_STAND_INS_H_

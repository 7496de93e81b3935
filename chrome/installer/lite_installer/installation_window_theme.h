#ifndef CHROME_INSTALLER_LITE_INSTALLER_INSTALLATION_WINDOW_THEME_H_
#define CHROME_INSTALLER_LITE_INSTALLER_INSTALLATION_WINDOW_THEME_H_

// Where the installation window's elements go (the layout) and with what
// they are drawn (the theme). Both come in a light and a dark variant,
// chosen together from the brand and the distribution parameters.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "chrome/installer/lite_installer/resource_bitmap.h"

class BrandPackageInfo;
class DistribInfoParams;

namespace lite_installer {

// A picture named by its resource ids at scale 1 and scale 2 (0: none).
struct ImagePair {
  int scale1;
  int scale2;
};

// A rectangle of the 802 x 430 design grid shifted by the 1-pixel border
// (right and bottom stay on the last column and row inside it).
RECT MakeRect(int left, int top, int right, int bottom);

// Which checkboxes the parameters leave open: bit 0 the default-browser
// checkbox, bit 1 the statistics checkbox.
uint32_t ComputeLayoutKind(const DistribInfoParams& params);

// Rectangles are in design pixels; the window scales them.
class InstallationWindowLayout {
 public:
  virtual ~InstallationWindowLayout() = default;

  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual RECT GetBounds() const = 0;
  virtual int GetShadowInset() const = 0;
  virtual RECT GetTitleRect() const = 0;
  // The title when the welcome screen is skipped.
  virtual RECT GetTitleRect(bool welcome_skipped) const = 0;
  virtual RECT GetStatisticsCheckboxRect() const = 0;
  virtual RECT GetDefaultBrowserCheckboxRect() const = 0;
  virtual RECT GetColumnRect() const = 0;
  // Empty; it also carries the Install button's label insets.
  virtual RECT GetShortcutCheckboxRect() const = 0;
  virtual int GetFocusRectInset() const = 0;
  // Of the Install, Close and Collapse buttons only the origin is used.
  virtual RECT GetInstallButtonRect() const = 0;
  virtual RECT GetCloseButtonRect() const = 0;
  virtual RECT GetLogoRect() const = 0;
  virtual RECT GetLicenseRect() const = 0;
  virtual RECT GetProgressBarRect() const = 0;
  virtual RECT GetStatusRect() const = 0;
  virtual int GetBorderWidth() const = 0;
  virtual int GetCornerRadius() const = 0;
  virtual int GetCheckboxSpacing() const = 0;
  virtual SIZE GetCheckboxMargins() const = 0;
  virtual RECT GetCollapseButtonRect() const = 0;

  virtual uint32_t kind() const = 0;
  virtual int windows_version() const = 0;
};

// Texts are drawn in one colour and opacity per element; fonts are new
// handles owned by the caller. The theme adds the product's faces to the
// process while it lives.
class InstallationWindowTheme {
 public:
  virtual ~InstallationWindowTheme() = default;

  virtual ImagePair GetCheckboxImages() const = 0;
  virtual ImagePair GetInstallButtonImages() const = 0;
  virtual ImagePair GetProgressFillImages() const = 0;
  virtual ImagePair GetProgressTrackImages() const = 0;
  virtual ImagePair GetLogoImages() const = 0;
  virtual ImagePair GetProgressLogoImages() const = 0;
  virtual UINT GetTitleStringId() const = 0;
  virtual ImagePair GetProgressBackgroundImages() const = 0;
  virtual UINT GetDefaultBrowserStringId() const = 0;
  virtual bool IsLicenseLineCentered() const = 0;
  virtual BYTE GetTitleOpacity() const = 0;
  // Plain pieces of the licence line.
  virtual BYTE GetLicenseTextOpacity() const = 0;
  // Status line.
  virtual BYTE GetTextOpacity() const = 0;
  // Title, status line and the licence line's plain pieces.
  virtual COLORREF GetTextColor() const = 0;
  // Licence link and privacy link.
  virtual COLORREF GetLinkTextColor() const = 0;
  virtual COLORREF GetInstallButtonTextColor() const = 0;
  // Checkbox labels.
  virtual COLORREF GetCheckboxTextColor() const = 0;
  virtual HBRUSH GetSlideBrush() const = 0;
  virtual HFONT CreateTitleFont() const = 0;
  virtual HFONT CreateTextFont() const = 0;
  virtual HFONT CreateLinkFont() const = 0;
  virtual HFONT CreateButtonFont() const = 0;
  virtual ResourceBitmap LoadProgressBackground() const = 0;
  virtual int GetTextLineGap() const = 0;
  virtual const wchar_t* GetTitleFontFace() const = 0;
  virtual const wchar_t* GetTextFontFace() const = 0;
  virtual const wchar_t* GetButtonFontFace() const = 0;
  virtual int GetTitleFontSize() const = 0;
  virtual int GetTextFontSize() const = 0;
  virtual int GetButtonFontSize() const = 0;
  virtual ImagePair GetWelcomeBackgroundImages() const = 0;
  virtual ImagePair GetCloseButtonImages() const = 0;
  virtual ImagePair GetCollapseButtonImages() const = 0;
  virtual ImagePair GetCollapseGlyphImages() const = 0;
  virtual HFONT CreateCheckboxFont() const = 0;
  virtual HFONT CreatePrivacyLinkFont() const = 0;
  // Licence link.
  virtual BYTE GetLinkTextOpacity() const = 0;
  // Checkbox labels.
  virtual BYTE GetCheckboxTextOpacity() const = 0;
  // Privacy link.
  virtual BYTE GetPrivacyLinkOpacity() const = 0;
  virtual ImagePair GetShadowTopLeftImages() const = 0;
  virtual ImagePair GetShadowTopRightImages() const = 0;
  virtual ImagePair GetShadowBottomRightImages() const = 0;
  virtual ImagePair GetShadowBottomLeftImages() const = 0;
  virtual ImagePair GetShadowLeftImages() const = 0;
  virtual ImagePair GetShadowTopImages() const = 0;
  virtual ImagePair GetShadowRightImages() const = 0;
  virtual ImagePair GetShadowBottomImages() const = 0;

  // Appended to the slides' address: "dark/" or "new-identity/".
  virtual const wchar_t* GetSlideFolder() const = 0;
  virtual const InstallationWindowLayout* layout() const = 0;
  // Faces the theme added to the process (one entry per font resource).
  virtual size_t added_font_resources() const = 0;
};

// The dark layout when the dark theme is wanted, else the light one, for
// the Windows version class read here.
std::shared_ptr<InstallationWindowLayout> CreateInstallationWindowLayout(
    const BrandPackageInfo* brand,
    const DistribInfoParams* distrib_params,
    uint32_t kind);

// The theme that goes with CreateInstallationWindowLayout's answer for the
// same inputs; it keeps `layout` alive. Fonts are made for `scale_factor`.
std::unique_ptr<InstallationWindowTheme> CreateInstallationWindowTheme(
    const BrandPackageInfo* brand,
    const DistribInfoParams* distrib_params,
    std::shared_ptr<InstallationWindowLayout> layout,
    double scale_factor);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_INSTALLATION_WINDOW_THEME_H_

#include "chrome/installer/lite_installer/installation_window_theme.h"

#include <utility>
#include <vector>

#include "base/windows_version.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/lite_installer_helpers.h"
#include "logging/file_logger.h"

namespace lite_installer {

namespace {

constexpr int kBorder = 1;
constexpr int kDesignWidth = 800 + 2 * kBorder;
constexpr int kDesignHeight = 428 + 2 * kBorder;
constexpr RECT kEmptyRect = {0, 0, 0, 0};

constexpr LANGID kRussian = 1049;
// Windows 8 in the version classes.
constexpr int kWindows8 = 5;

// The private faces, loaded in this order.
constexpr int kFontResources[] = {2087, 2088, 2090};

class InstallationWindowLayoutNewIdentity : public InstallationWindowLayout {
 public:
  InstallationWindowLayoutNewIdentity(int windows_version,
                                      const BrandPackageInfo* brand,
                                      const DistribInfoParams* distrib_params,
                                      uint32_t kind)
      : windows_version_(windows_version),
        brand_(brand),
        distrib_params_(distrib_params),
        kind_(kind) {}

  int GetWidth() const override { return kDesignWidth; }
  int GetHeight() const override { return kDesignHeight; }
  RECT GetBounds() const override { return {0, 0, GetWidth(), GetHeight()}; }
  int GetShadowInset() const override { return 1; }
  RECT GetTitleRect() const override {
    return GetTitleRect(distrib_params_ && IsWelcomeScreenSkipped(brand_, *distrib_params_));
  }
  RECT GetTitleRect(bool welcome_skipped) const override {
    return MakeRect(60, welcome_skipped ? 146 : 98, 472, GetProgressBarRect().top - 1);
  }
  RECT GetStatisticsCheckboxRect() const override {
    return (kind_ & 2) ? MakeRect(58, 206, 453, 428) : kEmptyRect;
  }
  RECT GetDefaultBrowserCheckboxRect() const override {
    switch (kind_ & 3) {
      case 1:
        return MakeRect(58, 206, 453, 428);
      case 3:
        return MakeRect(58, 266, 453, 428);
      default:
        return kEmptyRect;
    }
  }
  RECT GetColumnRect() const override { return {61, 1, 454, 428}; }
  RECT GetShortcutCheckboxRect() const override { return kEmptyRect; }
  int GetFocusRectInset() const override { return 0; }
  RECT GetInstallButtonRect() const override { return MakeRect(60, 332, 801, 428); }
  RECT GetCloseButtonRect() const override { return MakeRect(766, 10, 801, 428); }
  RECT GetLogoRect() const override { return MakeRect(60, 40, 272, 78); }
  RECT GetLicenseRect() const override { return MakeRect(556, 332, 758, 428); }
  RECT GetProgressBarRect() const override { return MakeRect(60, 357, 453, 362); }
  RECT GetStatusRect() const override { return MakeRect(60, 371, 453, 428); }
  int GetBorderWidth() const override { return kBorder; }
  int GetCornerRadius() const override { return windows_version_ >= kWindows8 ? 9 : 0; }
  int GetCheckboxSpacing() const override { return 8; }
  SIZE GetCheckboxMargins() const override { return {5, 5}; }
  RECT GetCollapseButtonRect() const override { return MakeRect(722, 10, 801, 428); }

  uint32_t kind() const override { return kind_; }
  int windows_version() const override { return windows_version_; }

 private:
  const int windows_version_;
  const BrandPackageInfo* const brand_;
  const DistribInfoParams* const distrib_params_;
  const uint32_t kind_;
};

// The dark art carries its own edge: the shadow starts at the window's edge.
class InstallationWindowLayoutDarkTheme final : public InstallationWindowLayoutNewIdentity {
 public:
  using InstallationWindowLayoutNewIdentity::InstallationWindowLayoutNewIdentity;
  int GetShadowInset() const override { return 0; }
};

class InstallationWindowThemeBase : public InstallationWindowTheme {
 public:
  InstallationWindowThemeBase(int windows_version,
                              const BrandPackageInfo* brand,
                              const DistribInfoParams* distrib_params,
                              std::shared_ptr<InstallationWindowLayout> layout,
                              double scale_factor)
      : windows_version_(windows_version),
        brand_(brand),
        distrib_params_(distrib_params),
        layout_(std::move(layout)),
        scale_factor_(scale_factor),
        slide_brush_(::CreateSolidBrush(RGB(207, 207, 207))) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    for (int id : kFontResources) {
      HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_FONT);
      if (!found) {
        PLOG(ERROR) << "Unable to find font id=" << id << " in resources";
        continue;
      }
      HGLOBAL loaded = ::LoadResource(module, found);
      if (!loaded) {
        PLOG(ERROR) << "Unable to load font id=" << id << " from resources";
        continue;
      }
      DWORD count = 0;
      HANDLE added = ::AddFontMemResourceEx(::LockResource(loaded), ::SizeofResource(module, found),
                                            nullptr, &count);
      if (!added) {
        PLOG(ERROR) << "Unable to add font id=" << id;
        continue;
      }
      font_handles_.push_back(added);
      LOG(INFO) << count << " font(s) added, id=" << id;
    }
  }

  ~InstallationWindowThemeBase() override {
    for (HANDLE handle : font_handles_)
      ::RemoveFontMemResourceEx(handle);
    if (slide_brush_)
      ::DeleteObject(slide_brush_);
  }

  ImagePair GetCheckboxImages() const override { return {2019, 2020}; }
  ImagePair GetInstallButtonImages() const override { return {2270, 0}; }
  ImagePair GetProgressFillImages() const override { return {2038, 2039}; }
  ImagePair GetProgressTrackImages() const override { return {2040, 2041}; }
  ImagePair GetLogoImages() const override {
    return russian() ? ImagePair{2273, 2274} : ImagePair{2271, 2272};
  }
  ImagePair GetProgressLogoImages() const override { return GetLogoImages(); }
  UINT GetTitleStringId() const override { return 410; }
  ImagePair GetProgressBackgroundImages() const override {
    if (windows8())
      return russian() ? ImagePair{2074, 2075} : ImagePair{2072, 2073};
    return russian() ? ImagePair{2027, 2028} : ImagePair{2025, 2026};
  }
  UINT GetDefaultBrowserStringId() const override { return 426; }
  bool IsLicenseLineCentered() const override { return true; }
  BYTE GetTitleOpacity() const override { return 255; }
  BYTE GetLicenseTextOpacity() const override { return 115; }
  BYTE GetTextOpacity() const override { return 168; }
  COLORREF GetTextColor() const override { return RGB(0, 0, 0); }
  COLORREF GetLinkTextColor() const override { return RGB(0, 0, 0); }
  COLORREF GetInstallButtonTextColor() const override { return RGB(255, 255, 255); }
  COLORREF GetCheckboxTextColor() const override { return RGB(0, 0, 0); }
  HBRUSH GetSlideBrush() const override { return slide_brush_; }
  HFONT CreateTitleFont() const override {
    return CreateFont(GetTitleFontFace(), GetTitleFontSize(), FW_MEDIUM);
  }
  HFONT CreateTextFont() const override {
    return CreateFont(GetTextFontFace(), GetTextFontSize(), FW_NORMAL);
  }
  HFONT CreateLinkFont() const override { return CreateTextFont(); }
  HFONT CreateButtonFont() const override {
    return CreateFont(GetButtonFontFace(), GetButtonFontSize(), FW_NORMAL);
  }
  ResourceBitmap LoadProgressBackground() const override {
    const ImagePair pair = GetProgressBackgroundImages();
    return ResourceBitmap(pair.scale1, pair.scale2);
  }
  int GetTextLineGap() const override { return 1; }
  const wchar_t* GetTitleFontFace() const override { return L"NS Geo Medium"; }
  const wchar_t* GetTextFontFace() const override { return L"NS Text"; }
  const wchar_t* GetButtonFontFace() const override { return L"NS Geo Regular"; }
  int GetTitleFontSize() const override { return 34; }
  int GetTextFontSize() const override { return 13; }
  int GetButtonFontSize() const override { return 18; }
  ImagePair GetWelcomeBackgroundImages() const override {
    if (windows8())
      return skipped() ? ImagePair{2330, 2331} : ImagePair{2068, 2069};
    return skipped() ? ImagePair{2328, 2329} : ImagePair{2021, 2022};
  }
  ImagePair GetCloseButtonImages() const override { return {2030, 2031}; }
  ImagePair GetCollapseButtonImages() const override { return {2034, 2035}; }
  ImagePair GetCollapseGlyphImages() const override { return {2036, 2037}; }
  HFONT CreateCheckboxFont() const override { return CreateFont(L"NS Text", 12, FW_NORMAL); }
  HFONT CreatePrivacyLinkFont() const override { return CreateCheckboxFont(); }
  BYTE GetLinkTextOpacity() const override { return 168; }
  BYTE GetCheckboxTextOpacity() const override { return 168; }
  BYTE GetPrivacyLinkOpacity() const override { return 255; }
  ImagePair GetShadowTopLeftImages() const override {
    return windows8() ? ImagePair{2275, 2283} : ImagePair{2291, 2295};
  }
  ImagePair GetShadowTopRightImages() const override {
    return windows8() ? ImagePair{2276, 2284} : ImagePair{2292, 2296};
  }
  ImagePair GetShadowBottomRightImages() const override {
    return windows8() ? ImagePair{2277, 2285} : ImagePair{2293, 2297};
  }
  ImagePair GetShadowBottomLeftImages() const override {
    return windows8() ? ImagePair{2278, 2286} : ImagePair{2294, 2298};
  }
  ImagePair GetShadowLeftImages() const override { return {2279, 2287}; }
  ImagePair GetShadowTopImages() const override { return {2280, 2288}; }
  ImagePair GetShadowRightImages() const override { return {2281, 2289}; }
  ImagePair GetShadowBottomImages() const override { return {2282, 2290}; }
  const wchar_t* GetSlideFolder() const override { return L"new-identity/"; }
  const InstallationWindowLayout* layout() const override { return layout_.get(); }
  size_t added_font_resources() const override { return font_handles_.size(); }

 protected:
  bool windows8() const { return windows_version_ >= kWindows8; }
  bool russian() const { return brand_ && brand_->language_id_ == kRussian; }
  bool skipped() const {
    return distrib_params_ && IsWelcomeScreenSkipped(brand_, *distrib_params_);
  }

 private:
  // Heights are character heights in pixels at the window's scale.
  HFONT CreateFont(const wchar_t* face, int size, int weight) const {
    const int height = static_cast<int>(size * scale_factor_);
    return ::CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                         face);
  }

  const int windows_version_;
  const BrandPackageInfo* const brand_;
  const DistribInfoParams* const distrib_params_;
  const std::shared_ptr<InstallationWindowLayout> layout_;
  const double scale_factor_;
  const HBRUSH slide_brush_;
  std::vector<HANDLE> font_handles_;
};

class InstallationWindowThemeLight final : public InstallationWindowThemeBase {
 public:
  using InstallationWindowThemeBase::InstallationWindowThemeBase;
};

// Dark pictures exist at scale 2 only; at scale 1 they are drawn halved.
class InstallationWindowThemeDark final : public InstallationWindowThemeBase {
 public:
  using InstallationWindowThemeBase::InstallationWindowThemeBase;

  ImagePair GetCheckboxImages() const override { return {0, 2311}; }
  ImagePair GetInstallButtonImages() const override { return {0, 2306}; }
  ImagePair GetProgressFillImages() const override { return {0, 2312}; }
  ImagePair GetProgressTrackImages() const override { return {0, 2313}; }
  ImagePair GetLogoImages() const override { return {0, russian() ? 2315 : 2314}; }
  ImagePair GetProgressLogoImages() const override { return GetLogoImages(); }
  ImagePair GetProgressBackgroundImages() const override {
    if (windows8())
      return {0, russian() ? 2305 : 2304};
    return {0, russian() ? 2303 : 2302};
  }
  BYTE GetLicenseTextOpacity() const override { return 122; }
  BYTE GetTextOpacity() const override { return 178; }
  COLORREF GetTextColor() const override { return RGB(255, 255, 255); }
  COLORREF GetLinkTextColor() const override { return RGB(255, 255, 255); }
  COLORREF GetInstallButtonTextColor() const override { return RGB(0, 0, 0); }
  COLORREF GetCheckboxTextColor() const override { return RGB(255, 255, 255); }
  ImagePair GetWelcomeBackgroundImages() const override {
    return {0, 2300 + 32 * (skipped() ? 1 : 0) + (windows8() ? 1 : 0)};
  }
  ImagePair GetCloseButtonImages() const override { return {0, 2307}; }
  ImagePair GetCollapseButtonImages() const override { return {0, 2309}; }
  ImagePair GetCollapseGlyphImages() const override { return {0, 2310}; }
  BYTE GetLinkTextOpacity() const override { return 178; }
  BYTE GetCheckboxTextOpacity() const override { return 178; }
  ImagePair GetShadowTopLeftImages() const override { return {0, windows8() ? 2316 : 2324}; }
  ImagePair GetShadowTopRightImages() const override { return {0, windows8() ? 2317 : 2325}; }
  ImagePair GetShadowBottomRightImages() const override { return {0, windows8() ? 2318 : 2326}; }
  ImagePair GetShadowBottomLeftImages() const override { return {0, windows8() ? 2319 : 2327}; }
  ImagePair GetShadowLeftImages() const override { return {0, 2320}; }
  ImagePair GetShadowTopImages() const override { return {0, 2321}; }
  ImagePair GetShadowRightImages() const override { return {0, 2322}; }
  ImagePair GetShadowBottomImages() const override { return {0, 2323}; }
  const wchar_t* GetSlideFolder() const override { return L"dark/"; }
};

}  // namespace

RECT MakeRect(int left, int top, int right, int bottom) {
  const int right_edge = kDesignWidth - kBorder;
  const int bottom_edge = kDesignHeight - 2 * kBorder;
  return {left + kBorder, top + kBorder, right + kBorder < right_edge ? right + kBorder : right,
          bottom + kBorder < bottom_edge ? bottom + kBorder : bottom};
}

uint32_t ComputeLayoutKind(const DistribInfoParams& params) {
  bool ignored = false;
  const uint32_t default_offered = GetMakeDefaultOverride(params, &ignored) ? 0 : 1;
  const uint32_t statistics_offered = GetStatisticsOverride(params, &ignored) ? 0 : 1;
  return default_offered + 2 * statistics_offered;
}

std::shared_ptr<InstallationWindowLayout> CreateInstallationWindowLayout(
    const BrandPackageInfo* brand,
    const DistribInfoParams* distrib_params,
    uint32_t kind) {
  const int windows_version = base::GetWindowsVersionClass();
  if (IsDarkThemeWanted(brand, distrib_params)) {
    return std::make_shared<InstallationWindowLayoutDarkTheme>(windows_version, brand,
                                                               distrib_params, kind);
  }
  return std::make_shared<InstallationWindowLayoutNewIdentity>(windows_version, brand,
                                                               distrib_params, kind);
}

std::unique_ptr<InstallationWindowTheme> CreateInstallationWindowTheme(
    const BrandPackageInfo* brand,
    const DistribInfoParams* distrib_params,
    std::shared_ptr<InstallationWindowLayout> layout,
    double scale_factor) {
  const int windows_version = base::GetWindowsVersionClass();
  if (IsDarkThemeWanted(brand, distrib_params)) {
    return std::make_unique<InstallationWindowThemeDark>(windows_version, brand, distrib_params,
                                                         std::move(layout), scale_factor);
  }
  return std::make_unique<InstallationWindowThemeLight>(windows_version, brand, distrib_params,
                                                        std::move(layout), scale_factor);
}

}  // namespace lite_installer

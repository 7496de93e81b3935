#include "chrome/installer/lite_installer/installation_window_theme.h"

#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <tuple>

#include "chrome/installer/lite_installer/scale_factor.h"
#include "gtest/gtest.h"
#include "test/support/brand_test.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/rect_ops.h"

namespace lite_installer {

inline bool operator==(const ImagePair& a, const ImagePair& b) {
  return a.scale1 == b.scale1 && a.scale2 == b.scale2;
}

inline std::ostream& operator<<(std::ostream& out, const ImagePair& p) {
  return out << "(" << p.scale1 << ", " << p.scale2 << ")";
}

namespace {

constexpr RECT kEmpty = {0, 0, 0, 0};

LOGFONTW FontOf(HFONT font) {
  LOGFONTW description = {};
  ::GetObjectW(font, sizeof(description), &description);
  ::DeleteObject(font);
  return description;
}

class InstallationWindowThemeTest : public test::BrandTest {
 protected:
  void UseWindows7() { facts_.SetWindowsVersion(6, 1, 7601); }
  void UseWindows10() { facts_.SetWindowsVersion(10, 0, 19045); }
  void SkipWelcome() {
    params_.values = {{"first", "1"}, {"def", "1"}, {"stat", "1"}};
  }
  void SetAppsUseLightTheme(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CURRENT_USER,
                                L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                                0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key,
                                nullptr));
    ::RegSetValueExW(key, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                     sizeof(value));
    ::RegCloseKey(key);
  }

  std::shared_ptr<InstallationWindowLayout> MakeLayout(uint32_t kind = 3) {
    return CreateInstallationWindowLayout(&info_, &params_, kind);
  }
  std::unique_ptr<InstallationWindowTheme> MakeTheme(double scale_factor = 1.0) {
    return CreateInstallationWindowTheme(&info_, &params_, MakeLayout(), scale_factor);
  }

  test::FixedDistribParams params_;
};

TEST_F(InstallationWindowThemeTest, MakeRectKeepsTheLastColumnAndRowInsideTheBorder) {
  EXPECT_EQ((RECT{1, 1, 800, 427}), MakeRect(0, 0, 799, 426));
  EXPECT_EQ((RECT{1, 1, 800, 427}), MakeRect(0, 0, 800, 427));
  EXPECT_EQ((RECT{1, 1, 801, 428}), MakeRect(0, 0, 801, 428));
}

TEST_F(InstallationWindowThemeTest, CheckboxPlacesFollowTheLowTwoBitsOfTheKind) {
  const RECT upper = {59, 207, 454, 428};
  const RECT lower = {59, 267, 454, 428};
  const struct {
    RECT statistics;
    RECT default_browser;
  } by_kind[] = {{kEmpty, kEmpty}, {kEmpty, upper}, {upper, kEmpty}, {upper, lower}};
  for (uint32_t kind = 0; kind < 8; ++kind) {
    SCOPED_TRACE(testing::Message() << "kind " << kind);
    const auto layout = MakeLayout(kind);
    EXPECT_EQ(by_kind[kind & 3].statistics, layout->GetStatisticsCheckboxRect());
    EXPECT_EQ(by_kind[kind & 3].default_browser, layout->GetDefaultBrowserCheckboxRect());
    // Everything else is the same for every kind.
    EXPECT_EQ((RECT{61, 99, 473, 358}), layout->GetTitleRect());
    EXPECT_EQ((RECT{61, 147, 473, 358}), layout->GetTitleRect(true));
    EXPECT_EQ((RECT{61, 333, 801, 428}), layout->GetInstallButtonRect());
    EXPECT_EQ((RECT{767, 11, 801, 428}), layout->GetCloseButtonRect());
    EXPECT_EQ((RECT{723, 11, 801, 428}), layout->GetCollapseButtonRect());
    EXPECT_EQ((RECT{61, 41, 273, 79}), layout->GetLogoRect());
    EXPECT_EQ((RECT{557, 333, 759, 428}), layout->GetLicenseRect());
    EXPECT_EQ((RECT{61, 358, 454, 363}), layout->GetProgressBarRect());
    EXPECT_EQ((RECT{61, 372, 454, 428}), layout->GetStatusRect());
    EXPECT_EQ((RECT{61, 1, 454, 428}), layout->GetColumnRect());
    EXPECT_EQ(kEmpty, layout->GetShortcutCheckboxRect());
    EXPECT_EQ((RECT{0, 0, 802, 430}), layout->GetBounds());
  }
}

TEST_F(InstallationWindowThemeTest, SkippedWelcomeMovesTheTitleDown) {
  EXPECT_EQ((RECT{61, 99, 473, 358}), MakeLayout()->GetTitleRect());
  SkipWelcome();
  EXPECT_EQ((RECT{61, 147, 473, 358}), MakeLayout()->GetTitleRect());
}

TEST_F(InstallationWindowThemeTest, CornersAreRoundFromWindows8On) {
  UseWindows7();
  EXPECT_EQ(0, MakeLayout()->GetCornerRadius());
  facts_.SetWindowsVersion(6, 2, 9200);
  EXPECT_EQ(9, MakeLayout()->GetCornerRadius());
  UseWindows10();
  EXPECT_EQ(9, MakeLayout()->GetCornerRadius());
}

TEST_F(InstallationWindowThemeTest, TitleAtOneAndAHalf) {
  auto theme = MakeTheme(1.5);
  EXPECT_EQ((RECT{91, 148, 709, 537}), ScaleRectBy(theme->layout()->GetTitleRect(), 1.5));
  EXPECT_EQ(-51, FontOf(theme->CreateTitleFont()).lfHeight);
  EXPECT_EQ(-19, FontOf(theme->CreateTextFont()).lfHeight);  // 19.5 truncated
}

TEST_F(InstallationWindowThemeTest, FontsHaveTheirFacesSizesAndWeights) {
  auto theme = MakeTheme();
  const struct {
    HFONT font;
    const wchar_t* face;
    LONG height;
    LONG weight;
  } fonts[] = {{theme->CreateTitleFont(), L"NS Geo Medium", -34, 500},
               {theme->CreateTextFont(), L"NS Text", -13, 400},
               {theme->CreateLinkFont(), L"NS Text", -13, 400},
               {theme->CreateButtonFont(), L"NS Geo Regular", -18, 400},
               {theme->CreateCheckboxFont(), L"NS Text", -12, 400},
               {theme->CreatePrivacyLinkFont(), L"NS Text", -12, 400}};
  for (const auto& expected : fonts) {
    SCOPED_TRACE(testing::Message() << expected.height);
    ASSERT_NE(nullptr, expected.font);
    const LOGFONTW font = FontOf(expected.font);
    EXPECT_STREQ(expected.face, font.lfFaceName);
    EXPECT_EQ(expected.height, font.lfHeight);
    EXPECT_EQ(expected.weight, font.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  }
}

// The welcome and progress backgrounds, logo and a shadow corner of every
// variant: light and dark, Russian and not, Windows 7 and 8+, welcome
// screen skipped and not.
TEST_F(InstallationWindowThemeTest, PicturesOfEveryVariant) {
  const struct {
    bool dark, russian, windows8, skip;
    ImagePair welcome, progress, logo, corner;
  } variants[] = {
      {false, false, true, false, {2068, 2069}, {2072, 2073}, {2271, 2272}, {2275, 2283}},
      {false, false, true, true, {2330, 2331}, {2072, 2073}, {2271, 2272}, {2275, 2283}},
      {false, false, false, false, {2021, 2022}, {2025, 2026}, {2271, 2272}, {2291, 2295}},
      {false, false, false, true, {2328, 2329}, {2025, 2026}, {2271, 2272}, {2291, 2295}},
      {false, true, true, false, {2068, 2069}, {2074, 2075}, {2273, 2274}, {2275, 2283}},
      {false, true, false, true, {2328, 2329}, {2027, 2028}, {2273, 2274}, {2291, 2295}},
      {true, false, true, false, {0, 2301}, {0, 2304}, {0, 2314}, {0, 2316}},
      {true, false, true, true, {0, 2333}, {0, 2304}, {0, 2314}, {0, 2316}},
      {true, false, false, false, {0, 2300}, {0, 2302}, {0, 2314}, {0, 2324}},
      {true, false, false, true, {0, 2332}, {0, 2302}, {0, 2314}, {0, 2324}},
      {true, true, true, false, {0, 2301}, {0, 2305}, {0, 2315}, {0, 2316}},
      {true, true, false, true, {0, 2332}, {0, 2303}, {0, 2315}, {0, 2324}},
  };
  for (const auto& v : variants) {
    SCOPED_TRACE(testing::Message() << "dark " << v.dark << " ru " << v.russian << " win8 "
                                    << v.windows8 << " skip " << v.skip);
    info_.dark_theme_enabled_ = v.dark;
    info_.language_id_ = v.russian ? 1049 : 1033;
    params_.values.clear();
    if (v.skip)
      SkipWelcome();
    params_.values["darktheme"] = v.dark ? "1" : "0";
    if (v.windows8)
      UseWindows10();
    else
      UseWindows7();
    auto theme = MakeTheme();
    EXPECT_EQ(v.welcome, theme->GetWelcomeBackgroundImages());
    EXPECT_EQ(v.progress, theme->GetProgressBackgroundImages());
    EXPECT_EQ(v.logo, theme->GetLogoImages());
    EXPECT_EQ(v.logo, theme->GetProgressLogoImages());
    EXPECT_EQ(v.corner, theme->GetShadowTopLeftImages());
    EXPECT_EQ(v.windows8 ? 9 : 0, theme->layout()->GetCornerRadius());
    EXPECT_EQ(v.dark ? 0 : 1, theme->layout()->GetShadowInset());
  }
}

TEST_F(InstallationWindowThemeTest, ColoursAndOpacitiesByElement) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    info_.dark_theme_enabled_ = true;
    params_.values["darktheme"] = dark ? "1" : "0";
    auto theme = MakeTheme();
    const COLORREF text = dark ? RGB(255, 255, 255) : RGB(0, 0, 0);
    EXPECT_EQ(text, theme->GetTextColor());
    EXPECT_EQ(text, theme->GetLinkTextColor());
    EXPECT_EQ(text, theme->GetCheckboxTextColor());
    EXPECT_EQ(dark ? RGB(0, 0, 0) : RGB(255, 255, 255), theme->GetInstallButtonTextColor());
    EXPECT_EQ(255, theme->GetTitleOpacity());
    EXPECT_EQ(255, theme->GetPrivacyLinkOpacity());
    EXPECT_EQ(dark ? 122 : 115, theme->GetLicenseTextOpacity());
    EXPECT_EQ(dark ? 178 : 168, theme->GetTextOpacity());
    EXPECT_EQ(dark ? 178 : 168, theme->GetLinkTextOpacity());
    EXPECT_EQ(dark ? 178 : 168, theme->GetCheckboxTextOpacity());
    EXPECT_STREQ(dark ? L"dark/" : L"new-identity/", theme->GetSlideFolder());
    LOGBRUSH brush = {};
    ASSERT_TRUE(::GetObjectW(theme->GetSlideBrush(), sizeof(brush), &brush));
    EXPECT_EQ(RGB(207, 207, 207), brush.lbColor);
    // Dark pictures exist at scale 2 only.
    for (const ImagePair& pair :
         {theme->GetCheckboxImages(), theme->GetInstallButtonImages(), theme->GetCloseButtonImages(),
          theme->GetCollapseButtonImages(), theme->GetCollapseGlyphImages(),
          theme->GetProgressFillImages(), theme->GetShadowBottomImages()}) {
      EXPECT_EQ(dark, pair.scale1 == 0) << pair;
      EXPECT_NE(0, pair.scale2 + (dark ? 0 : pair.scale1)) << pair;
    }
  }
}

// Only a brand that allows the dark theme gets it: the parameter decides,
// else the system's choice for apps.
TEST_F(InstallationWindowThemeTest, DarkVariantFromBrandParameterAndSystem) {
  auto slide_folder = [this] { return std::wstring(MakeTheme()->GetSlideFolder()); };
  auto shadow_inset = [this] { return MakeLayout()->GetShadowInset(); };
  SetAppsUseLightTheme(0);
  EXPECT_EQ(L"new-identity/", slide_folder());  // brand without the dark theme
  info_.dark_theme_enabled_ = true;
  EXPECT_EQ(L"dark/", slide_folder());
  EXPECT_EQ(0, shadow_inset());
  params_.values["darktheme"] = "0";
  EXPECT_EQ(L"new-identity/", slide_folder());
  EXPECT_EQ(1, shadow_inset());
  params_.values["darktheme"] = "1";
  SetAppsUseLightTheme(1);
  EXPECT_EQ(L"dark/", slide_folder());
  params_.values.clear();
  EXPECT_EQ(L"new-identity/", slide_folder());
}

// The face a font handle gets when it is selected.
std::wstring FaceOf(HFONT font) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  wchar_t face[LF_FACESIZE] = {};
  ::GetTextFaceW(dc, LF_FACESIZE, face);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
  return face;
}

// This test program carries the product's first face (2087), no 2088, and
// bytes that are no font as 2090: each outcome is logged under the theme
// constructor's name, and text falls back to a face the system substitutes.
TEST_F(InstallationWindowThemeTest, FontResourcesAreAddedOrLogged) {
  auto theme = MakeTheme();
  EXPECT_EQ(1u, theme->added_font_resources());
  const std::string log = Log();
  const std::string function =
      "lite_installer::(anonymous namespace)::InstallationWindowThemeBase::"
      "InstallationWindowThemeBase";
  for (const char* line : {"INFO: 1 font(s) added, id=2087",
                           "ERROR: Unable to find font id=2088 in resources",
                           "ERROR: Unable to add font id=2090"}) {
    const size_t at = log.find(line);
    ASSERT_NE(std::string::npos, at) << line << "\n" << log;
    // The statement's function name follows its text (and system error),
    // before the next statement about a font.
    const size_t name = log.find(function, at);
    EXPECT_NE(std::string::npos, name) << log;
    EXPECT_LT(name, log.find("font", at + std::strlen(line))) << log;
  }
  EXPECT_EQ(std::string::npos, log.find("id=2087 in resources")) << log;
  EXPECT_LT(log.find("id=2087"), log.find("id=2088"));
  EXPECT_LT(log.find("id=2088"), log.find("id=2090"));

  EXPECT_EQ(L"NS Geo Regular", FaceOf(theme->CreateButtonFont()));
  EXPECT_NE(L"NS Geo Medium", FaceOf(theme->CreateTitleFont()));
  EXPECT_NE(L"NS Text", FaceOf(theme->CreateTextFont()));
  EXPECT_NE(L"", FaceOf(theme->CreateTextFont()));
  // Removing the faces at destruction cannot be observed here: Wine 8's
  // RemoveFontMemResourceEx leaves them in place (measured).
}

}  // namespace
}  // namespace lite_installer

// The welcome screen of the real lite_installer_local.exe in each theme,
// scale, Windows look and language, as a user sees it under Xvfb: window
// sizes, the art's colours at its sample points, text colours and their
// contrast measured on the screenshots (kept as artefacts), the font lines
// of the log and the accessible names of the links and Close.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/scoped_registry_value.h"
#include "test/support/screen_capture.h"
#include "test/support/test_support.h"
#include "test/support/ui_accessibility.h"

#ifndef LITE_STRINGS_JSON
#error "LITE_STRINGS_JSON must name the generator's strings.json (Unix path)"
#endif

namespace {


constexpr wchar_t kPersonalize[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// What tells the two themes apart on the welcome screen (design pixels):
// the panel at (200, 200), the band at (700, 60), the title and the
// Install caption.
struct ThemeLook {
  const char* name;
  COLORREF panel;
  COLORREF band;
  COLORREF title;
  COLORREF caption;
};
constexpr ThemeLook kLight = {"light", RGB(0xf7, 0xf8, 0xfd), RGB(0xe9, 0xec, 0xfa), RGB(0, 0, 0),
                              RGB(0xff, 0xff, 0xff)};
constexpr ThemeLook kDark = {"dark", RGB(0x1e, 0x20, 0x30), RGB(0x2a, 0x2f, 0x4a),
                             RGB(0xff, 0xff, 0xff), RGB(0, 0, 0)};
constexpr wchar_t kDarkSwitches[] = L"--brand-name=dark --distr-info-params=darktheme=1";
constexpr wchar_t kLightSwitches[] = L"--distr-info-params=darktheme=0";

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
         std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string Hex(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%02x%02x%02x", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

class ThemeE2ETest : public e2e::LocalInstallTest {
 protected:
  void TearDown() override {
    if (process_.IsRunning())
      process_.Terminate();
    e2e::LocalInstallTest::TearDown();
  }

  // Starts `exe` with `switches` and waits for its welcome screen; the
  // window's rectangle on the screen.
  RECT Start(const std::wstring& switches,
             const std::wstring& exe = L"lite_installer_local.exe") {
    process_ = e2e::StartInstaller(exe, switches, dir_.path());
    driver_ = test::InstallerWindowDriver(process_.pid());
    RECT window = {};
    EXPECT_TRUE(driver_.WaitForWindow(90000)) << Log();
    if (driver_.window()) {
      ::GetWindowRect(driver_.window(), &window);
      EXPECT_TRUE(test::WaitUntilShown(window));
    }
    return window;
  }
  // Close on the welcome screen: the user cancelled (500).
  void Close() {
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    ASSERT_TRUE(process_.WaitPumpingMessages(e2e::kRunTimeoutMs));
    EXPECT_EQ(500u, process_.exit_code());
  }
  // The welcome screen's colours for `look` at `scale` in `shot`, and the
  // title's and Install caption's colours and contrast measured there.
  void ExpectLook(const test::Pixels& shot, double scale, const ThemeLook& look) {
    SCOPED_TRACE(testing::Message() << look.name << " at " << scale);
    ASSERT_FALSE(shot.empty());
    auto at = [&](int x, int y) {
      return test::ToColorRef(shot.At(static_cast<int>(x * scale), static_cast<int>(y * scale)));
    };
    EXPECT_EQ(Hex(look.panel), Hex(at(200, 200)));
    EXPECT_EQ(Hex(look.band), Hex(at(700, 60)));
    const test::TextContrast title =
        test::MeasureTextContrast(shot, driver_.ControlRect(test::kTitleId));
    EXPECT_TRUE(Near(look.title, title.text, 16)) << Hex(title.text);
    EXPECT_GE(title.ratio, 4.5);
    const test::TextContrast caption =
        test::MeasureTextContrast(shot, driver_.ControlRect(test::kInstallButtonId));
    EXPECT_TRUE(Near(look.caption, caption.text, 16)) << Hex(caption.text);
    EXPECT_GE(caption.ratio, 4.5);
    // The other texts, reported for the record.
    const struct {
      const char* what;
      int id;
    } others[] = {{"statistics label", test::kStatisticsCheckboxId},
                  {"default-browser label", test::kDefaultBrowserCheckboxId},
                  {"privacy link", test::kPrivacyLinkId},
                  {"licence link", test::kLicenseLinkId}};
    std::string record = std::string(look.name) + " " + std::to_string(scale) + ": title " +
                         std::to_string(title.ratio) + ", Install " +
                         std::to_string(caption.ratio);
    for (const auto& other : others) {
      RECT rect = driver_.ControlRect(other.id);
      if (other.id == test::kStatisticsCheckboxId || other.id == test::kDefaultBrowserCheckboxId)
        rect.left += static_cast<LONG>(30 * scale);  // the label, not the box
      const test::TextContrast measured = test::MeasureTextContrast(shot, rect);
      record += std::string(", ") + other.what + " " + std::to_string(measured.ratio);
    }
    RecordProperty("contrast", record);
    std::printf("contrast %s\n", record.c_str());
  }

  test::ChildProcess process_;
  test::InstallerWindowDriver driver_{0};
};

// Light and dark at 100 %, 150 % and 200 %: the window's size, the art's
// colours, the texts' colours and contrast, the faces added. At 100 % the
// dark theme, which has pictures at scale 2 only, shows them at half size.
TEST_F(ThemeE2ETest, WelcomeScreenInBothThemesAtEachScale) {
  const struct {
    const ThemeLook* look;
    const wchar_t* switches;
  } themes[] = {{&kLight, kLightSwitches}, {&kDark, kDarkSwitches}};
  const struct {
    double factor;
    const wchar_t* text;
    SIZE size;
  } scales[] = {{1, L"1", {802, 430}}, {1.5, L"1.5", {1203, 645}}, {2, L"2", {1604, 860}}};
  for (const auto& theme : themes) {
    test::Pixels shots[3];
    for (size_t i = 0; i < std::size(scales); ++i) {
      const auto& scale = scales[i];
      SCOPED_TRACE(testing::Message() << theme.look->name << " at " << scale.factor);
      const RECT window =
          Start(std::wstring(theme.switches) + L" --force-device-scale-factor=" + scale.text);
      EXPECT_EQ(scale.size.cx, window.right - window.left);
      EXPECT_EQ(scale.size.cy, window.bottom - window.top);
      const test::Pixels shot = test::CaptureScreenForCurrentTest(
          window, std::string(theme.look->name) + "_" + base::WideToUTF8(scale.text));
      ExpectLook(shot, scale.factor, *theme.look);
      const std::string log = Log();
      for (const char* line : {"1 font(s) added, id=2087", "1 font(s) added, id=2088",
                               "1 font(s) added, id=2090"}) {
        EXPECT_NE(std::string::npos, log.find(line)) << line;
      }
      Close();
      shots[i] = shot;
    }
    if (theme.look != &kDark)
      continue;
    // Half-size drawing of the scale-2 picture: the same colours at the
    // same design points, away from edges.
    for (const POINT& p : {POINT{200, 200}, POINT{700, 60}, POINT{120, 400}, POINT{600, 250}}) {
      ASSERT_FALSE(shots[0].empty() || shots[2].empty());
      EXPECT_TRUE(Near(test::ToColorRef(shots[0].At(p.x, p.y)),
                       test::ToColorRef(shots[2].At(2 * p.x, 2 * p.y)), 4))
          << "(" << p.x << ", " << p.y << ")";
    }
  }
}

// The screen's dpi alone (144, so 150 %) sizes the window.
TEST_F(ThemeE2ETest, ScreenAt144DpiGivesTheWindowAtOneAndAHalf) {
  test::ScopedRegistryValue dpi(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels",
                                DWORD{144});
  ASSERT_TRUE(dpi.ok());
  const RECT window = Start(kLightSwitches);
  EXPECT_EQ(1203, window.right - window.left);
  EXPECT_EQ(645, window.bottom - window.top);
  ExpectLook(test::CaptureScreenForCurrentTest(window), 1.5, kLight);
  Close();
}

// The brand's flag lets "darktheme" or, without it, the system's
// AppsUseLightTheme choose; "darktheme=0" wins over a dark system.
TEST_F(ThemeE2ETest, TheSystemsDarkSettingAppliesUnlessTheParametersSayOtherwise) {
  test::ScopedRegistryValue dark_system(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme",
                                        DWORD{0});
  ASSERT_TRUE(dark_system.ok());
  RECT window = Start(L"--brand-name=dark");
  ExpectLook(test::CaptureScreenForCurrentTest(window, "system_dark"), 1, kDark);
  Close();
  window = Start(L"--brand-name=dark --distr-info-params=darktheme=0");
  ExpectLook(test::CaptureScreenForCurrentTest(window, "parameter_light"), 1, kLight);
  Close();
  // Without the brand's flag the system's setting is not asked.
  window = Start(L"");
  ExpectLook(test::CaptureScreenForCurrentTest(window, "no_flag"), 1, kLight);
  Close();
}

// A copy of the program under its own name, told by Wine's per-program
// Version which Windows it runs on: the Windows 7 look (square JPEG
// backgrounds with their border colour in the corner, a band of their
// own), and the default-browser checkbox offered on Windows 7 and 10 only.
TEST_F(ThemeE2ETest, EachWindowsVersionHasItsLookAndDefaultBrowserChoice) {
  const std::wstring copy = dir_.Append(L"lite_installer_versions.exe");
  ASSERT_TRUE(::CopyFileW((test::ExecutableDir() + L"\\lite_installer_local.exe").c_str(),
                          copy.c_str(), FALSE));
  const struct {
    const wchar_t* version;
    bool windows7;
    bool default_browser;
  } versions[] = {{L"win7", true, true},
                  {L"win8", false, false},
                  {L"win81", false, false},
                  {L"win10", false, true}};
  for (const auto& version : versions) {
    test::ScopedRegistryValue wine_version(
        HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\lite_installer_versions.exe",
        L"Version", std::wstring(version.version));
    ASSERT_TRUE(wine_version.ok());
    for (const ThemeLook* look : {&kLight, &kDark}) {
      for (int scale : {1, 2}) {
        SCOPED_TRACE(testing::Message() << base::WideToUTF8(version.version) << " " << look->name
                                        << " at " << scale);
        const RECT window = Start(std::wstring(look == &kDark ? kDarkSwitches : kLightSwitches) +
                                      L" --force-device-scale-factor=" + std::to_wstring(scale),
                                  copy);
        EXPECT_EQ(802 * scale, window.right - window.left);
        const test::Pixels shot = test::CaptureScreenForCurrentTest(
            window, base::WideToUTF8(version.version) + "_" + look->name + "_" +
                        std::to_string(scale * 100));
        ASSERT_FALSE(shot.empty());
        HWND checkbox = test::FindProcessControl(process_.pid(), test::kDefaultBrowserCheckboxId);
        EXPECT_EQ(version.default_browser, checkbox && ::IsWindowVisible(checkbox));
        if (version.default_browser) {
          const test::AccessibleReading reading = test::ReadWindowAccessible(checkbox);
          EXPECT_FALSE(reading.name.empty());
        }
        const COLORREF band = test::ToColorRef(shot.At(700 * scale, 60 * scale));
        // The top border row, averaged: JPEG blurs a one-pixel line.
        int sums[3] = {};
        for (int x = 20; x < 60; ++x) {
          const COLORREF pixel = test::ToColorRef(shot.At(x, 0));
          sums[0] += GetRValue(pixel);
          sums[1] += GetGValue(pixel);
          sums[2] += GetBValue(pixel);
        }
        const COLORREF corner = RGB(sums[0] / 40, sums[1] / 40, sums[2] / 40);
        if (version.windows7) {
          // JPEG: near the band's colour; the square edge is the border.
          EXPECT_TRUE(Near(band, look == &kDark ? RGB(0x30, 0x2a, 0x48) : RGB(0xec, 0xe9, 0xf8),
                           6))
              << Hex(band);
          EXPECT_TRUE(Near(corner, look == &kDark ? RGB(0x3a, 0x3f, 0x55) : RGB(0xc9, 0xcf, 0xe0),
                           10))
              << Hex(corner);
        } else {
          EXPECT_EQ(Hex(look->band), Hex(band));
        }
        Close();
      }
    }
  }
}

// Every language: a screenshot of its welcome screen, and the accessible
// names of Close, the licence link (without its parentheses) and the
// privacy link are the language's texts 416, 462 and 431.
TEST_F(ThemeE2ETest, EveryLanguageNamesCloseAndTheLinksInItsOwnWords) {
  std::optional<base::Json> texts =
      base::ParseJson(test::ReadFile(test::WinePath(LITE_STRINGS_JSON)));
  ASSERT_TRUE(texts && texts->is_object()) << "cannot read " << LITE_STRINGS_JSON;
  test::ScopedComApartment com;
  int languages = 0;
  for (const auto& [id, table] : texts->items()) {
    const std::string code = table["code"].get<std::string>();
    SCOPED_TRACE("language " + id + " (" + code + ")");
    auto text = [&](const char* string_id) {
      return base::UTF8ToWide(table["strings"][string_id].get<std::string>());
    };
    std::wstring license = text("462");
    std::erase_if(license, [](wchar_t c) { return c == L'(' || c == L')'; });
    const RECT window = Start(L"--distr-info-params=lang=" + base::UTF8ToWide(code));
    const test::Pixels shot = test::CaptureScreenForCurrentTest(window, code);
    EXPECT_FALSE(shot.empty());
    const struct {
      int control;
      std::wstring name;
    } expected[] = {{test::kCloseButtonId, text("416")},
                    {test::kLicenseLinkId, license},
                    {test::kPrivacyLinkId, text("431")}};
    for (const auto& control : expected) {
      const test::AccessibleReading reading =
          test::ReadWindowAccessible(test::FindProcessControl(process_.pid(), control.control));
      EXPECT_EQ(base::WideToUTF8(control.name), base::WideToUTF8(reading.name))
          << "control " << control.control;
    }
    Close();
    ++languages;
  }
  EXPECT_EQ(16, languages);
}

}  // namespace

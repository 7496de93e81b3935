#include "chrome/installer/lite_installer/lite_installer_helpers.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/command_line.h"
#include "base/file_util.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/norvel/util/registry.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

using ::testing::HasSubstr;

class HelpersTest : public test::TestWithLog {
 protected:
  // Parameters as the command line would give them.
  std::unique_ptr<DistribInfoParams> Params(const std::wstring& text) {
    auto params = std::make_unique<DistribInfoParams>();
    params->set_given_text(base::NarrowLowBytes(text));
    params->Load();
    return params;
  }
  // A value under the product key.
  void SetString(HKEY root, const wchar_t* name, const std::wstring& value) {
    ASSERT_TRUE(test::WriteRegistryValue(
        root, L"Software\\Norvel\\NorvelBrowser", name, value));
  }

  test::ScopedTempDir dir_;
  test::ScopedTempPathOverride tmp_{dir_.path()};
  test::ScopedRegistryOverride registry_{
      test::ScopedRegistryOverride::kCurrentUser |
      test::ScopedRegistryOverride::kLocalMachine};
  BrandPackageInfo brand_{dir_.path() + L"\\"};
};

TEST_F(HelpersTest, FixedChoicesAndTheWelcomeScreen) {
  auto all_fixed = Params(L"def=1&stat=2&first=1");
  bool flag = false;
  EXPECT_TRUE(GetMakeDefaultOverride(*all_fixed, &flag));
  EXPECT_TRUE(flag);
  EXPECT_TRUE(GetStatisticsOverride(*all_fixed, &flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(IsWelcomeScreenSkipped(&brand_, *all_fixed));

  // Something left to choose keeps the welcome screen.
  EXPECT_FALSE(IsWelcomeScreenSkipped(&brand_, *Params(L"first=1&stat=1")));
  EXPECT_FALSE(
      IsWelcomeScreenSkipped(&brand_, *Params(L"first=1&def=yes&stat=1")));
  // The brand can ask instead of "first".
  brand_.new_identity_first_screen_off_ = true;
  EXPECT_TRUE(IsWelcomeScreenSkipped(&brand_, *Params(L"def=2&statpromo=x")));
  EXPECT_FALSE(IsWelcomeScreenSkipped(nullptr, *Params(L"def=2&statpromo=x")));

  flag = true;
  EXPECT_TRUE(GetStatisticsOverride(*Params(L"statpromo=True"), &flag));
  EXPECT_FALSE(flag);  // only the exact text "true" sends
  EXPECT_TRUE(GetStatisticsOverride(*Params(L"stat=3&statpromo=true"), &flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(GetStatisticsOverride(*Params(L"stat=0"), &flag));
  EXPECT_FALSE(GetMakeDefaultOverride(*Params(L"def=true"), &flag));
}

TEST_F(HelpersTest, ElevationMode) {
  base::CommandLine plain(L"inst.exe");
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=7"), plain));
  EXPECT_EQ(1, GetElevationMode(&brand_, *Params(L"uac=1"), plain));
  EXPECT_EQ(2, GetElevationMode(&brand_, *Params(L"uac= +2x"), plain));
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=0"), plain));
  EXPECT_EQ(1, GetElevationMode(&brand_, *Params(L"uac=0&first=1&def=1&stat=1"),
                                plain));
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=x"), plain));
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=99999999999"), plain));
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"a=b"), plain));
  base::CommandLine system(L"inst.exe");
  system.AppendSwitch("system-level");
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=1"), system));
  base::CommandLine program_files(L"inst.exe");
  program_files.AppendSwitch("program-files-installation");
  EXPECT_EQ(0, GetElevationMode(&brand_, *Params(L"uac=2"), program_files));
}

TEST_F(HelpersTest, FeatureParameters) {
  EXPECT_TRUE(IsUts2Enabled(*Params(L"uts2=1")));
  EXPECT_FALSE(IsUts2Enabled(*Params(L"uts2=2")));
  EXPECT_TRUE(IsFromFailurePage(*Params(L"code=lite_install_failed")));
  EXPECT_FALSE(IsFromFailurePage(*Params(L"code=lite_install_failedx")));
  EXPECT_TRUE(
      IsDefaultBrowserUiInSetup(nullptr, Params(L"defbruiinsp=1").get()));
  EXPECT_FALSE(IsDefaultBrowserUiInSetup(nullptr, nullptr));
  brand_.default_browser_ui_in_setup_ = true;
  EXPECT_TRUE(IsDefaultBrowserUiInSetup(&brand_, nullptr));
}

TEST_F(HelpersTest, DarkThemeFollowsTheSystemWhenNotFixed) {
  const wchar_t kPersonalize[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  auto none = Params(L"a=1");
  EXPECT_FALSE(IsDarkThemeWanted(&brand_, none.get()));  // brand not enabled
  brand_.dark_theme_enabled_ = true;
  EXPECT_FALSE(IsDarkThemeWanted(&brand_, none.get()));  // value missing
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_CURRENT_USER, kPersonalize,
                                       L"AppsUseLightTheme", DWORD{0}));
  EXPECT_TRUE(IsDarkThemeWanted(&brand_, none.get()));
  EXPECT_TRUE(IsDarkThemeWanted(&brand_, nullptr));
  EXPECT_FALSE(IsDarkThemeWanted(&brand_, Params(L"darktheme=2").get()));
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_CURRENT_USER, kPersonalize,
                                       L"AppsUseLightTheme", DWORD{1}));
  EXPECT_TRUE(IsDarkThemeWanted(&brand_, Params(L"darktheme=1").get()));
  EXPECT_FALSE(IsDarkThemeWanted(&brand_, none.get()));
  EXPECT_FALSE(IsDarkThemeWanted(nullptr, Params(L"darktheme=1").get()));
}

TEST_F(HelpersTest, ExistingInstallations) {
  EXPECT_EQ(L"", FindExistingBrowserInstall(false));
  EXPECT_FALSE(HasNonCorporateInstall());

  // <dir>\Application\24.7.1.1076\Installer\setup.exe
  const std::wstring app = dir_.Append(L"Application");
  ASSERT_TRUE(::CreateDirectoryW(app.c_str(), nullptr));
  const std::wstring setup = app + L"\\24.7.1.1076\\Installer\\setup.exe";
  SetString(HKEY_CURRENT_USER, L"pv", L"24.7.1.1076");
  SetString(HKEY_CURRENT_USER, L"UninstallString", setup);
  EXPECT_EQ(app, FindExistingBrowserInstall(false));
  EXPECT_EQ(L"", FindExistingBrowserInstall(true));
  EXPECT_TRUE(HasNonCorporateInstall());

  // "npv" wins over "pv"; invalid versions hide the installation.
  for (const wchar_t* bad : {L"01.2", L"1..2", L"-1", L"4294967296", L"1.a"}) {
    SetString(HKEY_CURRENT_USER, L"npv", bad);
    EXPECT_EQ(L"", FindExistingBrowserInstall(false)) << bad;
  }
  SetString(HKEY_CURRENT_USER, L"npv", L"0.1.01");
  EXPECT_EQ(app, FindExistingBrowserInstall(false));

  for (const std::wstring& bad_path :
       {std::wstring(L"Application\\1\\Installer\\setup.exe"),
        app + L"\\..\\x\\Installer\\setup.exe", std::wstring(L"C:\\a\\b\\c"),
        dir_.Append(L"Missing\\1\\Installer\\setup.exe")}) {
    SetString(HKEY_CURRENT_USER, L"UninstallString", bad_path);
    EXPECT_EQ(L"", FindExistingBrowserInstall(false)) << bad_path;
  }

  // System level and the corporate marking.
  SetString(HKEY_LOCAL_MACHINE, L"pv", L"25.1");
  SetString(HKEY_LOCAL_MACHINE, L"UninstallString", setup);
  EXPECT_EQ(app, FindExistingBrowserInstall(true));
  EXPECT_EQ(app, GetInstalledApplicationDir());
  SetString(HKEY_LOCAL_MACHINE, L"corporate", L"TRUE");
  EXPECT_FALSE(IsInstallationCorporate());
  EXPECT_TRUE(HasNonCorporateInstall());
  SetString(HKEY_LOCAL_MACHINE, L"corporate", L"true");
  EXPECT_TRUE(IsSystemInstallCorporate());
  EXPECT_FALSE(HasNonCorporateInstall());
}

TEST_F(HelpersTest, DefaultApplicationDirectory) {
  EXPECT_THAT(test::ToLower(GetInstalledApplicationDir()),
              HasSubstr(L"\\norvel\\norvelbrowser\\application"));
}

TEST_F(HelpersTest, FileHelpers) {
  EXPECT_EQ(L"", CreateTempFileIn(L""));
  std::wstring temp = CreateTempFileIn(dir_.path());
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(0u, temp.find(dir_.path() + L"\\nb"));
  EXPECT_EQ("", ReadFileContents(temp, 3));
  EXPECT_EQ(0u, base::GetReadableFileSize(temp));
  EXPECT_TRUE(WriteFileContents(temp, std::string("a\0b", 3)));
  EXPECT_EQ(std::string("a\0b", 3), ReadFileContents(temp, 3));
  EXPECT_EQ(3u, base::GetReadableFileSize(temp));
  EXPECT_FALSE(WriteFileContents(dir_.Append(L"no\\such\\dir"), "x"));
  const std::wstring missing = dir_.Append(L"missing");
  EXPECT_EQ(std::nullopt, ReadFileContents(missing, 3));
  EXPECT_EQ(std::nullopt, base::GetReadableFileSize(missing));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Cannot open " +
                               base::WideToUTF8(missing) + " - "));

  // Above the limit the file is not read, and the log says why.
  EXPECT_EQ(std::nullopt, ReadFileContents(temp, 2));
  EXPECT_THAT(Log(), HasSubstr("ERROR: File too large to read: " +
                               base::WideToUTF8(temp) +
                               " holds 3 bytes, at most 2 allowed ("));
}

TEST_F(HelpersTest, RaisingProcessZeroIsAnError) {
  BringProcessWindowToTop(0);
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to bring process window to top: "
                               "wrong process id - "));
}

}  // namespace
}  // namespace lite_installer

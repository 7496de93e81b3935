#include "chrome/installer/lite_installer/setup_command_line.h"

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/scoped_command_line.h"

namespace lite_installer {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Key;
using ::testing::Pair;

// Those of `names` that `line` carries; a failed expectation of "none" or
// "all" names the switches at fault.
std::vector<std::string> Carried(const base::CommandLine& line,
                                 std::initializer_list<const char*> names) {
  std::vector<std::string> carried;
  for (const char* name : names) {
    if (line.HasSwitch(name))
      carried.push_back(name);
  }
  return carried;
}
std::vector<std::string> Missing(const base::CommandLine& line,
                                 std::initializer_list<const char*> names) {
  std::vector<std::string> missing;
  for (const char* name : names) {
    if (!line.HasSwitch(name))
      missing.push_back(name);
  }
  return missing;
}

// A windowed run with every value set and the data files included.
SetupCommandLineInputs FullInputs() {
  SetupCommandLineInputs in;
  in.archive_path = LR"(C:\Users\Ann Lee\AppData\Local\Temp\browser-setup.arc)";
  in.include_data_files = true;
  in.window_handle = 0x000A01F2;
  in.uac_declined = true;
  in.brand_name = "norvel";
  in.brand_id = "brand7";
  in.partner_id = "partner9";
  in.default_browser_ui_in_setup = false;
  in.brand_has_test_ids = true;
  in.test_ids = {"12345", "67890/2"};
  in.distrib_info_file_path = LR"(C:\T\distrib_info)";
  in.uts2 = "1";
  in.defbruiinsp = "1";
  in.make_default = 1;
  in.send_statistics = 255;
  in.install_nrpin = 0;
  in.ok_button_pressed_time = 123456789012;
  in.install_start_time = 123456799999;
  in.elevation_mode = 2;
  in.browser_present = "user";
  in.abt_config_path = LR"(C:\T\abt config.json)";
  in.installer_data_path = LR"(C:\T\installerdata)";
  in.clids_file_path = LR"(C:\T\clids.xml)";
  in.website_icon_path = LR"(C:\T\icon.ico)";
  in.brand_package_path = LR"(C:\T\brand.cab)";
  in.brand_package_extracted = true;
  in.partner_package_path = LR"(C:\T\partner.cab)";
  in.partner_package_extracted = true;
  in.override_partner_package_path = LR"(D:\pp\over "ride".cab)";
  in.has_prefetch_tasks = true;
  in.variations_path = LR"(C:\T\seed)";
  in.abt_update_path = LR"(C:\T\abt)";
  in.webntp_path = LR"(C:\T\ntp\)";
  in.server_config_bundle_path = LR"(C:\T\bundle)";
  in.preloaded_wallpaper_bundle_path = LR"(C:\T\wall)";
  return in;
}

TEST(SetupCommandLineTest, FullInputGivesExactText) {
  const base::CommandLine installer = base::CommandLine::FromString(
      LR"("C:\dl\inst.exe" --Brand-Name=old --do-not-launch-browser extra)");
  const std::wstring expected =
      LR"("C:\Users\Ann Lee\AppData\Local\Temp\browser-setup.arc")"
      LR"( --abt-config-resource-file="C:\T\abt config.json")"
      LR"( --abt-update-path="C:\T\abt")"
      LR"( --brand-name=norvel)"
      LR"( --brand-package="C:\T\brand.cab")"
      LR"( --browser-present=user)"
      LR"( --clids-file="C:\T\clids.xml")"
      LR"( --disable-uac)"
      LR"( --disablenrpin)"
      LR"( --distr-info-file="C:\T\distrib_info")"
      LR"( --do-not-launch-browser)"
      LR"( --enable-default-browser-ui)"
      LR"( --install-start-time-no-uac=123456799999)"
      LR"( --installer-brand-id=brand7)"
      LR"( --installer-partner-id=partner9)"
      LR"( --installerdata="C:\T\installerdata")"
      LR"( --make-browser-default-after-import)"
      LR"( --norvel-website-icon-file="C:\T\icon.ico")"
      LR"( --ok-button-pressed-time=123456789012)"
      LR"( --override-partner-package="D:\pp\over \"ride\".cab")"
      LR"( --partner-package="C:\T\partner.cab")"
      LR"( --preloaded-wallpaper-bundle-path="C:\T\wall")"
      LR"( --progress-window=655858)"
      LR"( --send-statistics)"
      LR"( --server-config-bundle-path="C:\T\bundle")"
      LR"( --show-uac-at-browser-start)"
      LR"( --testids=12345;67890/2)"
      LR"( --use-task-scheduler2)"
      LR"( --variations-update-path="C:\T\seed")"
      LR"( --verbose-logging)"
      LR"( --webntp-path="C:\T\ntp\\")";
  const base::CommandLine setup =
      BuildSetupCommandLine(FullInputs(), installer);
  EXPECT_EQ(expected, setup.GetCommandLineString());

  // Setup's parser gets back exactly what was built.
  const base::CommandLine reparsed =
      base::CommandLine::FromString(setup.GetCommandLineString());
  EXPECT_EQ(setup.GetProgram(), reparsed.GetProgram());
  EXPECT_EQ(setup.switches(), reparsed.switches());
}

TEST(SetupCommandLineTest, EmptyInputGivesOnlyTheUnconditionalSwitches) {
  // No window, no brand, pin choice at its initial "yes".
  EXPECT_EQ(L" --brand-name --progress-window=0 --verbose-logging",
            BuildSetupCommandLine(SetupCommandLineInputs(), base::CommandLine())
                .GetCommandLineString());
}

TEST(SetupCommandLineTest, ChoicesThatAreOffRemoveTheInstallersSwitches) {
  const base::CommandLine installer = base::CommandLine::FromString(
      L"inst.exe --send-statistics --make-browser-default-after-import "
      L"--disablenrpin");
  SetupCommandLineInputs in;
  in.make_default = 0;
  in.send_statistics = 0;
  in.install_nrpin = 1;
  base::CommandLine setup = BuildSetupCommandLine(in, installer);
  EXPECT_THAT(
      Carried(setup, {"send-statistics", "make-browser-default-after-import",
                      "disablenrpin"}),
      IsEmpty());

  // Any non-zero byte is "yes"; the pin choice is "yes" only as exactly 1.
  in.make_default = 2;
  in.send_statistics = 255;
  in.install_nrpin = 2;
  setup = BuildSetupCommandLine(in, base::CommandLine(L"inst.exe"));
  EXPECT_THAT(
      Missing(setup, {"send-statistics", "make-browser-default-after-import",
                      "disablenrpin"}),
      IsEmpty());
}

TEST(SetupCommandLineTest, ComputedValuesReplaceTheInstallersOwn) {
  const base::CommandLine installer = base::CommandLine::FromString(
      L"inst.exe --progress-window=999 --BRAND-NAME=old --testids=x "
      L"--disable-uac --installerdata=C:\\mine");
  SetupCommandLineInputs in = FullInputs();
  in.uac_declined = false;
  in.window_handle.reset();
  in.include_data_files = false;
  in.brand_has_test_ids = false;
  const base::CommandLine setup = BuildSetupCommandLine(in, installer);
  EXPECT_EQ(L"0", setup.GetSwitchValue("progress-window"));
  EXPECT_EQ(L"norvel", setup.GetSwitchValue("brand-name"));
  // Switches the table only appends under a condition pass through as given.
  EXPECT_EQ(L"x", setup.GetSwitchValue("testids"));
  EXPECT_TRUE(setup.HasSwitch("disable-uac"));
  EXPECT_EQ(L"C:\\mine", setup.GetSwitchValue("installerdata"));
}

TEST(SetupCommandLineTest, DataFilesOnlyWhenIncludedAndPresent) {
  SetupCommandLineInputs in = FullInputs();
  in.include_data_files = false;
  base::CommandLine setup = BuildSetupCommandLine(in, base::CommandLine());
  EXPECT_THAT(Carried(setup, {"installerdata", "clids-file",
                              "norvel-website-icon-file", "brand-package",
                              "partner-package", "override-partner-package"}),
              IsEmpty());
  // Not a data file in this sense: passed whenever its path is known.
  EXPECT_TRUE(setup.HasSwitch("abt-config-resource-file"));

  in = FullInputs();
  in.brand_package_extracted = false;
  in.partner_package_extracted = false;
  in.website_icon_path.clear();
  in.override_partner_package_path.clear();
  in.abt_config_path.clear();
  in.installer_data_path.clear();
  setup = BuildSetupCommandLine(in, base::CommandLine());
  EXPECT_THAT(
      Carried(setup,
              {"brand-package", "partner-package", "norvel-website-icon-file",
               "override-partner-package", "abt-config-resource-file"}),
      IsEmpty());
  // The installer data and the clids file go whenever data files are
  // included, even with an empty path.
  EXPECT_TRUE(setup.HasSwitch("installerdata"));
  EXPECT_EQ(L"", setup.GetSwitchValue("installerdata"));
  EXPECT_TRUE(setup.HasSwitch("clids-file"));
}

TEST(SetupCommandLineTest, PrefetchPathsNeedTheTasksAndAPath) {
  SetupCommandLineInputs in = FullInputs();
  in.has_prefetch_tasks = false;
  base::CommandLine setup = BuildSetupCommandLine(in, base::CommandLine());
  EXPECT_THAT(Carried(setup, {"variations-update-path", "abt-update-path",
                              "webntp-path", "server-config-bundle-path",
                              "preloaded-wallpaper-bundle-path"}),
              IsEmpty());

  in = FullInputs();
  in.variations_path.clear();
  in.webntp_path.clear();
  setup = BuildSetupCommandLine(in, base::CommandLine());
  EXPECT_THAT(Carried(setup, {"variations-update-path", "webntp-path"}),
              IsEmpty());
  EXPECT_THAT(Missing(setup, {"abt-update-path", "server-config-bundle-path",
                              "preloaded-wallpaper-bundle-path"}),
              IsEmpty());
}

TEST(SetupCommandLineTest, DistributionAndBrandConditions) {
  SetupCommandLineInputs in = FullInputs();
  in.uts2 = "11";
  in.defbruiinsp = "true";
  in.elevation_mode = 1;
  in.brand_id.clear();
  in.partner_id.clear();
  in.browser_present.clear();
  in.ok_button_pressed_time = 0;
  in.install_start_time = -42;
  base::CommandLine setup = BuildSetupCommandLine(in, base::CommandLine());
  EXPECT_THAT(
      Carried(setup, {"use-task-scheduler2", "enable-default-browser-ui",
                      "show-uac-at-browser-start", "installer-brand-id",
                      "installer-partner-id", "browser-present",
                      "ok-button-pressed-time"}),
      IsEmpty());
  EXPECT_EQ(L"-42", setup.GetSwitchValue("install-start-time-no-uac"));

  // The brand's own flag turns the default-browser UI on by itself.
  in.default_browser_ui_in_setup = true;
  EXPECT_TRUE(BuildSetupCommandLine(in, base::CommandLine())
                  .HasSwitch("enable-default-browser-ui"));

  // Test identifiers go only when the brand has some, and then all of them.
  in.brand_has_test_ids = false;
  EXPECT_FALSE(
      BuildSetupCommandLine(in, base::CommandLine()).HasSwitch("testids"));
  in.brand_has_test_ids = true;
  in.test_ids = {"7"};
  EXPECT_EQ(
      L"7",
      BuildSetupCommandLine(in, base::CommandLine()).GetSwitchValue("testids"));
}

TEST(SetupCommandLineTest, StartsFromTheProcessCommandLine) {
  // "semi-silent" reaches setup as "silent" plus "uac-enabled"; plain
  // arguments never do.
  test::ScopedCommandLine process(LR"("C:\dl\inst.exe" --semi-silent plain)");
  const base::CommandLine setup =
      BuildSetupCommandLine(SetupCommandLineInputs());
  EXPECT_THAT(
      setup.switches(),
      ElementsAre(Key("brand-name"), Key("progress-window"), Key("semi-silent"),
                  Key("silent"), Key("uac-enabled"), Key("verbose-logging")));
}

TEST(SetupCommandLineTest, WholeSetupLineTravelsAsOneValue) {
  // The elevated restart hands setup's line to the elevated copy as the
  // value of one switch.
  SetupCommandLineInputs in = FullInputs();
  in.archive_path = L"fake_browser_arc";
  in.include_data_files = false;
  const std::wstring setup_text =
      BuildSetupCommandLine(in, base::CommandLine()).GetCommandLineString();

  base::CommandLine elevated(LR"(C:\Program Files\x\inst.exe)");
  elevated.AppendSwitch("setup-cmd-line", setup_text);
  elevated.AppendSwitch("run-as-admin");
  const base::CommandLine parsed =
      base::CommandLine::FromString(elevated.GetCommandLineString());
  EXPECT_THAT(parsed.switches(),
              ElementsAre(Pair("run-as-admin", L""),
                          Pair("setup-cmd-line", setup_text)));
  EXPECT_EQ(setup_text, base::CommandLine::FromString(
                            parsed.GetSwitchValue("setup-cmd-line"))
                            .GetCommandLineString());
}

}  // namespace
}  // namespace lite_installer

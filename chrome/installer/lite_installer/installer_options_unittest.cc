#include "chrome/installer/lite_installer/installer_options.h"

#include <windows.h>

#include "gtest/gtest.h"
#include "test/support/scoped_command_line.h"

namespace lite_installer {
namespace {

TEST(InstallerOptionsTest, ReadsTheSwitchesOnce) {
  test::ScopedCommandLine process(
      LR"(inst.exe /SEMI-SILENT -brand-name=tb --distr-info-params= )"
      LR"(--installerdata=C:\d\mp "--override-partner-package=C:\p q" x)");
  const InstallerOptions& options = InstallerOptions::ForCurrentProcess();
  EXPECT_TRUE(options.silent);
  EXPECT_TRUE(options.command_line.HasSwitch("uac-enabled"));
  EXPECT_EQ("tb", options.brand_name);
  // Given but empty is not the same as absent: the tag is read then.
  ASSERT_TRUE(options.distr_info_params.has_value());
  EXPECT_EQ("", *options.distr_info_params);
  EXPECT_EQ(L"C:\\d\\mp", options.installer_data);
  EXPECT_EQ(L"C:\\p q", options.override_partner_package.value_or(L""));
  EXPECT_FALSE(options.system_level);
  EXPECT_TRUE(options.clids_file.empty());

  // A replaced process command line gives new options.
  process.Set(L"inst.exe --system-level --do-not-launch-browser");
  const InstallerOptions& again = InstallerOptions::ForCurrentProcess();
  EXPECT_FALSE(again.silent);
  EXPECT_TRUE(again.system_level);
  EXPECT_TRUE(again.do_not_launch_browser);
  EXPECT_FALSE(again.distr_info_params.has_value());
  EXPECT_FALSE(again.override_partner_package.has_value());
}

TEST(InstallerOptionsTest, SemiSilentExpandsInTheProcessCommandLine) {
  test::ScopedCommandLine process(L"inst.exe --semi-silent");
  const base::CommandLine& line =
      InstallerOptions::ForCurrentProcess().command_line;
  EXPECT_TRUE(line.HasSwitch("silent"));
  EXPECT_TRUE(line.HasSwitch("uac-enabled"));
  EXPECT_TRUE(line.HasSwitch("semi-silent"));
  process.Set(L"inst.exe --silent");
  EXPECT_FALSE(InstallerOptions::ForCurrentProcess().command_line.HasSwitch(
      "uac-enabled"));
}

}  // namespace
}  // namespace lite_installer

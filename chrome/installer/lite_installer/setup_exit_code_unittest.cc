#include "chrome/installer/lite_installer/setup_exit_code.h"

#include "base/command_line.h"
#include "chrome/installer/lite_installer/switches.h"
#include "gtest/gtest.h"

namespace lite_installer {
namespace {

TEST(SetupExitCodeTest, FormatsStatusByteAndDetail) {
  EXPECT_EQ("SUCCESS_EXIT_CODE(0); error: 0", FormatSetupExitCode(0));
  EXPECT_EQ("SUCCESS_EXIT_CODE(0); error: 7", FormatSetupExitCode(7));
  EXPECT_EQ("PATCH_NOT_FOR_INSTALLED_VERSION(111); error: 3",
            FormatSetupExitCode((111u << 24) | 3));
  EXPECT_EQ("Exit code: 2; error: 5", FormatSetupExitCode((2u << 24) | 5));
  EXPECT_EQ("GENERIC_ERROR(1); error: 16777215",
            FormatSetupExitCode(0x01FFFFFF));
  EXPECT_EQ("Exit code: 255; error: 16777215", FormatSetupExitCode(0xFFFFFFFF));
}

TEST(SetupExitCodeTest, NamesOnlyKnownValues) {
  EXPECT_STREQ("UNABLE_TO_SET_DIRECTORY_ACL", SetupExitCodeName(117));
  EXPECT_STREQ("ANOTHER_INSTALLER_RUNNING", SetupExitCodeName(513));
  EXPECT_EQ(nullptr, SetupExitCodeName(2));
  EXPECT_EQ(nullptr, SetupExitCodeName(514));
}

TEST(NonInstallSwitchTest, FirstInListOrderWhateverTheCase) {
  EXPECT_EQ(nullptr, FindNonInstallSwitch(base::CommandLine::FromString(
                         L"inst.exe --silent --brand-name=patch")));
  EXPECT_STREQ("patch", FindNonInstallSwitch(base::CommandLine::FromString(
                            L"inst.exe /PTTW0 --Patch")));
  EXPECT_STREQ("pttw0", FindNonInstallSwitch(
                            base::CommandLine::FromString(L"inst.exe -pttw0")));
}

}  // namespace
}  // namespace lite_installer

#include "chrome/installer/norvel/util/install_uac_util.h"

#include <windows.h>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"

namespace {

using ::testing::HasSubstr;

constexpr wchar_t kPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

class InstallUACUtilTest : public test::TestWithLog {
 protected:
  test::ScopedRegistryOverride registry_{
      test::ScopedRegistryOverride::kLocalMachine};
};

// Prompts are on only for a non-zero policy value: a missing key, a
// missing value and 0 ("elevate without prompting") all mean none.
TEST_F(InstallUACUtilTest, OnlyANonZeroConsentValueMeansPrompts) {
  ASSERT_TRUE(registry_.ok());
  EXPECT_FALSE(InstallUACUtil::AreUACNotificationsEnabled());
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"EnableLUA", DWORD{1}));
  EXPECT_FALSE(InstallUACUtil::AreUACNotificationsEnabled());
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin", DWORD{0}));
  EXPECT_FALSE(InstallUACUtil::AreUACNotificationsEnabled());
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin", DWORD{5}));
  EXPECT_TRUE(InstallUACUtil::AreUACNotificationsEnabled());
  EXPECT_THAT(Log(),
              HasSubstr("INFO: Read HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\"
                        "Windows\\CurrentVersion\\Policies\\System\\"
                        "ConsentPromptBehaviorAdmin which is \"5\""));
  EXPECT_THAT(Log(), HasSubstr("ConsentPromptBehaviorAdmin which is \"0\""));
}

}  // namespace

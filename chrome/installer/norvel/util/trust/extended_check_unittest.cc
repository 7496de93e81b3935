#include "chrome/installer/norvel/util/trust/extended_check.h"

#include <memory>
#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class ExtendedCheckTest : public test::TestWithLog {
 protected:
  void SetUp() override { facts_.SetWindowsVersion(6, 1, 7601); }

  test::FakeSystemFacts facts_;
};

TEST_F(ExtendedCheckTest, DefaultsRetryOnWindows81AndOlderOnly) {
  facts_.SetWindowsVersion(6, 1, 7601);
  EXPECT_TRUE(ShouldUseExtendedCheck());
  facts_.SetWindowsVersion(6, 3, 9600);
  EXPECT_TRUE(ShouldUseExtendedCheck());
  facts_.SetWindowsVersion(10, 0, 19045);
  EXPECT_FALSE(ShouldUseExtendedCheck());

  facts_.SetWindowsVersion(6, 1, 7601);
  Win7UpdateConfig off;
  off.enabled = false;
  ScopedWin7UpdateConfigForTesting config(off);
  EXPECT_FALSE(ShouldUseExtendedCheck());
}

TEST_F(ExtendedCheckTest, CryptVersionAtLeastCrypt32TurnsTheRetryOff) {
  facts_.SetWindowsVersion(6, 1, 7601);
  installer::VersionNumber crypt32 = GetCrypt32DllVersion();
  ASSERT_THAT(crypt32, SizeIs(4));
  Win7UpdateConfig settings;
  settings.crypt_version = installer::VersionNumberToString(crypt32);
  {
    ScopedWin7UpdateConfigForTesting config(settings);
    EXPECT_FALSE(ShouldUseExtendedCheck());
  }
  settings.crypt_version = "0.1";
  {
    ScopedWin7UpdateConfigForTesting config(settings);
    EXPECT_TRUE(ShouldUseExtendedCheck());
  }
  settings.crypt_version = "not a version";
  {
    ScopedWin7UpdateConfigForTesting config(settings);
    EXPECT_TRUE(ShouldUseExtendedCheck());
  }
}

TEST_F(ExtendedCheckTest, Win7VersionComparesTheUpdateBuildRevision) {
  test::ScopedRegistryOverride registry(
      test::ScopedRegistryOverride::kLocalMachine);
  ASSERT_TRUE(registry.ok());
  ASSERT_TRUE(test::WriteRegistryValue(
      HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
      L"UBR", DWORD{24214}));
  facts_.SetWindowsVersion(6, 1, 7601);
  EXPECT_THAT(GetWindowsVersion(), ElementsAre(6, 1, 7601, 24214));

  Win7UpdateConfig settings;
  for (auto [win7_version, expected] :
       {std::pair{"6.1.7601.24213", true}, std::pair{"6.1.7601.24214", false},
        std::pair{"6.1.7602", false}, std::pair{"6.1", true},
        std::pair{"garbage", true}}) {
    settings.win7_version = win7_version;
    ScopedWin7UpdateConfigForTesting config(settings);
    EXPECT_EQ(expected, ShouldUseExtendedCheck()) << win7_version;
  }
}

TEST_F(ExtendedCheckTest, UnknownWindowsVersionIsLogged) {
  facts_.SetWindowsVersion(std::nullopt);
  EXPECT_THAT(GetWindowsVersion(), IsEmpty());
  EXPECT_THAT(Log(),
              testing::HasSubstr("ERROR: Failed to get Windows version"));
}

}  // namespace
}  // namespace install_util

#include "chrome/installer/norvel/util/trust/extended_check.h"

#include <memory>
#include <string>

#include "base/system_facts.h"
#include "base/windows_version.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/registry_override.h"
#include "test/support/test_support.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class VersionFacts : public base::SystemFacts {
 public:
  std::optional<Version> GetWindowsVersion() const override { return version; }
  std::optional<Version> version = Version{6, 1, 7601};
};

class ExtendedCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    base::ResetWindowsVersionClassForTesting();
    broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
        dir_.Append(L"lite_installer.log"), broupdater::kLogFileMaxSize));
  }
  void TearDown() override {
    broupdater::SetFileLogger(nullptr);
    base::ResetWindowsVersionClassForTesting();
  }
  void SetVersion(DWORD major, DWORD minor, DWORD build) {
    facts_.version = base::SystemFacts::Version{major, minor, build};
    base::ResetWindowsVersionClassForTesting();
  }
  std::string Log() {
    std::string text;
    test::ReadFileToString(dir_.Append(L"lite_installer.log"), &text);
    return text;
  }

  test::ScopedTempDir dir_;
  VersionFacts facts_;
  base::ScopedSystemFactsForTesting scoped_facts_{&facts_};
};

TEST_F(ExtendedCheckTest, DefaultsRetryOnWindows81AndOlderOnly) {
  SetVersion(6, 1, 7601);
  EXPECT_TRUE(ShouldUseExtendedCheck());
  SetVersion(6, 3, 9600);
  EXPECT_TRUE(ShouldUseExtendedCheck());
  SetVersion(10, 0, 19045);
  EXPECT_FALSE(ShouldUseExtendedCheck());

  SetVersion(6, 1, 7601);
  Win7UpdateConfig off;
  off.enabled = false;
  ScopedWin7UpdateConfigForTesting config(off);
  EXPECT_FALSE(ShouldUseExtendedCheck());
}

TEST_F(ExtendedCheckTest, CryptVersionAtLeastCrypt32TurnsTheRetryOff) {
  SetVersion(6, 1, 7601);
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
  HKEY key;
  ASSERT_EQ(
      ERROR_SUCCESS,
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  DWORD ubr = 24214;
  ::RegSetValueExW(key, L"UBR", 0, REG_DWORD, reinterpret_cast<BYTE*>(&ubr),
                   sizeof(ubr));
  ::RegCloseKey(key);
  SetVersion(6, 1, 7601);
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
  facts_.version.reset();
  EXPECT_THAT(GetWindowsVersion(), IsEmpty());
  EXPECT_THAT(Log(),
              testing::HasSubstr("ERROR: Failed to get Windows version"));
}

}  // namespace
}  // namespace install_util

#include "chrome/installer/norvel/util/install_uac_util.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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

  // A value of another type or size is no policy value: it reads as 0.
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin",
                                       std::wstring(L"5")));
  EXPECT_FALSE(InstallUACUtil::AreUACNotificationsEnabled());
  const BYTE two_bytes[] = {5, 0};
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin", REG_DWORD,
                                       two_bytes, sizeof(two_bytes)));
  EXPECT_FALSE(InstallUACUtil::AreUACNotificationsEnabled());
}

// The Administrators group counts in any form UAC leaves it in the token.
TEST_F(InstallUACUtilTest, AdministratorsGroupCountsEvenWhenDenyOnly) {
  // Every Wine process runs with an administrator's full token.
  EXPECT_TRUE(InstallUACUtil::IsUserAnAdminGroup(::GetCurrentProcess()));

  // The filtered token of an administrator's ordinary process: the group is
  // marked for deny only.
  base::ScopedKernelHandle own;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(),
                                 TOKEN_QUERY | TOKEN_DUPLICATE, own.Receive()));
  alignas(DWORD) uint8_t admins[SECURITY_MAX_SID_SIZE];
  DWORD admins_size = sizeof(admins);
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins,
                                   &admins_size));
  SID_AND_ATTRIBUTES disable = {admins, 0};
  base::ScopedKernelHandle restricted;
  ASSERT_TRUE(::CreateRestrictedToken(own.get(), 0, 1, &disable, 0, nullptr, 0,
                                      nullptr, restricted.Receive()));
  std::vector<uint8_t> buffer;
  ASSERT_TRUE(GetTokenInfo(restricted.get(), TokenGroups, &buffer));
  const auto& groups = *reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  DWORD admin_attributes = 0;
  for (DWORD i = 0; i < groups.GroupCount; ++i) {
    if (::EqualSid(admins, groups.Groups[i].Sid))
      admin_attributes = groups.Groups[i].Attributes;
  }
  ASSERT_TRUE(admin_attributes & SE_GROUP_USE_FOR_DENY_ONLY) << admin_attributes;
  EXPECT_TRUE(InstallUACUtil::HasAdministratorsGroup(groups));

  // A standard user's groups: no Administrators entry.
  alignas(DWORD) uint8_t users[SECURITY_MAX_SID_SIZE];
  alignas(DWORD) uint8_t everyone[SECURITY_MAX_SID_SIZE];
  DWORD users_size = sizeof(users);
  DWORD everyone_size = sizeof(everyone);
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &users_size));
  ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyone_size));
  std::vector<uint8_t> standard(sizeof(TOKEN_GROUPS) + sizeof(SID_AND_ATTRIBUTES));
  auto* list = reinterpret_cast<TOKEN_GROUPS*>(standard.data());
  list->GroupCount = 2;
  list->Groups[0] = {users, SE_GROUP_ENABLED};
  list->Groups[1] = {everyone, SE_GROUP_ENABLED};
  EXPECT_FALSE(InstallUACUtil::HasAdministratorsGroup(*list));
  EXPECT_THAT(Log(), Not(HasSubstr("ERROR")));
}

// A handle that opens no token: logged, and no membership. (Wine opens
// the token even through a handle with SYNCHRONIZE access alone.)
TEST_F(InstallUACUtilTest, AProcessWithoutAReadableTokenIsNoMember) {
  EXPECT_FALSE(InstallUACUtil::IsUserAnAdminGroup(reinterpret_cast<HANDLE>(0x1234)));
  EXPECT_FALSE(InstallUACUtil::IsUserAnAdminGroup(nullptr));
  EXPECT_THAT(Log(), HasSubstr("ERROR: OpenProcessToken fail - "));
  std::vector<uint8_t> buffer(4, 1);
  EXPECT_FALSE(GetTokenInfo(nullptr, TokenGroups, &buffer));
  EXPECT_TRUE(buffer.empty());
}

}  // namespace

#include "chrome/installer/norvel/util/network/request_headers.h"

#include <string>

#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/registry_override.h"

namespace installer {
namespace {

TEST(RequestHeadersTest, Format) {
  EXPECT_EQ(
      L"Accept: */*\r\n"
      L"Sec-CH-UA-Platform: \"Windows\"\r\n"
      L"Sec-CH-UA-Platform-Version: \"10.0.3803\"",
      FormatRequestHeaders(10, 0, 3803));
}

// The version is major.minor of the system and the update build revision,
// never the build number. HKLM is a scratch key, so the revision can be
// present or absent.
TEST(RequestHeadersTest, VersionComesFromSystemAndUbr) {
  test::FakeSystemFacts facts;
  facts.SetWindowsVersion(10, 0, 19045);
  test::ScopedRegistryOverride hive(
      test::ScopedRegistryOverride::kLocalMachine);
  ASSERT_TRUE(hive.ok());
  EXPECT_EQ(FormatRequestHeaders(10, 0, 0), BuildRequestHeaders());
  ASSERT_TRUE(test::WriteRegistryValue(
      HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
      L"UBR", DWORD{3803}));
  EXPECT_EQ(3803u, GetUpdateBuildRevision());
  EXPECT_EQ(FormatRequestHeaders(10, 0, 3803), BuildRequestHeaders());
}

}  // namespace
}  // namespace installer

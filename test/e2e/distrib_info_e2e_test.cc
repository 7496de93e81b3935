// Distribution parameters of a signed installer that the tag writer stamped,
// as the download service would deliver it.

#include <windows.h>

#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DistribInfoE2ETest : public e2e::InstallerRunTest {
 protected:
  // Start-up of an installer the tag writer stamped.
  bool Run(const wchar_t* fixture, const std::wstring& switches) {
    return RunStartUp(std::wstring(L"tag_fixtures\\") + fixture, switches);
  }
  // The distribution parameters the run wrote for setup.
  std::string DistribInfo() {
    return test::ReadFile(dir_.Append(L"distrib_info"));
  }
};

TEST_F(DistribInfoE2ETest, TagInTheCertificateTable) {
  EXPECT_TRUE(Run(L"lite_installer_tagged.exe", L"--silent"));
  EXPECT_THAT(
      Log(),
      HasSubstr("INFO: Distribution parameters: brand_id=x&banerid=42 ("));
  EXPECT_EQ("{\"banerid\":\"42\",\"brand_id\":\"x\"}", DistribInfo());
}

TEST_F(DistribInfoE2ETest, AppendedTag) {
  EXPECT_TRUE(Run(L"lite_installer_appended.exe", L"--silent"));
  EXPECT_EQ("{\"banerid\":\"42\",\"brand_id\":\"x\"}", DistribInfo());
}

TEST_F(DistribInfoE2ETest, SwitchReplacesTheTag) {
  EXPECT_TRUE(
      Run(L"lite_installer_tagged.exe", L"--silent --distr-info-params=k=v"));
  EXPECT_EQ("{\"k\":\"v\"}", DistribInfo());
  EXPECT_THAT(Log(), Not(HasSubstr("banerid")));
}

TEST_F(DistribInfoE2ETest, LanguageParameterWinsOverThePackages) {
  EXPECT_TRUE(Run(L"lite_installer_tagged.exe",
                  L"--silent --brand-name=tb --distr-info-params=lang=kk"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Default language: kk ("));
}

TEST_F(DistribInfoE2ETest, UntaggedInstallerHasNoParameters) {
  EXPECT_TRUE(Run(L"lite_installer_signed.exe", L"--silent"));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"distrib_info")));
}

}  // namespace

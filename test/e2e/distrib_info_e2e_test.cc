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

class DistribInfoE2ETest : public testing::Test {
 protected:
  // Start-up only: the run ends where the installation would begin.
  bool Run(const wchar_t* fixture, const std::wstring& switches) {
    return e2e::RunInstallerUntil(std::wstring(L"tag_fixtures\\") + fixture,
                                  switches, dir_.path(),
                                  "INFO: Install Browser.");
  }
  std::string Read(const wchar_t* name) {
    std::string text;
    test::ReadFileToString(dir_.Append(name), &text);
    return text;
  }

  test::ScopedTempDir dir_;
};

TEST_F(DistribInfoE2ETest, TagInTheCertificateTable) {
  EXPECT_TRUE(Run(L"lite_installer_tagged.exe", L"--silent"));
  EXPECT_THAT(
      Read(L"lite_installer.log"),
      HasSubstr("INFO: Distribution parameters: brand_id=x&banerid=42 ("));
  EXPECT_EQ("{\"banerid\":\"42\",\"brand_id\":\"x\"}", Read(L"distrib_info"));
}

TEST_F(DistribInfoE2ETest, AppendedTag) {
  EXPECT_TRUE(Run(L"lite_installer_appended.exe", L"--silent"));
  EXPECT_EQ("{\"banerid\":\"42\",\"brand_id\":\"x\"}", Read(L"distrib_info"));
}

TEST_F(DistribInfoE2ETest, SwitchReplacesTheTag) {
  EXPECT_TRUE(
      Run(L"lite_installer_tagged.exe", L"--silent --distr-info-params=k=v"));
  EXPECT_EQ("{\"k\":\"v\"}", Read(L"distrib_info"));
  EXPECT_THAT(Read(L"lite_installer.log"), Not(HasSubstr("banerid")));
}

TEST_F(DistribInfoE2ETest, LanguageParameterWinsOverThePackages) {
  EXPECT_TRUE(Run(L"lite_installer_tagged.exe",
                  L"--silent --brand-name=tb --distr-info-params=lang=kk"));
  EXPECT_THAT(Read(L"lite_installer.log"),
              HasSubstr("INFO: Default language: kk ("));
}

TEST_F(DistribInfoE2ETest, UntaggedInstallerHasNoParameters) {
  EXPECT_TRUE(Run(L"lite_installer_signed.exe", L"--silent"));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"distrib_info")));
}

}  // namespace

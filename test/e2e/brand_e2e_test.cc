// Brand and partner packages as a distributor ships them: the product's own
// resources, and a variant executable that carries a partner package.

#include <windows.h>

#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class BrandE2ETest : public testing::Test {
 protected:
  // Start-up only: the run ends where the installation would begin.
  bool Run(const wchar_t* exe, const std::wstring& switches) {
    return e2e::RunInstallerUntil(exe, switches, dir_.path(),
                                  "INFO: Install Browser.");
  }
  std::string Log() { return e2e::ReadLog(dir_.path()); }

  test::ScopedTempDir dir_;
};

TEST_F(BrandE2ETest, ProductShipsTheNamedBrands) {
  EXPECT_TRUE(Run(L"lite_installer.exe", L"--silent --brand-name=tb"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching definedtb package ("));
  EXPECT_THAT(Log(), Not(HasSubstr("Fetching default package")));
  EXPECT_THAT(Log(), HasSubstr("INFO: Brand id: tb ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Default language: tr ("));
  EXPECT_TRUE(test::PathExists(dir_.Append(L"BrandFile")));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"PartnerFile")));
}

TEST_F(BrandE2ETest, ProductDefaultPackage) {
  EXPECT_TRUE(Run(L"lite_installer.exe", L"--silent"));
  EXPECT_THAT(Log(), HasSubstr("WARNING: Partner package is empty."));
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching default package ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Brand id: norvel ("));
  EXPECT_THAT(Log(), HasSubstr("/browser/norvel/browser-setup.arc ("));
}

TEST_F(BrandE2ETest, MissingNamedBrandFallsBackAndPartnerWins) {
  EXPECT_TRUE(Run(L"lite_installer_variant.exe", L"--silent --brand-name=tb"));
  const std::string log = Log();
  size_t defined = log.find("INFO: Fetching definedtb package (");
  size_t fallback = log.find("INFO: Fetching default package (");
  ASSERT_NE(std::string::npos, defined) << log;
  ASSERT_NE(std::string::npos, fallback) << log;
  EXPECT_LT(defined, fallback);
  // Values that are already set stay: the partner's brand id and test ids.
  EXPECT_THAT(log, HasSubstr("INFO: Brand id: partner_brand ("));
  EXPECT_THAT(log, HasSubstr("INFO: Brand name: variant ("));
  EXPECT_THAT(log, HasSubstr("INFO: Test ids: p1/a, p2 ("));
  EXPECT_TRUE(test::PathExists(dir_.Append(L"PartnerFile")));
  EXPECT_TRUE(test::PathExists(dir_.Append(L"BrandFile")));
}

}  // namespace

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

using BrandE2ETest = e2e::InstallerRunTest;

TEST_F(BrandE2ETest, ProductShipsTheNamedBrands) {
  EXPECT_TRUE(RunStartUp(L"lite_installer.exe", L"--silent --brand-name=tb"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching definedtb package ("));
  EXPECT_THAT(Log(), Not(HasSubstr("Fetching default package")));
  EXPECT_THAT(Log(), HasSubstr("INFO: Brand id: tb ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Default language: tr ("));
  EXPECT_TRUE(test::PathExists(dir_.Append(L"BrandFile")));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"PartnerFile")));
}

TEST_F(BrandE2ETest, ProductDefaultPackage) {
  EXPECT_TRUE(RunStartUp(L"lite_installer.exe", L"--silent"));
  EXPECT_THAT(Log(), HasSubstr("WARNING: Partner package is empty."));
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching default package ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Brand id: norvel ("));
  EXPECT_THAT(Log(), HasSubstr("/browser/norvel/browser-setup.arc ("));
}

TEST_F(BrandE2ETest, MissingNamedBrandFallsBackAndPartnerWins) {
  EXPECT_TRUE(
      RunStartUp(L"lite_installer_variant.exe", L"--silent --brand-name=tb"));
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

// The configuration packages of this test executable's resources: partner
// package 320, default brand package 319 and BRAND_UA_UK.

#include <memory>
#include <string>

#include "brand/autodetect.h"
#include "brand/brand_package_info.h"
#include "brand/cabinet.h"
#include "chrome/installer/norvel/util/registry.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/brand_test.h"
#include "test/support/matchers.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string ReadTestData(const std::wstring& name) {
  return test::ReadFile(test::ExecutableDir() + L"\\testdata\\brand\\" + name);
}

class ConfigurationPackagesTest : public test::BrandTest {
 protected:
  void SetUp() override {
    facts_.SetUserRegion("");
    facts_.SetUserDefaultUILanguage(1033);
  }
  size_t Position(const std::string& text) { return Log().find(text); }
};

TEST_F(ConfigurationPackagesTest, DefaultPackageWithPartnerPrecedence) {
  installer::StoreProductValue(L"brand", L"stale");
  info_.GetInfo("");

  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching default package ("));
  EXPECT_THAT(Log(), Not(HasSubstr("Fetching defined")));
  // The partner's values win, except the feature switch that the brand
  // package, applied last, decides; only the partner's test ids survive.
  EXPECT_EQ("partner_brand", info_.brand_id_);
  EXPECT_EQ("default_name", info_.brand_name_);
  EXPECT_EQ("partner-7", info_.partner_id_);
  EXPECT_FALSE(info_.dark_theme_enabled_);
  EXPECT_THAT(info_.test_ids_,
              ElementsAre(TestId{"p1", "a"}, TestId{"p2", "b"}));

  // Both packages are written unchanged for setup.
  EXPECT_TRUE(info_.partner_package_extracted_);
  EXPECT_TRUE(info_.brand_package_extracted_);
  EXPECT_EQ(dir_.path() + L"\\BrandFile", info_.brand_package_path_);
  EXPECT_EQ(dir_.path() + L"\\PartnerFile", info_.partner_package_path_);
  std::string written;
  ASSERT_TRUE(test::ReadFileToString(info_.partner_package_path_, &written));
  EXPECT_EQ(ReadTestData(L"partner.cab"), written);
  ASSERT_TRUE(test::ReadFileToString(info_.brand_package_path_, &written));
  EXPECT_EQ(ReadTestData(L"default.cab"), written);
  EXPECT_THAT(Log(), HasSubstr("INFO: Extract Partner package: "));
  EXPECT_THAT(Log(), test::ContainsPattern(
                         "Extract Brand package: .*BrandFile \\[[0-9]+B\\]"));

  // Values of an earlier run are removed from the registry.
  EXPECT_EQ(L"", installer::ReadProductValue(L"brand"));
  EXPECT_LT(Position("Reset brand info."), Position("Brand package path: "));
}

TEST_F(ConfigurationPackagesTest, MissingNamedBrandFallsBackToDefault) {
  info_.GetInfo("tb");
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching definedtb package ("));
  EXPECT_LT(Position("Fetching definedtb package"),
            Position("Fetching default package"));
  EXPECT_EQ("default_name", info_.brand_name_);

  // Only the four lower-case letters mean autodetection.
  BrandPackageInfo other(dir_.path() + L"\\");
  other.GetInfo("Auto");
  EXPECT_THAT(Log(), HasSubstr("Fetching definedAuto package"));
  EXPECT_THAT(Log(), Not(HasSubstr("User region")));
}

TEST_F(ConfigurationPackagesTest, NamedAndAutodetectedBrands) {
  info_.GetInfo("ua_uk");
  EXPECT_EQ("ua_uk", info_.brand_name_);
  EXPECT_EQ(1058, info_.language_id_);
  EXPECT_THAT(Log(), Not(HasSubstr("Fetching default package")));

  facts_.SetUserRegion("RU");
  facts_.SetUserDefaultUILanguage(1058);  // Ukrainian
  BrandPackageInfo detected(dir_.path() + L"\\");
  detected.GetInfo("auto");
  EXPECT_EQ("ua_uk", detected.brand_name_);
  EXPECT_THAT(Log(), HasSubstr("INFO: User region: RU ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: User locale: uk ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Detected brand-name: ua_uk ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Fetching autodetected UA_UK package ("));
}

TEST_F(ConfigurationPackagesTest, AutodetectionTable) {
  using installer::BrandForRegionAndLocale;
  EXPECT_EQ("ua_uk", BrandForRegionAndLocale("RU", "uk"));
  EXPECT_EQ("norvel", BrandForRegionAndLocale("RU", "en"));
  EXPECT_EQ("ua_ru", BrandForRegionAndLocale("UA", "ru"));
  EXPECT_EQ("ua_uk", BrandForRegionAndLocale("UA", "en"));
  EXPECT_EQ("tb", BrandForRegionAndLocale("TR", "ru"));
  EXPECT_EQ("norvel", BrandForRegionAndLocale("DE", "ru"));
  EXPECT_EQ("ua_uk", BrandForRegionAndLocale("", "uk"));
  EXPECT_EQ("tb", BrandForRegionAndLocale("DE", "tr"));
  EXPECT_EQ("", BrandForRegionAndLocale("ru", "en"));  // case-sensitive

  facts_.SetUserRegion("DE");
  facts_.SetUserDefaultUILanguage(1033);
  EXPECT_EQ("norvel", AutodetectBrandName());
  EXPECT_THAT(
      Log(), HasSubstr("INFO: Didn't found brand-name. Use default: norvel ("));
}

TEST_F(ConfigurationPackagesTest, BadCabinetsApplyNothing) {
  const std::string good = ReadTestData(L"default.cab");
  ASSERT_GT(good.size(), 100u);
  for (const std::string& bytes :
       {std::string(), std::string("MSCF garbage"),
        good.substr(0, good.size() / 2), good.substr(0, 60),
        std::string(5000, '\xff'), ReadTestData(L"other_entry.cab"),
        ReadTestData(L"huge.cab")}) {
    BrandPackageInfo info(dir_.path() + L"\\");
    info.ApplyPackage(bytes, "brand_config");
    EXPECT_EQ("", info.brand_id_);
  }
  // The same bytes with a corrupted payload byte fail the checksum or the
  // decompression and apply nothing either.
  std::string corrupt = good;
  corrupt[corrupt.size() - 10] ^= 0x55;
  BrandPackageInfo info(dir_.path() + L"\\");
  info.ApplyPackage(corrupt, "brand_config");
  EXPECT_NE("default_brand", info.brand_id_);
  EXPECT_THAT(Log(),
              HasSubstr("WARNING: Cabinet entry brand_config is too large"));
}

TEST_F(ConfigurationPackagesTest, ExtractsOnlyTheWantedEntry) {
  std::map<std::string, std::string> entries;
  EXPECT_TRUE(installer::ExtractCabinetFromMemory(ReadTestData(L"default.cab"),
                                                  "brand_config", &entries));
  ASSERT_EQ(1u, entries.count("brand_config"));
  const std::string& entry = entries["brand_config"];
  EXPECT_EQ(0u, entry.find("//"));
  EXPECT_NE(std::string::npos, entry.find("\r\n{"));

  entries.clear();
  EXPECT_TRUE(installer::ExtractCabinetFromMemory(ReadTestData(L"default.cab"),
                                                  "partner_config", &entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(installer::ExtractCabinetFromMemory(
      ReadTestData(L"other_entry.cab"), "", &entries));
  EXPECT_EQ(1u, entries.count("other_config"));
}

}  // namespace

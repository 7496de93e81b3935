#include "brand/brand_package_info.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "brand/language.h"
#include "chrome/installer/norvel/util/registry.h"
#include "deployment_config.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/brand_test.h"
#include "test/support/matchers.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class BrandPackageInfoTest : public test::BrandTest {
 protected:
  void SetUp() override { facts_.SetUserDefaultUILanguage(1049); }
};

TEST_F(BrandPackageInfoTest, FirstConfigurationWinsExceptFeatureSwitches) {
  info_.ApplyBrandInfo(R"({
      "brand_id": "first", "partner_id": "p",
      "install": {"send_statistics": false, "alternate_installer_title": true},
      "forced_testids": ["a/1", "b"],
      "overridden_features": {
        "InstallerDarkTheme2024": {"enabled": true},
        "DefaultBrowserUiInSetup": {"enabled": true},
        "InstallerNewIdentity2024": {"enabled": false,
            "params": {"firstScreenOff": true, "dialogsRedesign": true}}}})");
  info_.ApplyBrandInfo(R"({
      "brand_id": "second", "brand_name": "second_name",
      "install": {"send_statistics": true, "make_browser_default": false},
      "forced_testids": ["c"],
      "overridden_features": {
        "InstallerDarkTheme2024": {"enabled": false},
        "InstallerNewIdentity2024": {"params": {"dialogsRedesign": false}}}})");

  EXPECT_EQ("first", info_.brand_id_);
  EXPECT_EQ("second_name", info_.brand_name_);
  EXPECT_EQ(kTriStateFalse, info_.send_statistics_);
  EXPECT_FALSE(info_.send_statistics());
  EXPECT_EQ(kTriStateFalse, info_.make_browser_default_);
  EXPECT_EQ(kTriStateTrue, info_.alternate_installer_title_);
  EXPECT_THAT(info_.test_ids_, ElementsAre(TestId{"a", "1"}, TestId{"b", ""}));
  // Feature switches: the configuration applied last decides.
  EXPECT_FALSE(info_.dark_theme_enabled_);
  EXPECT_TRUE(info_.default_browser_ui_in_setup_);
  EXPECT_TRUE(info_.new_identity_first_screen_off_);
  EXPECT_FALSE(info_.new_identity_dialogs_redesign_);
  EXPECT_THAT(Log(), HasSubstr("INFO: InstallerDarkTheme2024: enabled = 1 ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: InstallerDarkTheme2024: enabled = 0 ("));
  EXPECT_THAT(
      Log(), HasSubstr("INFO: ShowDefaultBrowserUiFromInstaller: enabled=1 ("));
  EXPECT_THAT(Log(),
              HasSubstr("INFO: InstallerNewIdentity2024: firstScreenOff = 1, "
                        "dialogsRedesign = 0 ("));
}

TEST_F(BrandPackageInfoTest, LookupsAndTypes) {
  info_.ApplyBrandInfo(R"({
      "setup_url": "top-level", "pin": 1,
      "install": {"setup_url64": "nested", "send_statistics": "false",
                  "nrpin_trial_state": "3"},
      "brand_id": 5, "languages": {"interface": "pt-BR"}})");
  EXPECT_EQ("top-level", info_.setup_url_);  // "install." falls back to top
  EXPECT_EQ("nested", info_.setup_url64_);
  EXPECT_EQ("3", info_.pin_trial_state_);
  EXPECT_FALSE(info_.has_install_pin_);  // top-level "pin" does not count
  EXPECT_EQ("", info_.brand_id_);        // a number is not a string
  EXPECT_EQ(kTriStateNotSet, info_.send_statistics_);  // a string is not a bool
  EXPECT_EQ(1046, info_.language_id_);

  info_.ApplyBrandInfo(R"({"install": {"pin": null}})");
  EXPECT_FALSE(info_.has_install_pin_);
  info_.ApplyBrandInfo(R"({"install": {"pin": false}})");
  EXPECT_TRUE(info_.has_install_pin_);
  EXPECT_THAT(Log(), HasSubstr("INFO: Found install.pin ("));

  LogBrandInfo(info_);
  EXPECT_THAT(Log(), HasSubstr("INFO: Send browser's statistics: 1 ("));
}

TEST_F(BrandPackageInfoTest, BrokenConfigurationsApplyNothing) {
  info_.ApplyBrandInfo("{\"brand_id\": \"x\",}");
  info_.ApplyBrandInfo("[\"brand_id\"]");
  info_.ApplyBrandInfo("");
  EXPECT_EQ("", info_.brand_id_);
  EXPECT_THAT(Log(), test::ContainsPattern(
                         "ERROR: Failed to load json : Line: 1, column: "
                         "[0-9]+, [^\\n]+ - [0-9]+, "));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Incorrect format of json ("));
}

TEST_F(BrandPackageInfoTest, LanguageTable) {
  EXPECT_EQ(1046u, installer::LanguageIdForCode("pt-BR"));
  EXPECT_EQ(1033u, installer::LanguageIdForCode("pt"));
  EXPECT_EQ(1033u, installer::LanguageIdForCode("RU"));  // case-sensitive
  EXPECT_EQ(1033u, installer::LanguageIdForCode("en"));
  for (uint32_t id : {1028u, 1029u, 1031u, 1036u, 1040u, 1041u, 1046u, 1049u,
                      1055u, 1058u, 1087u, 1091u, 2052u, 2070u, 3082u}) {
    EXPECT_EQ(id,
              installer::LanguageIdForCode(installer::LanguageCodeForId(id)));
  }
  EXPECT_EQ("en", installer::LanguageCodeForId(1033));
  EXPECT_EQ("en", installer::LanguageCodeForId(1030));
}

TEST_F(BrandPackageInfoTest, DefaultsWithoutAnyConfiguration) {
  info_.Clear();
  info_.FillDefaults();
  EXPECT_EQ("norvel", info_.brand_id_);
  EXPECT_EQ("norvel", info_.brand_name_);
  EXPECT_EQ("", info_.partner_id_);
  EXPECT_EQ(std::string(deployment::kDownloadOrigin) +
                "/browser/norvel/browser-setup.arc",
            info_.setup_url_);
  EXPECT_EQ(std::string(deployment::kDownloadOrigin) +
                "/browser/installer/zilva/scenarios/",
            info_.scenarios_url_);
  EXPECT_EQ(std::string(deployment::kLegalOrigin) + "/browser_agreement/",
            info_.license_url_);
  EXPECT_EQ(std::string(deployment::kLegalOrigin) + "/confidential/",
            info_.privacy_policy_url_);
  EXPECT_EQ(std::string(deployment::kBrowserApiOrigin) +
                "/content/get/experiments/browser.proto",
            info_.variations_url_);
  EXPECT_EQ(std::string(deployment::kAbApiOrigin) + "/ab/get", info_.abt_url_);
  EXPECT_EQ(deployment::kNewTabOrigin, info_.webntp_url_);
  EXPECT_EQ("ru", info_.language_);  // the UI language of the seam
  EXPECT_EQ(1049, info_.language_id_);
  EXPECT_TRUE(info_.send_statistics());
  EXPECT_TRUE(info_.make_browser_default());

  // The log lists the values in a fixed order.
  std::vector<std::string> labels;
  for (const std::string& message : log_.Messages()) {
    size_t colon = message.find(": ", 6);
    if (message.starts_with("INFO: ") && colon != std::string::npos)
      labels.push_back(message.substr(6, colon - 6));
  }
  EXPECT_THAT(
      labels,
      ElementsAre("Brand id", "Brand name", "Setup url", "Versioned setup url",
                  "Setup url64", "Versioned setup url64", "Setup url32",
                  "Setup url for Win7", "Default language",
                  "Zilva install scenarios url", "Install slide url by default",
                  "Install slide url if tagged installer",
                  "Show international title", "Send browser's statistics",
                  "Make browser default after import",
                  "Preloaded wallpapers url", "Test ids"));
}

TEST_F(BrandPackageInfoTest, ClearResetsEverythingButTheTemporaryDirectory) {
  info_.ApplyBrandInfo(R"({"brand_id": "b", "install": {"pin": 1,
      "send_statistics": false}, "forced_testids": ["x"],
      "overridden_features": {"InstallerDarkTheme2024": {"enabled": true}}})");
  info_.Clear();
  EXPECT_EQ("", info_.brand_id_);
  EXPECT_TRUE(info_.test_ids_.empty());
  EXPECT_FALSE(info_.has_install_pin_);
  EXPECT_FALSE(info_.dark_theme_enabled_);
  EXPECT_EQ(kTriStateNotSet, info_.send_statistics_);
  EXPECT_EQ(1033, info_.language_id_);
  EXPECT_EQ(dir_.path() + L"\\", info_.temp_dir_);
  EXPECT_THAT(Log(), HasSubstr("INFO: Reset brand info. ("));
}

// Every configured value lands in its own field, Clear() empties all but the
// service URLs, and the log shows tri-states with their unset meaning.
TEST_F(BrandPackageInfoTest, EveryConfiguredValueReachesItsField) {
  info_.ApplyBrandInfo(R"({"brand_id": "id", "brand_name": "name",
      "languages": {"interface": "uk"}, "license_url": "license",
      "partner_id": "partner",
      "urls": {"variations": "var", "abt": "abt", "webntp": "ntp"},
      "install": {"setup_url": "u", "setup_url_version": "uv",
        "setup_url64": "u64", "setup_url_version64": "uv64",
        "setup_url32": "u32", "setup_url_win7": "u7",
        "conf_policy_url": "privacy", "scenarios_url": "scenarios",
        "slide_url": "slide", "slide_url_if_tagged": "tagged",
        "preloaded_wallpapers_url": "walls", "nrpin_trial_state": "pin",
        "alternate_installer_title": true, "send_statistics": false,
        "make_browser_default": true}})");
  const std::vector<std::pair<std::string BrandPackageInfo::*, const char*>>
      texts = {{&BrandPackageInfo::brand_id_, "id"},
               {&BrandPackageInfo::brand_name_, "name"},
               {&BrandPackageInfo::language_, "uk"},
               {&BrandPackageInfo::license_url_, "license"},
               {&BrandPackageInfo::partner_id_, "partner"},
               {&BrandPackageInfo::setup_url_, "u"},
               {&BrandPackageInfo::setup_url_version_, "uv"},
               {&BrandPackageInfo::setup_url64_, "u64"},
               {&BrandPackageInfo::setup_url_version64_, "uv64"},
               {&BrandPackageInfo::setup_url32_, "u32"},
               {&BrandPackageInfo::setup_url_win7_, "u7"},
               {&BrandPackageInfo::privacy_policy_url_, "privacy"},
               {&BrandPackageInfo::scenarios_url_, "scenarios"},
               {&BrandPackageInfo::slide_url_, "slide"},
               {&BrandPackageInfo::slide_url_if_tagged_, "tagged"},
               {&BrandPackageInfo::preloaded_wallpapers_url_, "walls"},
               {&BrandPackageInfo::pin_trial_state_, "pin"},
               {&BrandPackageInfo::variations_url_, "var"},
               {&BrandPackageInfo::abt_url_, "abt"},
               {&BrandPackageInfo::webntp_url_, "ntp"}};
  for (const auto& [member, value] : texts)
    EXPECT_EQ(value, info_.*member);
  EXPECT_EQ(1058, info_.language_id_);
  EXPECT_EQ(kTriStateTrue, info_.alternate_installer_title_);
  EXPECT_EQ(kTriStateFalse, info_.send_statistics_);
  EXPECT_EQ(kTriStateTrue, info_.make_browser_default_);
  LogBrandInfo(info_);
  EXPECT_THAT(Log(), HasSubstr("INFO: Show international title: 1 ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Send browser's statistics: 0 ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Versioned setup url64: uv64 ("));

  info_.Clear();
  for (const auto& [member, value] : texts) {
    const bool service_url = member == &BrandPackageInfo::variations_url_ ||
                             member == &BrandPackageInfo::abt_url_ ||
                             member == &BrandPackageInfo::webntp_url_;
    EXPECT_EQ(service_url ? value : "", info_.*member) << value;
  }
  EXPECT_EQ(kTriStateNotSet, info_.alternate_installer_title_);
  EXPECT_EQ(kTriStateNotSet, info_.make_browser_default_);
  LogBrandInfo(info_);
  EXPECT_THAT(Log(), HasSubstr("INFO: Show international title: 0 ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Send browser's statistics: 1 ("));
}

TEST_F(BrandPackageInfoTest, TestIdTexts) {
  EXPECT_EQ(TestId({"id", "v"}), TestId::Parse(" id / v "));
  EXPECT_EQ(TestId({"id", ""}), TestId::Parse("id"));
  EXPECT_EQ(TestId({"id", ""}), TestId::Parse("/id/"));
  EXPECT_FALSE(TestId::Parse("a/b/c").has_value());
  EXPECT_FALSE(TestId::Parse(" / ").has_value());
  EXPECT_EQ("a/1;b", JoinTestIds({{"a", "1"}, {"b", ""}}, ";"));
}

TEST_F(BrandPackageInfoTest, RegistryValues) {
  ASSERT_TRUE(registry_.ok());
  info_.brand_name_ = "yb";
  info_.language_ = "kk";
  info_.brand_package_path_ = L"C:\\t\\BrandFile";
  info_.partner_package_path_ = L"C:\\t\\PartnerFile";
  info_.StoreBrandValues();
  info_.StoreLanguageValue();
  EXPECT_EQ(L"yb", installer::ReadProductValue(L"brand"));
  EXPECT_EQ(L"kk", installer::ReadProductValue(L"lang"));
  EXPECT_EQ(L"C:\\t\\BrandFile", installer::ReadProductValue(L"BrandFile"));
  // Without an extracted partner package its path is not stored.
  EXPECT_EQ(L"", installer::ReadProductValue(L"PartnerFile"));
  info_.partner_package_extracted_ = true;
  info_.StoreBrandValues();
  EXPECT_EQ(L"C:\\t\\PartnerFile", installer::ReadProductValue(L"PartnerFile"));

  info_.RemoveStoredValues();
  EXPECT_EQ(L"", installer::ReadProductValue(L"brand"));
  EXPECT_EQ(L"", installer::ReadProductValue(L"BrandFile"));
  EXPECT_EQ(L"", installer::ReadProductValue(L"PartnerFile"));
  EXPECT_EQ(L"kk", installer::ReadProductValue(L"lang"));
}

TEST_F(BrandPackageInfoTest, ReloadFromRegistryPrefersPackageFiles) {
  ASSERT_TRUE(registry_.ok());
  // Nothing stored: fails.
  EXPECT_FALSE(info_.ReloadFromRegistry());

  // Only brand name and language: taken from the registry.
  installer::StoreProductValue(L"brand", L"yb");
  installer::StoreProductValue(L"lang", L"tr");
  EXPECT_TRUE(info_.ReloadFromRegistry());
  EXPECT_EQ("yb", info_.brand_name_);
  EXPECT_EQ(1055, info_.language_id_);

  // Package files named in the registry are applied, partner first.
  BrandPackageInfo reloaded(dir_.path() + L"\\");
  const std::wstring data = test::ExecutableDir() + L"\\testdata\\brand\\";
  installer::StoreProductValue(L"BrandFile", data + L"default.cab");
  installer::StoreProductValue(L"PartnerFile", data + L"partner.cab");
  EXPECT_TRUE(reloaded.ReloadFromRegistry());
  EXPECT_EQ("partner_brand", reloaded.brand_id_);
  EXPECT_EQ("default_name", reloaded.brand_name_);
  EXPECT_TRUE(reloaded.partner_package_extracted_);
  EXPECT_TRUE(reloaded.brand_package_extracted_);
}

}  // namespace

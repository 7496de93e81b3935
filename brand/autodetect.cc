#include "brand/autodetect.h"

#include "brand/language.h"
#include "base/system_facts.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

struct BrandRule {
  const char* region;  // empty: any
  const char* locale;  // empty: any
  const char* brand;
};

// First match wins.
constexpr BrandRule kBrandRules[] = {
    {"RU", "uk", "ua_uk"}, {"RU", "", "norvel"}, {"UA", "ru", "ua_ru"},
    {"UA", "", "ua_uk"},   {"TR", "", "tb"},     {"", "ru", "norvel"},
    {"", "uk", "ua_uk"},   {"", "tr", "tb"},
};

constexpr char kDefaultBrand[] = "norvel";

}  // namespace

std::string BrandForRegionAndLocale(std::string_view region,
                                    std::string_view locale) {
  for (const BrandRule& rule : kBrandRules) {
    const std::string_view rule_region = rule.region;
    const std::string_view rule_locale = rule.locale;
    if ((rule_region.empty() || rule_region == region) &&
        (rule_locale.empty() || rule_locale == locale)) {
      return rule.brand;
    }
  }
  return std::string();
}

}  // namespace installer

std::string AutodetectBrandName() {
  const std::string region = base::SystemFacts::Current().GetUserRegion();
  LOG(INFO) << "User region: " << region;
  const std::string locale = installer::GetUserUiLanguageCode();
  LOG(INFO) << "User locale: " << locale;
  std::string brand = installer::BrandForRegionAndLocale(region, locale);
  if (!brand.empty()) {
    LOG(INFO) << "Detected brand-name: " << brand;
    return brand;
  }
  LOG(INFO) << "Didn't found brand-name. Use default: "
            << installer::kDefaultBrand;
  return installer::kDefaultBrand;
}

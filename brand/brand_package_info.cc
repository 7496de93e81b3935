#include "brand/brand_package_info.h"

#include <windows.h>

#include "base/file_util.h"
#include "base/json.h"
#include "base/strings.h"
#include "brand/language.h"
#include "chrome/installer/norvel/util/registry.h"
#include "deployment_config.h"
#include "logging/file_logger.h"

namespace {

using base::Json;

constexpr std::string_view kInstallPrefix = "install.";

// A dotted lookup; a path under "install." is also tried without it, so a
// top-level "setup_url" serves as "install.setup_url".
const Json* FindBrandValue(const Json& root, std::string_view path) {
  if (const Json* value = base::FindJsonPath(root, path))
    return value;
  if (path.starts_with(kInstallPrefix))
    return FindBrandValue(root, path.substr(kInstallPrefix.size()));
  return nullptr;
}

void ApplyString(const Json& root, std::string_view path, std::string* field) {
  if (!field->empty())
    return;
  if (const std::string* value =
          base::JsonAsString(FindBrandValue(root, path))) {
    *field = *value;
  }
}

void ApplyTriState(const Json& root, std::string_view path, TriState* field) {
  if (*field != kTriStateNotSet)
    return;
  if (std::optional<bool> value =
          base::JsonAsBool(FindBrandValue(root, path))) {
    *field = *value ? kTriStateTrue : kTriStateFalse;
  }
}

// Overwrites `field` when the path holds a boolean.
void OverwriteBool(const Json& root, std::string_view path, bool* field) {
  if (std::optional<bool> value =
          base::JsonAsBool(base::FindJsonPath(root, path))) {
    *field = *value;
  }
}

bool IsPresent(const Json& root, std::string_view path) {
  const Json* value = base::FindJsonPath(root, path);
  return value && !value->is_null();
}

std::string Origin(const char* origin, std::string_view path) {
  return std::string(origin) + std::string(path);
}

// A value that configurations set through a JSON path. The first
// configuration to set it wins.
struct BrandField {
  const char* json_path;
  // The label of its line in the brand log; null for values not logged.
  const char* log_label;
  // Exactly one of the two.
  std::string BrandPackageInfo::*text = nullptr;
  TriState BrandPackageInfo::*tri_state = nullptr;
  // What the log shows for a tri-state that no configuration set.
  bool unset_means = false;
  // Clear() leaves the service URLs alone.
  bool kept_by_clear = false;
};

// In the order of the brand log; values that are not logged sit anywhere.
constexpr BrandField kBrandFields[] = {
    {"brand_id", "Brand id: ", &BrandPackageInfo::brand_id_},
    {"brand_name", "Brand name: ", &BrandPackageInfo::brand_name_},
    {"install.setup_url", "Setup url: ", &BrandPackageInfo::setup_url_},
    {"install.setup_url_version",
     "Versioned setup url: ", &BrandPackageInfo::setup_url_version_},
    {"install.setup_url64", "Setup url64: ", &BrandPackageInfo::setup_url64_},
    {"install.setup_url_version64",
     "Versioned setup url64: ", &BrandPackageInfo::setup_url_version64_},
    {"install.setup_url32", "Setup url32: ", &BrandPackageInfo::setup_url32_},
    {"install.setup_url_win7",
     "Setup url for Win7: ", &BrandPackageInfo::setup_url_win7_},
    {"languages.interface", "Default language: ", &BrandPackageInfo::language_},
    {"license_url", nullptr, &BrandPackageInfo::license_url_},
    {"install.conf_policy_url", nullptr,
     &BrandPackageInfo::privacy_policy_url_},
    {"partner_id", nullptr, &BrandPackageInfo::partner_id_},
    {"install.scenarios_url",
     "Zilva install scenarios url: ", &BrandPackageInfo::scenarios_url_},
    {"install.slide_url",
     "Install slide url by default: ", &BrandPackageInfo::slide_url_},
    {"install.slide_url_if_tagged", "Install slide url if tagged installer: ",
     &BrandPackageInfo::slide_url_if_tagged_},
    {"install.alternate_installer_title", "Show international title: ", nullptr,
     &BrandPackageInfo::alternate_installer_title_},
    {"install.send_statistics", "Send browser's statistics: ", nullptr,
     &BrandPackageInfo::send_statistics_, /*unset_means=*/true},
    {"install.make_browser_default", "Make browser default after import: ",
     nullptr, &BrandPackageInfo::make_browser_default_, /*unset_means=*/true},
    {"urls.variations", nullptr, &BrandPackageInfo::variations_url_, nullptr,
     false, /*kept_by_clear=*/true},
    {"urls.abt", nullptr, &BrandPackageInfo::abt_url_, nullptr, false,
     /*kept_by_clear=*/true},
    {"urls.webntp", nullptr, &BrandPackageInfo::webntp_url_, nullptr, false,
     /*kept_by_clear=*/true},
    {"install.preloaded_wallpapers_url", "Preloaded wallpapers url: ",
     &BrandPackageInfo::preloaded_wallpapers_url_},
    {"install.nrpin_trial_state", nullptr, &BrandPackageInfo::pin_trial_state_},
};

}  // namespace

BrandPackageInfo::BrandPackageInfo(std::wstring temp_dir)
    : temp_dir_(std::move(temp_dir)) {}

BrandPackageInfo::~BrandPackageInfo() = default;

void BrandPackageInfo::Clear() {
  LOG(INFO) << "Reset brand info.";
  for (const BrandField& field : kBrandFields) {
    if (field.kept_by_clear)
      continue;
    if (field.text)
      (this->*field.text).clear();
    else
      this->*field.tri_state = kTriStateNotSet;
  }
  brand_package_path_.clear();
  partner_package_path_.clear();
  test_ids_.clear();
  language_id_ = installer::kEnglishLanguageId;
  has_install_pin_ = false;
  new_identity_first_screen_off_ = false;
  new_identity_dialogs_redesign_ = false;
  dark_theme_enabled_ = false;
  default_browser_ui_in_setup_ = false;
}

void BrandPackageInfo::ApplyBrandInfo(std::string_view text) {
  base::JsonParseError error;
  std::optional<Json> parsed = base::ParseJson(text, &error);
  if (!parsed) {
    PLOG(ERROR) << "Failed to load json : " << error.ToString();
    return;
  }
  const Json& root = *parsed;
  if (!root.is_object()) {
    LOG(ERROR) << "Incorrect format of json";
    return;
  }

  for (const BrandField& field : kBrandFields) {
    if (field.text)
      ApplyString(root, field.json_path, &(this->*field.text));
    else
      ApplyTriState(root, field.json_path, &(this->*field.tri_state));
  }
  language_id_ = static_cast<int32_t>(installer::LanguageIdForCode(language_));
  if (IsPresent(root, "install.pin")) {
    has_install_pin_ = true;
    LOG(INFO) << "Found install.pin";
  }

  // The feature switches are overwritten by every configuration that sets
  // them, so the package applied last decides.
  if (IsPresent(root, "overridden_features.InstallerNewIdentity2024")) {
    OverwriteBool(root,
                  "overridden_features.InstallerNewIdentity2024.params."
                  "firstScreenOff",
                  &new_identity_first_screen_off_);
    OverwriteBool(root,
                  "overridden_features.InstallerNewIdentity2024.params."
                  "dialogsRedesign",
                  &new_identity_dialogs_redesign_);
    LOG(INFO) << "InstallerNewIdentity2024: firstScreenOff = "
              << new_identity_first_screen_off_
              << ", dialogsRedesign = " << new_identity_dialogs_redesign_;
  }
  if (base::FindJsonPath(root, "overridden_features.InstallerDarkTheme2024")) {
    OverwriteBool(root, "overridden_features.InstallerDarkTheme2024.enabled",
                  &dark_theme_enabled_);
    LOG(INFO) << "InstallerDarkTheme2024: enabled = " << dark_theme_enabled_;
  }
  if (base::FindJsonPath(root, "overridden_features.DefaultBrowserUiInSetup")) {
    OverwriteBool(root, "overridden_features.DefaultBrowserUiInSetup.enabled",
                  &default_browser_ui_in_setup_);
    LOG(INFO) << "ShowDefaultBrowserUiFromInstaller: enabled="
              << default_browser_ui_in_setup_;
  }

  if (test_ids_.empty()) {
    auto it = root.find("forced_testids");
    if (it != root.end() && it->is_array()) {
      for (const Json& item : *it) {
        if (const std::string* text = base::JsonAsString(&item)) {
          if (std::optional<TestId> id = TestId::Parse(*text))
            test_ids_.push_back(std::move(*id));
        }
      }
    }
  }
}

void BrandPackageInfo::FillDefaults() {
  if (brand_id_.empty())
    brand_id_ = "norvel";
  if (brand_name_.empty())
    brand_name_ = brand_id_;
  if (scenarios_url_.empty()) {
    scenarios_url_ = Origin(deployment::kDownloadOrigin,
                            "/browser/installer/zilva/scenarios/");
  }
  if (setup_url_.empty()) {
    setup_url_ = Origin(deployment::kDownloadOrigin,
                        "/browser/" + brand_id_ + "/browser-setup.arc");
  }
  if (license_url_.empty())
    license_url_ = Origin(deployment::kLegalOrigin, "/browser_agreement/");
  if (privacy_policy_url_.empty())
    privacy_policy_url_ = Origin(deployment::kLegalOrigin, "/confidential/");
  if (language_.empty())
    language_ = installer::GetUserUiLanguageCode();
  language_id_ = static_cast<int32_t>(installer::LanguageIdForCode(language_));
  if (variations_url_.empty()) {
    variations_url_ = Origin(deployment::kBrowserApiOrigin,
                             "/content/get/experiments/browser.proto");
  }
  if (abt_url_.empty())
    abt_url_ = Origin(deployment::kAbApiOrigin, "/ab/get");
  if (webntp_url_.empty())
    webntp_url_ = deployment::kNewTabOrigin;
  LogBrandInfo(*this);
}

void LogBrandInfo(const BrandPackageInfo& info) {
  for (const BrandField& field : kBrandFields) {
    if (!field.log_label)
      continue;
    if (field.text) {
      LOG(INFO) << field.log_label << info.*field.text;
    } else {
      const TriState value = info.*field.tri_state;
      LOG(INFO) << field.log_label
                << (value == kTriStateTrue ||
                    (value == kTriStateNotSet && field.unset_means));
    }
  }
  LOG(INFO) << "Test ids: " << JoinTestIds(info.test_ids_, ", ");
}

void BrandPackageInfo::StoreLanguageValue() const {
  installer::StoreProductValue(L"lang", base::WidenBytes(language_));
}

void BrandPackageInfo::StoreBrandValues() const {
  installer::StoreProductValue(L"brand", base::WidenBytes(brand_name_));
  installer::StoreProductValue(L"BrandFile", brand_package_path_);
  if (partner_package_extracted_)
    installer::StoreProductValue(L"PartnerFile", partner_package_path_);
}

void BrandPackageInfo::RemoveStoredValues() const {
  installer::RemoveProductValue(L"brand");
  installer::RemoveProductValue(L"BrandFile");
  installer::RemoveProductValue(L"PartnerFile");
}

namespace {

// The whole file, or empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path) {
  // Package files are small; refuse anything absurd instead of allocating it.
  constexpr uint64_t kMaxPackageSize = 64 << 20;
  return base::ReadFileContents(path, kMaxPackageSize).bytes;
}

}  // namespace

bool BrandPackageInfo::ReloadFromRegistry() {
  brand_package_path_ = installer::ReadProductValue(L"BrandFile");
  partner_package_path_ = installer::ReadProductValue(L"PartnerFile");
  if (!brand_package_path_.empty() || !partner_package_path_.empty()) {
    std::string partner = ReadWholeFile(partner_package_path_);
    if (!partner.empty()) {
      partner_package_extracted_ = true;
      ApplyPackage(partner, "partner_config");
    }
    std::string brand = ReadWholeFile(brand_package_path_);
    if (!brand.empty()) {
      brand_package_extracted_ = true;
      ApplyPackage(brand, "brand_config");
    }
    if (!brand_id_.empty())
      return true;
  }
  brand_name_ = base::NarrowLowBytes(installer::ReadProductValue(L"brand"));
  language_ = base::NarrowLowBytes(installer::ReadProductValue(L"lang"));
  if (brand_name_.empty() || language_.empty())
    return false;
  language_id_ = static_cast<int32_t>(installer::LanguageIdForCode(language_));
  return true;
}

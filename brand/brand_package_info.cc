#include "brand/brand_package_info.h"

#include <windows.h>

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

}  // namespace

BrandPackageInfo::BrandPackageInfo(std::wstring temp_dir)
    : temp_dir_(std::move(temp_dir)) {}

BrandPackageInfo::~BrandPackageInfo() = default;

void BrandPackageInfo::Clear() {
  LOG(INFO) << "Reset brand info.";
  for (std::string* field :
       {&brand_id_, &brand_name_, &setup_url_, &setup_url_version_,
        &setup_url64_, &setup_url_version64_, &setup_url32_, &setup_url_win7_,
        &language_, &partner_id_, &license_url_, &privacy_policy_url_,
        &scenarios_url_, &slide_url_, &slide_url_if_tagged_,
        &preloaded_wallpapers_url_, &pin_trial_state_}) {
    field->clear();
  }
  brand_package_path_.clear();
  partner_package_path_.clear();
  test_ids_.clear();
  language_id_ = installer::kEnglishLanguageId;
  alternate_installer_title_ = kTriStateNotSet;
  send_statistics_ = kTriStateNotSet;
  make_browser_default_ = kTriStateNotSet;
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

  ApplyString(root, "languages.interface", &language_);
  language_id_ = static_cast<int32_t>(installer::LanguageIdForCode(language_));
  ApplyString(root, "brand_id", &brand_id_);
  ApplyString(root, "brand_name", &brand_name_);
  ApplyString(root, "install.setup_url", &setup_url_);
  ApplyString(root, "install.setup_url_version", &setup_url_version_);
  ApplyString(root, "install.setup_url64", &setup_url64_);
  ApplyString(root, "install.setup_url_version64", &setup_url_version64_);
  ApplyString(root, "install.setup_url32", &setup_url32_);
  ApplyString(root, "install.setup_url_win7", &setup_url_win7_);
  ApplyString(root, "license_url", &license_url_);
  ApplyString(root, "install.conf_policy_url", &privacy_policy_url_);
  ApplyTriState(root, "install.alternate_installer_title",
                &alternate_installer_title_);
  ApplyTriState(root, "install.send_statistics", &send_statistics_);
  ApplyTriState(root, "install.make_browser_default", &make_browser_default_);
  ApplyString(root, "partner_id", &partner_id_);
  ApplyString(root, "install.scenarios_url", &scenarios_url_);
  ApplyString(root, "install.slide_url", &slide_url_);
  ApplyString(root, "install.slide_url_if_tagged", &slide_url_if_tagged_);
  ApplyString(root, "urls.variations", &variations_url_);
  ApplyString(root, "urls.abt", &abt_url_);
  ApplyString(root, "urls.webntp", &webntp_url_);
  ApplyString(root, "install.preloaded_wallpapers_url",
              &preloaded_wallpapers_url_);
  if (IsPresent(root, "install.pin")) {
    has_install_pin_ = true;
    LOG(INFO) << "Found install.pin";
  }
  ApplyString(root, "install.nrpin_trial_state", &pin_trial_state_);

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
  LOG(INFO) << "Brand id: " << info.brand_id_;
  LOG(INFO) << "Brand name: " << info.brand_name_;
  LOG(INFO) << "Setup url: " << info.setup_url_;
  LOG(INFO) << "Versioned setup url: " << info.setup_url_version_;
  LOG(INFO) << "Setup url64: " << info.setup_url64_;
  LOG(INFO) << "Versioned setup url64: " << info.setup_url_version64_;
  LOG(INFO) << "Setup url32: " << info.setup_url32_;
  LOG(INFO) << "Setup url for Win7: " << info.setup_url_win7_;
  LOG(INFO) << "Default language: " << info.language_;
  LOG(INFO) << "Zilva install scenarios url: " << info.scenarios_url_;
  LOG(INFO) << "Install slide url by default: " << info.slide_url_;
  LOG(INFO) << "Install slide url if tagged installer: "
            << info.slide_url_if_tagged_;
  LOG(INFO) << "Show international title: "
            << (info.alternate_installer_title_ == kTriStateTrue);
  LOG(INFO) << "Send browser's statistics: " << info.send_statistics();
  LOG(INFO) << "Make browser default after import: "
            << info.make_browser_default();
  LOG(INFO) << "Preloaded wallpapers url: " << info.preloaded_wallpapers_url_;
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
  std::string contents;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return contents;
  LARGE_INTEGER size;
  // Package files are small; refuse anything absurd instead of allocating it.
  constexpr LONGLONG kMaxPackageSize = 64 << 20;
  if (::GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
      size.QuadPart <= kMaxPackageSize) {
    contents.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!::ReadFile(file, contents.data(), static_cast<DWORD>(contents.size()),
                    &read, nullptr)) {
      read = 0;
    }
    contents.resize(read);
  }
  ::CloseHandle(file);
  return contents;
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

#ifndef BRAND_BRAND_PACKAGE_INFO_H_
#define BRAND_BRAND_PACKAGE_INFO_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "brand/test_id.h"

// A three-valued configuration answer.
enum TriState : uint8_t {
  kTriStateNotSet = 0,
  kTriStateTrue = 1,
  kTriStateFalse = 2,
};

// The brand values of this run: which brand is installed, from which URLs,
// with which legal links, test identifiers and look. Built once at start-up
// from the configuration packages (partner first, then brand; the first
// configuration to set a value wins) and defaults, then only read.
class BrandPackageInfo {
 public:
  // `temp_dir` ends with a backslash.
  explicit BrandPackageInfo(std::wstring temp_dir);
  BrandPackageInfo(const BrandPackageInfo&) = delete;
  BrandPackageInfo& operator=(const BrandPackageInfo&) = delete;
  virtual ~BrandPackageInfo();

  // Full flavour only: restores the values of an earlier run from the
  // registry and the package files it names.
  virtual bool ReloadFromRegistry();
  // Empties every value (the temporary directory is kept).
  virtual void Clear();

  // Applies one configuration JSON text; see brand_package_info.cc.
  void ApplyBrandInfo(std::string_view text);
  // Fills what is still empty with the product's defaults and logs all.
  void FillDefaults();

  // Configuration packages (configuration_packages.cc).
  void GetInfo(const std::string& brand_name);
  void GetInfoFromResources(const std::string& brand_name);
  // Extracts `entry_name` from the cabinet `bytes` and applies it.
  void ApplyPackage(std::string_view bytes, const std::string& entry_name);

  // Registry values under the product key.
  void StoreBrandValues() const;
  void StoreLanguageValue() const;
  void RemoveStoredValues() const;

  // Derived answers: true unless a configuration said false.
  bool send_statistics() const { return send_statistics_ < kTriStateFalse; }
  bool make_browser_default() const {
    return make_browser_default_ < kTriStateFalse;
  }

  std::string setup_url_;
  std::string setup_url_version_;
  std::string setup_url64_;
  std::string setup_url_version64_;
  std::string setup_url32_;
  std::string setup_url_win7_;
  std::string brand_id_;
  std::string brand_name_;
  std::string language_;
  int32_t language_id_ = 0;
  std::string license_url_;
  std::string privacy_policy_url_;
  std::wstring temp_dir_;
  std::wstring brand_package_path_;
  std::wstring partner_package_path_;
  std::string partner_id_;
  std::string scenarios_url_;
  std::string slide_url_;
  std::string slide_url_if_tagged_;
  std::string variations_url_;
  std::string abt_url_;
  std::string webntp_url_;
  std::string preloaded_wallpapers_url_;
  bool has_install_pin_ = false;
  std::string pin_trial_state_;
  bool new_identity_first_screen_off_ = false;
  bool new_identity_dialogs_redesign_ = false;
  bool dark_theme_enabled_ = false;
  bool default_browser_ui_in_setup_ = false;
  TestIds test_ids_;
  bool brand_package_extracted_ = false;
  bool partner_package_extracted_ = false;
  TriState alternate_installer_title_ = kTriStateNotSet;
  TriState send_statistics_ = kTriStateNotSet;
  TriState make_browser_default_ = kTriStateNotSet;
};

// Logs the brand values, one line each.
void LogBrandInfo(const BrandPackageInfo& info);

#endif  // BRAND_BRAND_PACKAGE_INFO_H_

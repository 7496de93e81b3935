#ifndef BRAND_DISTRIB_INFO_PARAMS_H_
#define BRAND_DISTRIB_INFO_PARAMS_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "brand/test_id.h"

class BrandPackageInfo;

// The distribution parameters of this copy of the installer: key=value
// pairs given on the command line or, without them, from the tag
// the download service wrote into the executable. Loaded once at start-up,
// then only read. Also written as "distrib_info" JSON for setup.
class DistribInfoParams {
 public:
  DistribInfoParams();
  DistribInfoParams(const DistribInfoParams&) = delete;
  DistribInfoParams& operator=(const DistribInfoParams&) = delete;
  virtual ~DistribInfoParams();

  // Exact, case-sensitive lookup; copies the value on success.
  virtual bool Get(const std::string& key, std::string* value) const;
  // Full flavour only: the parameters of the first run are kept in the
  // registry. False in this product.
  virtual bool UseRegistry() const;
  // Records the raw parameter text under the product key.
  virtual void StoreInRegistry(const std::string& text);
  // The executable whose tag is read.
  virtual std::wstring GetExecutablePath() const;

  // The parameter text given on the command line, if any; Load prefers it
  // to the tag.
  void set_given_text(std::optional<std::string> text) {
    given_text_ = std::move(text);
  }

  // Reads the parameters and writes "distrib_info" into the temporary
  // directory. True when a file path was set.
  bool Load();

  // "1" gives true with `on` true, "2" true with `on` false; anything else
  // (or no value) false with `on` false.
  bool GetFlag(const std::string& key, bool* on) const;

  const std::map<std::string, std::string>& params() const { return params_; }
  const std::wstring& distrib_info_path() const { return distrib_info_path_; }

  // Parses "a=1&b&c=x=y" into `params` (the last occurrence of a key wins;
  // no decoding, no trimming). Pure.
  static void ParseText(std::string_view text,
                        std::map<std::string, std::string>* params);

 private:
  std::optional<std::string> given_text_;
  std::wstring distrib_info_path_;
  std::map<std::string, std::string> params_;
};

namespace lite_installer {

// The brand's test ids merged with those of the parameter "testids"; a
// parameter entry replaces the value of a brand entry with the same id.
TestIds CombineBrandAndDistribTestIds(const BrandPackageInfo* brand,
                                      const DistribInfoParams* params);

// The shortcut-pin trial state 0..3 from the brand, the state given on the
// command line (`given_state`, empty when none) and the parameter "nrpin".
int GetNrpinTrialState(const DistribInfoParams* params,
                       const BrandPackageInfo& brand,
                       std::string_view given_state);

}  // namespace lite_installer

#endif  // BRAND_DISTRIB_INFO_PARAMS_H_

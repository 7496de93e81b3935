#include "brand/distrib_info_params.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "base/command_line.h"
#include "base/file_util.h"
#include "base/json.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/installer_tag.h"
#include "brand/tagged_file_mapping.h"
#include "chrome/installer/norvel/util/registry.h"
#include "deployment_config.h"
#include "logging/file_logger.h"

namespace {

constexpr wchar_t kRegistryValueName[] = L"DistribInfoParams";

// Writes the parameters as one compact JSON object of strings to `path`.
void CreateJsonFromDistribParams(
    const std::map<std::string, std::string>& params,
    const std::wstring& path) {
  base::Json json = base::Json::object();
  for (const auto& [key, value] : params)
    json[key] = value;
  const std::string text = base::WriteJson(json);
  if (text.empty()) {
    PLOG(ERROR) << "Can't create json dump";
    return;
  }
  const DWORD error = base::WriteFileContents(path, text);
  if (error != ERROR_SUCCESS)
    PLOG_CODE(ERROR, error) << "Write json to file error";
}

// The appended "Nact" tag of `path`, without its terminating zero.
std::string ReadAppendedTag(const std::wstring& path) {
  install_util::TaggedFileMapping mapping;
  if (!mapping.Open(path))
    return std::string();
  size_t size = 0;
  if (!mapping.ReadTag(nullptr, &size) || size == 0)
    return std::string();
  std::vector<char> buffer(size);
  if (!mapping.ReadTag(buffer.data(), &size))
    return std::string();
  std::string tag(buffer.data(), size);
  if (!tag.empty() && tag.back() == '\0')
    tag.pop_back();
  return tag;
}

}  // namespace

DistribInfoParams::DistribInfoParams() = default;
DistribInfoParams::~DistribInfoParams() = default;

bool DistribInfoParams::Get(const std::string& key, std::string* value) const {
  auto it = params_.find(key);
  if (it == params_.end())
    return false;
  *value = it->second;
  return true;
}

bool DistribInfoParams::UseRegistry() const {
  return deployment::IsFullInstaller;
}

void DistribInfoParams::StoreInRegistry(const std::string& text) {
  installer::StoreProductValue(kRegistryValueName, base::WidenBytes(text));
}

std::wstring DistribInfoParams::GetExecutablePath() const {
  return install_util::GetCurrentExecutablePath();
}

bool DistribInfoParams::Load() {
  std::string text;
  const bool use_registry = UseRegistry();
  if (use_registry)
    text =
        base::NarrowLowBytes(installer::ReadProductValue(kRegistryValueName));
  if (text.empty()) {
    if (given_text_)
      text = *given_text_;
    if (text.empty()) {
      const std::wstring path = GetExecutablePath();
      if (!path.empty()) {
        text = install_util::ExtractTagFromFakeCertificate(path);
        if (text.empty())
          text = ReadAppendedTag(path);
      }
    }
  }
  if (!use_registry && !text.empty())
    StoreInRegistry(text);

  std::wstring path;
  if (!text.empty()) {
    LOG(INFO) << "Distribution parameters: " << text;
    ParseText(text, &params_);
    if (!params_.empty()) {
      wchar_t temp[MAX_PATH];
      DWORD len = ::GetTempPathW(MAX_PATH, temp);
      if (len != 0 && len < MAX_PATH)
        path.assign(temp, len);
      path += L"distrib_info";
      CreateJsonFromDistribParams(params_, path);
    }
  }
  distrib_info_path_ = path;
  return !distrib_info_path_.empty();
}

bool DistribInfoParams::GetFlag(const std::string& key, bool* on) const {
  *on = false;
  std::string value;
  if (!Get(key, &value))
    return false;
  if (value == "1") {
    *on = true;
    return true;
  }
  return value == "2";
}

// static
void DistribInfoParams::ParseText(std::string_view text,
                                  std::map<std::string, std::string>* params) {
  size_t start = 0;
  while (start <= text.size()) {
    const size_t separator = text.find_first_of("&=", start);
    if (separator == std::string_view::npos) {
      (*params)[std::string(text.substr(start))] = std::string();
      return;
    }
    std::string key(text.substr(start, separator - start));
    if (text[separator] == '&') {
      (*params)[std::move(key)] = std::string();
      start = separator + 1;
      continue;
    }
    const size_t value_start = separator + 1;
    const size_t amp = text.find('&', value_start);
    const size_t value_end = amp == std::string_view::npos ? text.size() : amp;
    (*params)[std::move(key)] =
        std::string(text.substr(value_start, value_end - value_start));
    if (amp == std::string_view::npos)
      return;
    // A trailing "&" leaves an empty item, stored under the empty key.
    start = amp + 1;
  }
}

namespace lite_installer {

TestIds CombineBrandAndDistribTestIds(const BrandPackageInfo* brand,
                                      const DistribInfoParams* params) {
  TestIds result;
  if (brand)
    result = brand->test_ids_;
  std::string value;
  if (!params || !params->Get("testids", &value))
    return result;
  std::string_view rest = value;
  while (true) {
    const size_t comma = rest.find(',');
    const std::string_view piece =
        base::TrimWhitespaceASCII(rest.substr(0, comma));
    if (!piece.empty()) {
      if (std::optional<TestId> id = TestId::Parse(piece)) {
        auto same = std::find_if(
            result.begin(), result.end(),
            [&](const TestId& existing) { return existing.id == id->id; });
        if (same == result.end()) {
          result.push_back(std::move(*id));
        } else {
          LOG(INFO) << "Duplicate testid found: " << id->id;
          same->value = id->value;
        }
      }
    }
    if (comma == std::string_view::npos)
      break;
    rest.remove_prefix(comma + 1);
  }
  return result;
}

int GetNrpinTrialState(const DistribInfoParams* params,
                       const BrandPackageInfo& brand,
                       std::string_view given_state) {
  if (!brand.has_install_pin_) {
    if (!brand.pin_trial_state_.empty()) {
      LOG(WARNING) << "No install.pin for nrpin_state="
                   << brand.pin_trial_state_;
    }
    return 1;
  }
  std::string state = brand.pin_trial_state_;
  if (state.empty())
    state = given_state;
  if (state.empty() && params)
    params->Get("nrpin", &state);
  if (state.empty())
    return 0;
  int number = 0;
  const char* end = state.data() + state.size();
  auto [ptr, ec] = std::from_chars(state.data(), end, number);
  if (ec != std::errc() || ptr != end || number < 0 || number > 3)
    return 0;
  return number;
}

}  // namespace lite_installer

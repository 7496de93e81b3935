// The configuration packages carried in the executable's resources: which
// are chosen, where they are written for setup, and how they are applied.

#include <windows.h>

#include <map>

#include "base/file_util.h"
#include "base/strings.h"
#include "brand/autodetect.h"
#include "brand/brand_package_info.h"
#include "brand/cabinet.h"
#include "deployment_config.h"
#include "logging/file_logger.h"

namespace {

constexpr wchar_t kPackageResourceType[] = L"BIN";
constexpr WORD kPartnerPackageId = 320;
constexpr WORD kDefaultBrandPackageId = 319;

// The bytes of a "BIN" resource of this executable; empty when missing.
std::string_view LoadPackageResource(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, kPackageResourceType);
  if (!resource)
    return {};
  HGLOBAL loaded = ::LoadResource(module, resource);
  DWORD size = ::SizeofResource(module, resource);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0)
    return {};
  return std::string_view(static_cast<const char*>(data), size);
}

// Writes the package unchanged for setup. A failure is not reported: the
// values still come from memory.
void WritePackageFile(const std::wstring& path, std::string_view bytes) {
  base::WriteFileContents(path, bytes);
}

}  // namespace

void BrandPackageInfo::GetInfo(const std::string& brand_name) {
  Clear();
  if (deployment::IsFullInstaller) {
    if (LoadPackageResource(MAKEINTRESOURCEW(kPartnerPackageId)).empty() &&
        ReloadFromRegistry()) {
      return;
    }
  } else {
    // Values of an earlier full installer must not leak into this run.
    RemoveStoredValues();
  }
  Clear();
  brand_package_path_ = temp_dir_ + L"BrandFile";
  LOG(INFO) << "Brand package path: " << brand_package_path_;
  partner_package_path_ = temp_dir_ + L"PartnerFile";
  LOG(INFO) << "Partner package path: " << partner_package_path_;
  GetInfoFromResources(brand_name);
}

void BrandPackageInfo::GetInfoFromResources(const std::string& brand_name) {
  // The partner package goes first: values are only filled while empty, so
  // the partner's win.
  std::string_view partner =
      LoadPackageResource(MAKEINTRESOURCEW(kPartnerPackageId));
  if (!partner.empty()) {
    LOG(INFO) << "Extract Partner package: " << partner_package_path_ << " ["
              << partner.size() << "B]";
    WritePackageFile(partner_package_path_, partner);
    partner_package_extracted_ = true;
    ApplyPackage(partner, "partner_config");
  } else {
    LOG(WARNING) << "Partner package is empty.";
  }

  std::string_view brand;
  if (brand_name == "auto") {
    const std::string name = base::ToUpperASCII(AutodetectBrandName());
    LOG(INFO) << "Fetching autodetected " << name << " package";
    brand = LoadPackageResource(base::WidenBytes("BRAND_" + name).c_str());
  } else if (!brand_name.empty()) {
    LOG(INFO) << "Fetching defined" << brand_name << " package";
    brand = LoadPackageResource(
        base::WidenBytes("BRAND_" + base::ToUpperASCII(brand_name)).c_str());
  }
  if (brand.empty()) {
    LOG(INFO) << "Fetching default package";
    brand = LoadPackageResource(MAKEINTRESOURCEW(kDefaultBrandPackageId));
  }

  if (!brand.empty()) {
    LOG(INFO) << "Extract Brand package: " << brand_package_path_ << " ["
              << brand.size() << "B]";
    WritePackageFile(brand_package_path_, brand);
    brand_package_extracted_ = true;
    ApplyPackage(brand, "brand_config");
  } else {
    LOG(WARNING) << "Brand package is empty.";
  }
}

void BrandPackageInfo::ApplyPackage(std::string_view bytes,
                                    const std::string& entry_name) {
  std::map<std::string, std::string> entries;
  installer::ExtractCabinetFromMemory(bytes, entry_name, &entries);
  auto it = entries.find(entry_name);
  if (it == entries.end())
    return;
  ApplyBrandInfo(it->second);
  LogBrandInfo(*this);
}

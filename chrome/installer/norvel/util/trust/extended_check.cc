#include "chrome/installer/norvel/util/trust/extended_check.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/system_facts.h"
#include "base/system_library.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "base/windows_version.h"
#include "logging/file_logger.h"

namespace install_util {

using installer::CompareVersionNumbers;
using installer::ParseVersionNumber;
using installer::VersionNumber;

namespace {

Win7UpdateConfig& MutableConfig() {
  static Win7UpdateConfig config;
  return config;
}

// The update build revision is only in the registry; a missing value means
// none was installed.
DWORD ReadUpdateBuildRevision() {
  base::ScopedHKEY key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD value = 0;
  DWORD size = sizeof(value);
  DWORD type = 0;
  if (::RegQueryValueExW(key.get(), L"UBR", nullptr, &type,
                         reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return 0;
  }
  return value;
}

}  // namespace

const Win7UpdateConfig& GetWin7UpdateConfig() {
  return MutableConfig();
}

ScopedWin7UpdateConfigForTesting::ScopedWin7UpdateConfigForTesting(
    const Win7UpdateConfig& config)
    : previous_(MutableConfig()) {
  MutableConfig() = config;
}

ScopedWin7UpdateConfigForTesting::~ScopedWin7UpdateConfigForTesting() {
  MutableConfig() = previous_;
}

VersionNumber GetCrypt32DllVersion() {
  std::wstring path = base::SystemLibraryPath(L"crypt32.dll");
  if (path.empty())
    path = L"crypt32.dll";
  // The file version (not the product version), read without the logging of
  // installer::GetFileVersion: this runs while a verification is reported.
  installer::FixedFileInfo info;
  if (installer::ReadFixedFileInfo(path, &info) !=
      installer::FixedFileInfoStatus::kOk) {
    LOG(ERROR) << path << " CreateFileVersionInfo error";
    return {};
  }
  return {static_cast<uint32_t>(info.file_version >> 48),
          static_cast<uint32_t>((info.file_version >> 32) & 0xFFFF),
          static_cast<uint32_t>((info.file_version >> 16) & 0xFFFF),
          static_cast<uint32_t>(info.file_version & 0xFFFF)};
}

VersionNumber GetWindowsVersion() {
  auto version = base::SystemFacts::Current().GetWindowsVersion();
  if (!version) {
    LOG(ERROR) << "Failed to get Windows version";
    return {};
  }
  return {version->major, version->minor, version->build,
          ReadUpdateBuildRevision()};
}

bool ShouldUseExtendedCheck() {
  const Win7UpdateConfig& config = GetWin7UpdateConfig();
  if (base::GetWindowsVersionClass() >= base::kWin10 ||
      !config.enabled) {
    return false;
  }
  if (auto crypt_version = ParseVersionNumber(config.crypt_version)) {
    if (CompareVersionNumbers(*crypt_version, GetCrypt32DllVersion()) >= 0)
      return false;
  }
  if (auto win7_version = ParseVersionNumber(config.win7_version))
    return CompareVersionNumbers(GetWindowsVersion(), *win7_version) > 0;
  return true;
}

}  // namespace install_util

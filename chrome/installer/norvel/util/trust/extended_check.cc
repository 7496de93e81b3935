#include "chrome/installer/norvel/util/trust/extended_check.h"

#include <windows.h>

#include "base/scoped_handle.h"
#include "base/system_facts.h"
#include "base/windows_version.h"
#include "logging/file_logger.h"

namespace install_util {
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

std::optional<VersionNumber> ParseVersionNumber(std::string_view text) {
  VersionNumber version;
  size_t start = 0;
  while (true) {
    size_t end = text.find('.', start);
    std::string_view part = text.substr(start, end == std::string_view::npos
                                                   ? std::string_view::npos
                                                   : end - start);
    if (part.empty() || part.size() > 10)
      return std::nullopt;
    uint64_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
      return std::nullopt;
    version.push_back(static_cast<uint32_t>(value));
    if (end == std::string_view::npos)
      return version;
    start = end + 1;
  }
}

int CompareVersionNumbers(const VersionNumber& a, const VersionNumber& b) {
  const size_t count = std::max(a.size(), b.size());
  for (size_t i = 0; i < count; ++i) {
    uint32_t left = i < a.size() ? a[i] : 0;
    uint32_t right = i < b.size() ? b[i] : 0;
    if (left != right)
      return left < right ? -1 : 1;
  }
  return 0;
}

std::string VersionNumberToString(const VersionNumber& version) {
  std::string text;
  for (size_t i = 0; i < version.size(); ++i) {
    if (i)
      text.push_back('.');
    text += std::to_string(version[i]);
  }
  return text;
}

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
  wchar_t system_dir[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(system_dir, MAX_PATH);
  std::wstring path = length && length < MAX_PATH
                          ? std::wstring(system_dir, length) + L"\\crypt32.dll"
                          : std::wstring(L"crypt32.dll");
  // The file version (not the product version), read without the logging of
  // installer::GetFileVersion: this runs while a verification is reported.
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT info_size = 0;
  if (size == 0 ||
      !::GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info),
                        &info_size) ||
      !info || info_size < sizeof(VS_FIXEDFILEINFO)) {
    LOG(ERROR) << path << " CreateFileVersionInfo error";
    return {};
  }
  return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
          HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
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
